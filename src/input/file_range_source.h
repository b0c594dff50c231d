// A stretch of a regular file, read by offset (pread), so that several
// threads can read stretches of one file at once without sharing a file
// position.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "input/byte_source.h"

class File_Range_Source : public Byte_Source {
 public:
  static constexpr std::int64_t To_The_End = -1;

  // Reads Fd, which the caller keeps open, from Begin to End (To_The_End: as
  // far as the file goes, however it grows). Size is the file's size when the
  // run began reading it: a file that ends before End, or before Size, was
  // cut short while it was read, and Read says so.
  File_Range_Source(int fd, std::string name, std::int64_t begin, std::int64_t end, std::int64_t size);

  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return false; }
  const std::string& Name() const override { return name_; }
  // Where the next read begins.
  std::int64_t Offset() const { return offset_; }
  // Reads from Begin to End from now on.
  void Set_Range(std::int64_t begin, std::int64_t end) {
    offset_ = begin;
    end_ = end;
    cut_ = nullptr;
    was_cut_ = false;
  }

  // Finds where to end the range in the bytes of one read, at or after
  // From, or returns npos. Begins_File tells that the bytes are the file's
  // first.
  using Cut_Finder = std::function<std::size_t(std::string_view bytes, std::size_t from, bool begins_file)>;
  // From now on the range ends where Find finds a place at or after offset
  // After in the bytes of a read (or at End); it is looked for in the bytes
  // before Until only.
  void Cut_After(std::int64_t after, std::int64_t until, Cut_Finder find) {
    cut_after_ = after;
    cut_until_ = until;
    cut_ = std::move(find);
  }
  // Whether the range ended at a place Cut_After found.
  bool Was_Cut() const { return was_cut_; }

 private:
  int fd_;
  std::string name_;
  std::int64_t offset_;
  std::int64_t end_;
  std::int64_t size_;
  std::int64_t cut_after_ = 0;
  std::int64_t cut_until_ = 0;
  Cut_Finder cut_;
  bool was_cut_ = false;
};
