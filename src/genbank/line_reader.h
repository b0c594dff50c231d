// Reading an input line by line. The line reader owns every per-line rule:
// a line is at most 100 characters (a longer physical line arrives as several
// lines), one carriage return before the line end is dropped, and a last line
// without a line feed is delivered like any other.
//
// The cursors are offsets into buffer_, which holds the bytes read so far
// (a refill moves the undelivered ones to the front) and Padding readable
// bytes past end_:
// - [begin_, end_) is read and not yet delivered; begin_ starts a physical
//   line when at_line_start_, else it is inside a line split at 100.
// - The line-feed index: line_ends_[next_, count_) are the line feeds of
//   [begin_, indexed_), in order, and line_ends_[count_] is indexed_, with
//   begin_ <= indexed_ <= end_. This holds whenever more than Line_Capacity
//   bytes are buffered; a refill, or a skip past indexed_, empties the index
//   at begin_. Lines read by Next_Line_Slow (fewer bytes buffered) leave
//   their line feeds in it, below begin_, where Pass_Lines stops at once.
// - line_number_ is the physical line of the last delivered line.
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

  // Reads Source; calls Before_Blocking before every read that may wait.
  explicit Line_Reader(Byte_Source& source, std::function<void()> before_blocking = {});
  ~Line_Reader();
  Line_Reader(const Line_Reader&) = delete;
  Line_Reader& operator=(const Line_Reader&) = delete;

  // True when no line is left: no byte, or one final line feed. May read.
  bool At_End() { return Available() < 2 && At_End_Slow(); }

  // Delivers the next line (at most Line_Capacity bytes, one trailing CR
  // dropped), valid until the next call; false, nothing delivered, at the end.
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

  // Passes over indexed lines shorter than Line_Capacity while Ignorable(line
  // start) holds (it may read Line_Look bytes, past the line too); delivers the
  // first for which it fails as Next_Line would: true. False, nothing delivered,
  // at a longer line or the index's end, or when called inside a split line.
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

  // The undelivered bytes, less a line feed alone at their end (after a line
  // feed, or a split line's first piece), which is an empty line or the
  // input's final terminator as only the next read tells. Sequence_Lines_Reach
  // bytes past them are readable.
  std::string_view Buffered() const {
    const char* const start = buffer_.get() + begin_;
    std::size_t n = Available();
    if (n > 0 && start[n - 1] == '\n' && (n == 1 || start[n - 2] == '\n')) --n;
    return std::string_view(start, n);
  }
  // Takes the first N bytes of Buffered(), which end with a line feed and hold
  // Line_Feeds of them (the first may end the current physical line).
  void Skip_Lines(std::size_t n, std::size_t line_feeds) {
    begin_ += n;
    // The line feeds taken are the index's next ones when it reaches that
    // far; otherwise it is emptied here.
    if (begin_ <= indexed_) {
      next_ += line_feeds;
    } else {
      Forget_Index();
    }
    line_number_ += at_line_start_ ? line_feeds : line_feeds - 1;
    at_line_start_ = true;
  }

  // The physical line of the last delivered line (a split line's pieces share it).
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
  // Readable bytes past end_: the kernels' vector blocks, and Line_Look.
  static constexpr std::size_t Padding = std::max({Index_Line_Feeds_Reach, Sequence_Lines_Reach, Line_Look});
  // How many bytes one Index_Line_Feeds covers.
  static constexpr std::size_t Stretch = 4096;

  std::size_t Available() const { return end_ - begin_; }
  // At_End when fewer than 2 bytes are buffered: reads until 2 are, or the end.
  bool At_End_Slow();
  // Next_Line with at most Line_Capacity bytes buffered: memchr finds the line
  // feed; reads more only when the buffered bytes hold no whole line.
  bool Next_Line_Slow(std::string_view& line);
  // Moves the undelivered bytes to the front, empties the index and reads
  // more; false at the end of the input.
  bool Refill();
  // Indexes the line feeds of up to Stretch bytes from indexed_, once the index
  // holds none left: bytes that Skip_Lines takes past indexed_ are never searched.
  void Index_Line_Feeds();
  // Empties the index at begin_.
  void Forget_Index() {
    next_ = count_ = 0;
    indexed_ = line_ends_[0] = static_cast<std::uint32_t>(begin_);
  }

  // Delivers the Length bytes at Start as Line, moving begin_ past them and,
  // when Ends_Line, their line feed.
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
  // The line-feed index (see the top of this file).
  std::unique_ptr<std::uint32_t[]> line_ends_;
  std::size_t next_ = 0;
  std::size_t count_ = 0;
  std::size_t indexed_ = 0;
  bool eof_ = false;
  bool at_line_start_ = true;
  std::size_t line_number_ = 0;
};
