// Reading an input line by line. The line reader owns every per-line rule:
// a line is at most 100 characters (a longer physical line arrives as several
// lines), one carriage return before the line end is dropped, a last line
// without a line feed is delivered like any other, and a read error is told
// apart from the end of the input.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
};

class Line_Reader {
 public:
  static constexpr std::size_t Line_Capacity = 100;
  static constexpr std::size_t Buffer_Size = 256 * 1024;

  // Before_Blocking is called before every read that may wait for more input.
  explicit Line_Reader(Byte_Source& source, std::function<void()> before_blocking = {});
  ~Line_Reader();
  Line_Reader(const Line_Reader&) = delete;
  Line_Reader& operator=(const Line_Reader&) = delete;

  // True when no further line can be read: no byte is left, or only one final
  // line feed.
  bool At_End();

  // The next line: at most Line_Capacity characters, one trailing carriage
  // return removed. The view lives until the next call. Returns false (and
  // delivers nothing) when no byte is left.
  bool Next_Line(std::string_view& line);

  // The number of the physical line that the last delivered line belongs to.
  std::size_t Line_Number() const { return line_number_; }
  const std::string& Name() const { return source_.Name(); }

 private:
  std::size_t Available() const { return end_ - begin_; }
  // Moves the unread bytes to the front and reads more; false at the end of input.
  bool Refill();

  Byte_Source& source_;
  std::function<void()> before_blocking_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool at_line_start_ = true;
  std::size_t line_number_ = 0;
};
