// End-to-end: gzip-compressed inputs, named and on standard input, and how a
// damaged one ends the run.
#include <isa-l/igzip_lib.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

// Text as one gzip member.
std::string Gzip(const std::string& text) {
  std::string out(text.size() + 1024, '\0');
  isal_zstream s{};
  isal_deflate_stateless_init(&s);
  s.gzip_flag = IGZIP_GZIP;
  s.end_of_stream = 1;
  s.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data()));
  s.avail_in = static_cast<std::uint32_t>(text.size());
  s.next_out = reinterpret_cast<std::uint8_t*>(out.data());
  s.avail_out = static_cast<std::uint32_t>(out.size());
  EXPECT_EQ(isal_deflate_stateless(&s), COMP_OK);
  return out.substr(0, s.total_out);
}

std::string Error(const std::string& message) {
  return Fatal("TARVELO.READ_FILE.DECOMPRESSION_ERROR", message);
}

TEST(Gzip, CompressedInputsConvertLikeTheirText) {
  Sandbox box;
  const std::string both = kHuman + kDuck;
  const std::size_t cut = both.find("ORIGIN") + 3;
  box.Write("x.gb.gz", Gzip(both));
  // Members split inside a line, and an empty member at the end.
  box.Write("dir/y.gz", Gzip(both.substr(0, cut)) + Gzip(both.substr(cut)) + Gzip(""));
  box.Write("plain.gb", kDuck);
  EXPECT_EQ(box.Run({"x.gb.gz", "dir/y.gz", "plain.gb"}),
            (Run_Result{kHumanOut + kDuckOut + kHumanOut + kDuckOut + kDuckOut, "", 0}));
  EXPECT_EQ(box.Run({"-t", "-l", "fa", "x.gb.gz", "-", "dir/y.gz"}, Gzip(kDuck)),
            (Run_Result{"x.gb\tAJ012345\nx.gb\tMK000002\nSTDIN\tMK000002\ny\tAJ012345\n"
                        "y\tMK000002\n",
                        "", 0}));
  // A first byte 0x1f alone does not make an input compressed.
  EXPECT_EQ(box.Run({"-"}, "\x1f\n" + kDuck), (Run_Result{kDuckOut, "", 0}));
}

TEST(Gzip, DamagedInputEndsTheRunAfterWhatWasConverted) {
  Sandbox box;
  const std::string human = Gzip(kHuman), duck = Gzip(kDuck);
  std::string bad_check = duck;
  bad_check[bad_check.size() - 5] ^= 1;
  box.Write("cut.gb.gz", human + duck.substr(0, duck.size() - 1));
  box.Write("bad.gb.gz", human + bad_check);
  box.Write("b.gb", kDuck);
  EXPECT_EQ(box.Run({"cut.gb.gz", "b.gb"}),
            (Run_Result{kHumanOut + kDuckOut, Error("cut.gb.gz: truncated compressed data"), 1}));
  EXPECT_EQ(box.Run({"-"}, human.substr(0, 30)),
            (Run_Result{"", Error("standard input: truncated compressed data"), 1}));
  EXPECT_EQ(
      box.Run({"bad.gb.gz", "b.gb"}),
      (Run_Result{kHumanOut,
                  Error("bad.gb.gz: corrupt compressed data (checksum or length mismatch)"), 1}));
}

}  // namespace
}  // namespace tarvelo_test
