#include "input/threaded_source.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "compressed_samples.h"
#include "string_source.h"

namespace {

using namespace compressed_samples;

std::unique_ptr<Compressed_Source> Sequential(const std::string& bytes, New_Decoder new_decoder,
                                              std::size_t unit) {
  return std::make_unique<Compressed_Source>(std::make_unique<String_Source>(bytes, "x.gz"),
                                             new_decoder(), unit);
}

// Text of Lines lines of bases, as records' sequences look.
std::string Bases(std::size_t lines, std::minstd_rand& random) {
  std::string text;
  for (std::size_t k = 0; k < lines; ++k) {
    for (int j = 0; j < 60; ++j) text += "acgt"[random() % 4];
    text += '\n';
  }
  return text;
}

// Compressed inputs of several streams, whole, damaged at several places
// (a bit flipped), cut, and followed by garbage.
std::vector<std::string> Variants(const std::string& whole) {
  std::vector<std::string> variants = {whole, whole.substr(0, whole.size() / 2),
                                       whole.substr(0, whole.size() - 1), whole + "GARBAGE"};
  for (std::size_t at : {whole.size() / 7, whole.size() / 3, whole.size() / 2, whole.size() - 5}) {
    std::string damaged = whole;
    damaged[at] ^= 4;
    variants.push_back(damaged);
  }
  return variants;
}

// Make's source against the Compressed_Source of the same bytes, read a unit
// or more at a time: the same reads, text and failures, and the same outcome
// of checking the delivered text after any number of reads.
void Expect_Alike(const std::function<std::unique_ptr<Byte_Source>()>& make, const std::string& bytes,
                  New_Decoder new_decoder, std::size_t unit, const std::string& what) {
  const std::size_t capacity = unit + 100;
  EXPECT_EQ(Drain(*make(), capacity, true), Drain(*Sequential(bytes, new_decoder, unit), capacity, true)) << what;
  for (std::size_t reads : {0, 1, 9, 30})
    EXPECT_EQ(Check_After(*make(), reads, capacity),
              Check_After(*Sequential(bytes, new_decoder, unit), reads, capacity))
        << what << " " << reads;
}

// A compressed file decoded ahead on a thread, through rings of one slot or more.
TEST(ThreadedSource, DeliversWhatTheSequentialSourceDelivers) {
  std::minstd_rand random;
  for (const Format& f : Formats) {
    std::string whole;
    for (int k = 0; k < 3; ++k) whole += f.Compress(Bases(400 + 300 * k, random));
    for (const std::string& bytes : Variants(whole))
      for (std::size_t unit : {997, 64 * 1024})
        for (std::size_t slots : {1, 2, 4})
          Expect_Alike([&] { return std::make_unique<Threaded_Source>(Sequential(bytes, f.new_decoder, unit), unit, slots); },
                       bytes, f.new_decoder, unit, f.command + (" " + std::to_string(unit)) + " " + std::to_string(slots));
  }
}

// BGZF blocks decoded side by side: the same as one after another, with
// blocks of all sizes (empty ones too), damage in any block, a gzip member
// among them, a file cut anywhere or without its end block.
TEST(ThreadedSource, BgzfBlocksSideBySideDeliverWhatOneAfterAnotherDoes) {
  std::minstd_rand random;
  std::string blocks;
  for (int k = 0; k < 40; ++k) blocks += Bgzf_Block(k % 9 == 4 ? "" : Bases(1 + random() % 900, random));
  const std::string end = Bgzf_Block("");
  std::vector<std::string> inputs = Variants(blocks + end);
  for (const std::string& more : {""s, blocks, Member(Bases(50, random)) + blocks})
    inputs.push_back(blocks + more + end);
  inputs.push_back(blocks);
  inputs.push_back(blocks + Member(Bases(50, random)));
  for (const std::string& bytes : inputs)
    for (std::size_t workers : {1, 3})
      Expect_Alike([&] { return std::make_unique<Parallel_Source>(std::make_unique<String_Source>(bytes, "x.gz", 10000),
                                                                  Parallel_Source::Bgzf_Blocks, workers,
                                                                  Compressed_Source::Unit_Size); },
                   bytes, New_Gzip_Decoder, Compressed_Source::Unit_Size, std::to_string(workers));
}

#ifdef TARVELO_WITH_ZSTD
// zstd frames side by side: the same as one after another, with frames that
// state their content size and frames that do not, empty and skippable
// frames, frames too large for a job (jobs of 2 MiB and of 8 KiB), a window
// too large, damage anywhere, a file cut anywhere; read a unit or more at a
// time, through rings of one slot or more once decoding goes on in order.
TEST(ThreadedSource, ZstdFramesSideBySideDeliverWhatOneAfterAnotherDoes) {
  std::minstd_rand random;
  const auto sized = [](const std::string& text) {
    return Filter(("zstd -c -q -1 --check --stream-size=" + std::to_string(text.size())).c_str(), text);
  };
  const std::string skippable = "\x5a\x2a\x4d\x18\4\0\0\0abcd"s;
  std::string frames = skippable;
  for (int k = 0; k < 12; ++k) {
    const std::string text = Bases(k % 5 == 3 ? 0 : 1 + random() % 400, random);
    frames += (k % 2 == 0 ? sized(text) : Filter("zstd -c -q -1 --check", text)) + (k % 4 == 1 ? skippable : "");
  }
  const std::string large = sized(Bases(2000, random)), too_large_window = "\x28\xb5\x2f\xfd\0\x89\1\0\0"s;
  std::string dictionary = sized(Bases(20, random));
  dictionary[4] |= 1;
  std::vector<std::string> inputs = Variants(frames);
  for (const std::string& middle : {large, too_large_window, dictionary, skippable + skippable})
    inputs.push_back(frames + middle + frames);
  // A frame of several blocks damaged in later blocks: where the failure
  // falls does not depend on where the input's reads end.
  const std::string blocks = sized(Bases(7000, random));
  for (std::size_t at : {blocks.size() / 2, blocks.size() * 3 / 4}) {
    std::string damaged = blocks;
    damaged[at] ^= 0x10;
    inputs.push_back(frames + damaged);
  }
  const Parallel_Source::Format small_jobs{Parallel_Source::Zstd_Frames.find, New_Zstd_Decoder, 8 * 1024, 2, 1};
  for (const Parallel_Source::Format* format : {&Parallel_Source::Zstd_Frames, &small_jobs})
    for (const std::string& bytes : inputs)
      for (const auto& [workers, unit, slots] : std::vector<std::tuple<int, std::size_t, int>>{
               {1, 64 * 1024, 1}, {2, 997, 2}, {3, Compressed_Source::Unit_Size, 8}})
        Expect_Alike([&] { return std::make_unique<Parallel_Source>(std::make_unique<String_Source>(bytes, "x.gz", 5000),
                                                                    *format, workers, unit, slots); },
                     bytes, New_Zstd_Decoder, unit, std::to_string(workers) + " " + std::to_string(unit));
}
#endif

// A compressed regular file opened with threads or without: the same.
TEST(ThreadedSource, OpenSourceDecompressesARegularFileAlikeWithAnyNumberOfThreads) {
  std::minstd_rand random;
  std::vector<std::string> files;
  for (const Format& f : Formats) files.push_back(f.Compress(Bases(3000, random)) + f.Compress(Bases(10, random)));
  std::string bgzf;
  for (int k = 0; k < 30; ++k) bgzf += Bgzf_Block(Bases(1000, random));
  files.push_back(bgzf + Bgzf_Block(""));
  files.push_back(bgzf);
  for (const std::string& bytes : files) {
    char path[] = "/tmp/tarvelo-test-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    std::string transcripts[2];
    for (int k = 0; k < 2; ++k) {
      lseek(fd, 0, SEEK_SET);
      transcripts[k] = Drain(*Open_Source(fd, "x.gz", {}, k == 0 ? 1 : 3), 256 * 1024, true);
    }
    EXPECT_EQ(transcripts[1], transcripts[0]);
    close(fd);
    unlink(path);
  }
}

}  // namespace
