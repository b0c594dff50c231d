// Buffered output to a file descriptor. Every write, flush and close is
// checked: a failure throws Write_Error naming the stream and the system's
// reason, so nothing is lost silently.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "support/failure.h"

class Write_Error : public Failure {
 public:
  Write_Error(const std::string& stream_name, int error_number);
};

class Output_Stream {
 public:
  static constexpr std::size_t Default_Capacity = 256 * 1024;

  // Writes to Fd, which it then owns; Name is used in messages.
  Output_Stream(int fd, std::string name, std::size_t capacity = Default_Capacity);
  // Collects what it writes in memory, growing its buffer as it needs (see
  // Exchange); Name is used in messages.
  explicit Output_Stream(std::string name);
  ~Output_Stream();  // closes without flushing: call Close to keep what is pending

  // Every flush of this stream flushes First before it: whatever this stream
  // has written, First has written what it held at that moment. Standard
  // output uses it so that the definitions file is never behind the FASTA.
  void Flush_First(Output_Stream* first) { first_ = first; }
  Output_Stream(const Output_Stream&) = delete;
  Output_Stream& operator=(const Output_Stream&) = delete;

  void Write(std::string_view s) {
    if (s.size() > capacity_ - used_) return Write_Slow(s);
    s.copy(buffer_.get() + used_, s.size());
    used_ += s.size();
  }
  void Put(char c) {
    if (used_ == capacity_) Flush();
    buffer_[used_++] = c;
  }

  // Room for at least N bytes (N at most the capacity), to fill and then Commit.
  char* Reserve(std::size_t n) {
    if (n > capacity_ - used_) Flush();
    return buffer_.get() + used_;
  }
  void Commit(std::size_t n) { used_ += n; }
  // The bytes that fit before the next flush.
  std::size_t Room() const { return capacity_ - used_; }

  // Writes everything pending (and first everything pending in First). After
  // a failure, which is thrown once, the stream writes nothing more.
  void Flush();
  // Flushes and closes the descriptor, also when the flush fails; a failure
  // of either is thrown. Later calls do nothing.
  void Close();
  const std::string& Name() const { return name_; }

  // What a stream in memory collected: Data[0, Size) of a buffer of Capacity.
  struct Collected {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::string_view View() const { return {data.get(), size}; }
  };
  // A stream in memory hands over what it collected since the last exchange
  // and goes on in Room, whose bytes are dropped (a buffer to reuse, or none).
  Collected Exchange(Collected room);

 private:
  void Write_Slow(std::string_view s);
  void Write_Out(std::string_view s);
  // In memory: a buffer of at least Capacity bytes, with the same bytes.
  void Grow(std::size_t capacity);

  int fd_;
  std::string name_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  bool closed_ = false;
  bool failed_ = false;
  Output_Stream* first_ = nullptr;
  bool in_memory_ = false;
};

// Writes all of S to Fd, retrying short writes; returns false on failure (errno set).
bool Write_All(int fd, std::string_view s);
