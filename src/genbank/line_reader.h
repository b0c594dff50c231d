// Reading an input line by line. The line reader owns every per-line rule:
// a line is at most 100 characters (a longer physical line arrives as several
// lines), one carriage return before the line end is dropped, a last line
// without a line feed is delivered like any other, and a read error is told
// apart from the end of the input.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "input/byte_source.h"
#include "kernels/kernels.h"

// Drops one carriage return at the end of Line (the CR of a CR LF line end).
inline void Dos_Check(std::string_view& line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
}

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
    if (next_ == count_ && indexed_ < begin_ + Line_Capacity) Index_Line_Feeds();
    // The next line feed, or where the index ends when none is known: then
    // the line holds at least Line_Capacity characters.
    const std::size_t distance = line_ends_[next_] - begin_;
    const bool whole = distance < Line_Capacity;
    next_ += whole ? 1 : 0;
    Deliver(buffer_.get() + begin_, whole ? distance : Line_Capacity, whole, line);
    return true;
  }

  // Passes over whole lines, from the next one on, for as long as
  // Ignorable(start of the line) holds (it may read Line_Look bytes from the
  // start, past the line end too, though those may belong to other lines):
  // lines that reach no rule, each shorter than Line_Capacity. The line it
  // stops at, when that is such a whole line too, is delivered as Next_Line
  // would: true then. False, with nothing delivered, when it stops at a piece
  // of a longer line or where the line feeds found so far end.
  static constexpr std::size_t Line_Look = 40;
  template <class Ignorable>
  bool Pass_Lines(Ignorable ignorable, std::string_view& line) {
    if (!at_line_start_) return false;
    const char* const buffer = buffer_.get();
    const std::uint32_t* const ends = line_ends_.get();
    std::size_t start = begin_;
    std::size_t k = next_;
    for (; k < count_; ++k) {
      const std::size_t line_feed = ends[k];
      if (line_feed - start >= Line_Capacity) break;
      if (!ignorable(buffer + start)) {
        line_number_ += k - next_;
        next_ = k + 1;
        begin_ = start;
        Deliver(buffer + start, line_feed - start, true, line);
        return true;
      }
      start = line_feed + 1;
    }
    line_number_ += k - next_;
    begin_ = start;
    next_ = k;
    return false;
  }

  // The buffered bytes, from the next one on, for a caller that takes whole
  // lines at once. Sequence_Lines_Reach bytes past them are readable.
  std::string_view Buffered() const { return std::string_view(buffer_.get() + begin_, Available()); }
  // Takes the first N bytes of Buffered(): the rest of the current physical
  // line or a new line, then further lines, Line_Feeds line feeds in all, the
  // last of them ending the N bytes.
  void Skip_Lines(std::size_t n, std::size_t line_feeds) {
    begin_ += n;
    // The line feeds taken are the next ones of the index, when it reaches
    // that far; otherwise the index starts again from here.
    if (begin_ <= indexed_) {
      next_ += line_feeds;
    } else {
      Forget_Index();
    }
    line_number_ += at_line_start_ ? line_feeds : line_feeds - 1;
    at_line_start_ = true;
  }

  // The number of the physical line that the last delivered line belongs to.
  std::size_t Line_Number() const { return line_number_; }
  // Reads the source again from where it stands, as a new input whose lines
  // are counted after Lines_Before (a stretch of a longer input): what is
  // buffered is dropped. Keeps the buffers.
  void Restart(std::size_t lines_before = 0) {
    begin_ = end_ = 0;
    Forget_Index();
    eof_ = false;
    at_line_start_ = true;
    line_number_ = lines_before;
  }
  const std::string& Name() const { return source_.Name(); }

 private:
  // Readable bytes beyond the buffered data, so that the line-feed search may
  // look at whole vector blocks.
  static constexpr std::size_t Padding = std::max({Index_Line_Feeds_Reach, Sequence_Lines_Reach, Line_Look});
  // How many bytes the line feeds are looked for at a time.
  static constexpr std::size_t Stretch = 4096;

  std::size_t Available() const { return end_ - begin_; }
  bool At_End_Slow();
  bool Next_Line_Slow(std::string_view& line);
  // Moves the unread bytes to the front and reads more; false at the end of input.
  bool Refill();
  // Finds the line feeds of the next Stretch buffered bytes. Only the bytes
  // read line by line are searched: the runs that are taken whole are not.
  void Index_Line_Feeds();
  void Forget_Index() {
    next_ = count_ = 0;
    indexed_ = line_ends_[0] = static_cast<std::uint32_t>(begin_);
  }

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
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // The positions of the line feeds from begin_ up to Indexed_:
  // Line_Ends_[Next_, Count_), then Indexed_ itself.
  std::unique_ptr<std::uint32_t[]> line_ends_;
  std::size_t next_ = 0;
  std::size_t count_ = 0;
  std::size_t indexed_ = 0;
  bool eof_ = false;
  bool at_line_start_ = true;
  std::size_t line_number_ = 0;
};
