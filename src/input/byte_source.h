// Where the bytes of one input come from: the descriptor of a file, a pipe
// or a terminal, or (compressed_source.h) the text decoded from another source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Where the bytes of one input come from.
class Byte_Source {
 public:
  virtual ~Byte_Source() = default;
  // Reads up to Capacity bytes into Buffer; returns how many, 0 only at the end
  // of the input. Throws Failure on a read error.
  virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
  // True when a read may wait for a writer (pipe, terminal, socket); pending
  // output is flushed before such a read.
  virtual bool May_Block() const = 0;
  // The input's name for messages: the argument as given, or "standard input".
  virtual const std::string& Name() const = 0;
  // Called when the text this source delivered was refused (a failure raised
  // while it was read, other than its own): a source whose text is checked
  // only after it is delivered (a compressed stream's checksum at its end)
  // checks what it delivered now, and throws its own failure, which names the
  // damage, when that text was damaged. Does nothing by default.
  virtual void Check_Delivered_Text() {}
  // True when the bytes delivered are decoded from other bytes, not the
  // input's own.
  virtual bool Decodes() const { return false; }
};

// A source reading a file descriptor that the caller opened and will close.
class Fd_Source : public Byte_Source {
 public:
  Fd_Source(int fd, std::string name);
  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return may_block_; }
  const std::string& Name() const override { return name_; }

 private:
  int fd_;
  std::string name_;
  bool may_block_;
  // For a regular file: where its end stood when reading began, and where
  // the reading stands, so that a file cut short meanwhile is not taken for
  // a complete one.
  std::int64_t end_ = -1;
  std::int64_t offset_ = 0;
};
