// A stand-in input for the unit tests: bytes held in memory.
#pragma once

#include <string>

#include "input/byte_source.h"

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
