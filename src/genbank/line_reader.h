// Reading an input line by line. The line reader owns every per-line rule:
// a line is at most 100 characters (a longer physical line arrives as several
// lines), one carriage return before the line end is dropped, a last line
// without a line feed is delivered like any other, and a read error is told
// apart from the end of the input.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "kernels/kernels.h"

// Drops one carriage return at the end of Line (the CR of a CR LF line end).
inline void Dos_Check(std::string_view& line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
}

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
  // For a regular file: where its end stood when reading began, and where
  // the reading stands, so that a file cut short meanwhile is not taken for
  // a complete one.
  std::int64_t end_ = -1;
  std::int64_t offset_ = 0;
};

// A source reading bytes held in memory, handed out in slices of at most
// Chunk bytes (to exercise every way a reader can be fed).
class String_Source : public Byte_Source {
 public:
  explicit String_Source(std::string text, std::string name = "memory",
                         std::size_t chunk = std::string::npos, bool may_block = false)
      : text_(std::move(text)), name_(std::move(name)), chunk_(chunk), may_block_(may_block) {}
  std::size_t Read(char* buffer, std::size_t capacity) override {
    const std::size_t n = text_.copy(buffer, capacity < chunk_ ? capacity : chunk_, pos_);
    pos_ += n;
    return n;
  }
  bool May_Block() const override { return may_block_; }
  const std::string& Name() const override { return name_; }

 private:
  std::string text_;
  std::string name_;
  std::size_t chunk_;
  bool may_block_;
  std::size_t pos_ = 0;
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
  bool At_End() { return Available() < 2 && At_End_Slow(); }

  // The next line: at most Line_Capacity characters, one trailing carriage
  // return removed. The view lives until the next call. Returns false (and
  // delivers nothing) when no byte is left.
  bool Next_Line(std::string_view& line) {
    if (Available() <= Line_Capacity) return Next_Line_Slow(line);
    // More than a full line is buffered: no refill can be needed.
    if (begin_ + Line_Capacity > marked_) Mark_Line_Feeds_Ahead();
    const std::size_t lf = Line_Feed_Distance();
    Deliver(buffer_.get() + begin_, lf < Line_Capacity ? lf : Line_Capacity, lf < Line_Capacity, line);
    return true;
  }

  // The buffered bytes, from the next one on, for a caller that takes whole
  // lines at once. Sequence_Lines_Reach bytes past them are readable.
  std::string_view Buffered() const { return std::string_view(buffer_.get() + begin_, Available()); }
  // Takes the first N bytes of Buffered(): the rest of the current physical
  // line or a new line, then further lines, Line_Feeds line feeds in all, the
  // last of them ending the N bytes.
  void Skip_Lines(std::size_t n, std::size_t line_feeds) {
    begin_ += n;
    line_number_ += at_line_start_ ? line_feeds : line_feeds - 1;
    at_line_start_ = true;
  }

  // The number of the physical line that the last delivered line belongs to.
  std::size_t Line_Number() const { return line_number_; }
  const std::string& Name() const { return source_.Name(); }

 private:
  // Readable bytes beyond the buffered data, so that the line-feed search may
  // look at whole vector blocks.
  static constexpr std::size_t Padding =
      Mark_Line_Feeds_Reach > Sequence_Lines_Reach ? Mark_Line_Feeds_Reach : Sequence_Lines_Reach;
  // One bit per buffered byte, set for the line feeds (and two spare words,
  // so that a search from any byte may read three).
  static constexpr std::size_t Line_Feed_Words = Buffer_Size / 64 + 2;

  // The distance from the next byte to the first line feed after it, when it
  // is less than Line_Capacity; at least Line_Capacity otherwise. Needs the
  // marks of the next Line_Capacity bytes, and more than a line buffered.
  std::size_t Line_Feed_Distance() const {
    // The marks of the next 128 bytes as two words, taken without a branch:
    // where a line ends is no pattern a processor could learn.
    using Pair = unsigned __int128;
    const std::uint64_t* word = line_feeds_.get() + begin_ / 64;
    const unsigned shift = begin_ % 64;
    const auto near = static_cast<std::uint64_t>((Pair{word[1]} << 64 | word[0]) >> shift);
    const auto far = static_cast<std::uint64_t>((Pair{word[2]} << 64 | word[1]) >> shift);
    const std::size_t distance = static_cast<std::size_t>(std::countr_zero(near));
    return near != 0 ? distance : distance + static_cast<std::size_t>(std::countr_zero(far));
  }

  std::size_t Available() const { return end_ - begin_; }
  bool At_End_Slow();
  bool Next_Line_Slow(std::string_view& line);
  // Moves the unread bytes to the front and reads more; false at the end of input.
  bool Refill();
  // Marks the line feeds of the next few thousand buffered bytes. Marking
  // goes only as far as lines are read one by one: the runs that are taken
  // whole are never marked.
  void Mark_Line_Feeds_Ahead();

  // Takes the line of Length bytes at Start (and its line feed when Ends_Line).
  void Deliver(const char* start, std::size_t length, bool ends_line, std::string_view& line) {
    begin_ += length + (ends_line ? 1 : 0);
    if (at_line_start_) ++line_number_;
    at_line_start_ = ends_line;
    line = std::string_view(start, length);
    Dos_Check(line);
  }

  Byte_Source& source_;
  std::function<void()> before_blocking_;
  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<std::uint64_t[]> line_feeds_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t marked_ = 0;  // the line feeds before it are marked, from the 64-byte word of begin_
  bool eof_ = false;
  bool at_line_start_ = true;
  std::size_t line_number_ = 0;
};
