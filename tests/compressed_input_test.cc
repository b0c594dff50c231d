// End-to-end: compressed input whose text fails to convert. A damaged stream
// is reported as such, not as the format error its damaged text causes.
#include <string>

#include <gtest/gtest.h>

#include "compressed_samples.h"
#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

using compressed_samples::Member;

// Records enough that the scanner stops on the damaged one long before the
// member's end has been read, and that output is written before it.
TEST(CompressedInput, TextThatFailsIsReportedAsTheStreamsDamageWhenItHasOne) {
  Sandbox box;
  std::string text, damaged;
  for (int k = 0; k < 12000; ++k) text += Record("A" + std::to_string(k));
  const std::string spot = "ACCESSION   A9000\n";
  damaged = text;
  damaged[damaged.find(spot)] = 'B';
  std::string member = Member(text, 0, "", 0);  // stored: damaged in place
  ASSERT_NE(member.find(spot), std::string::npos);
  member[member.find(spot)] = 'B';
  box.Write("damaged.gb", damaged);
  box.Write("damaged.gb.gz", member);
  box.Write("recompressed.gb.gz", Member(damaged, 0, "", 0));
  // The damaged text without compression: what is converted, and its failure.
  const Run_Result plain = box.Run({"damaged.gb"});
  ASSERT_EQ(plain.status, 1);
  ASSERT_TRUE(plain.err.starts_with("\nraised TARVELO.GENBANK_FORMAT_ERROR")) << plain.err;
  const Run_Result damaged_stream = box.Run({"damaged.gb.gz"});
  EXPECT_TRUE(damaged_stream.out == plain.out);  // everything before the failing line
  EXPECT_EQ(damaged_stream.err,
            Fatal("TARVELO.READ_FILE.DECOMPRESSION_ERROR",
                  "damaged.gb.gz: corrupt compressed data (checksum or length mismatch)"));
  EXPECT_EQ(damaged_stream.status, 1);
  // The same damaged text in an intact stream: the format error stands.
  const Run_Result intact_stream = box.Run({"recompressed.gb.gz"});
  EXPECT_TRUE(intact_stream.out == plain.out);
  EXPECT_EQ(intact_stream.err, plain.err);
  // Output that fails first ends the run at once, the rest of the input unread.
  EXPECT_EQ(box.Run({"damaged.gb.gz"}, "", {.out = "/dev/full"}),
            (Run_Result{"", Fatal("TARVELO.OUTPUT.WRITE_ERROR", "standard output: No space left on device"), 1}));
}

}  // namespace
}  // namespace tarvelo_test
