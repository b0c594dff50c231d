// Decompression on threads of their own, while the reader converts: a
// compressed file's text decoded ahead through a small ring of buffers, and
// the blocks of a BGZF file or the frames of a zstd file decoded side by side.
//
// Both deliver what the Compressed_Source of the same bytes delivers to a
// reader that takes at least a unit (Compressed_Source::Unit_Size) at a time:
// the same units of text in the same order, the same failures after the same
// text, and the same answer from Check_Delivered_Text. They are for inputs
// that cannot block (regular files): a pipe is read as its writer goes, one
// read at a time between writes of the output, which a thread reading ahead
// would not keep. Every thread is stopped and joined when the source is
// destroyed, also in the middle of the input.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "input/byte_source.h"
#include "input/compressed_source.h"
#include "input/decoder.h"

// The text of a Compressed_Source decoded on one thread of its own, a unit
// at a time into a ring of Slots buffers; the reader takes them in turn.
// Memory: Slots units of text, and the source's own.
class Threaded_Source final : public Byte_Source {
 public:
  static constexpr std::size_t Default_Slots = 8;

  Threaded_Source(std::unique_ptr<Compressed_Source> inner, std::size_t unit_size,
                  std::size_t slots = Default_Slots);
  ~Threaded_Source() override;
  Threaded_Source(const Threaded_Source&) = delete;
  Threaded_Source& operator=(const Threaded_Source&) = delete;

  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return false; }
  const std::string& Name() const override { return name_; }
  void Check_Delivered_Text() override;
  bool Decodes() const override { return true; }

 private:
  struct Slot {
    std::unique_ptr<char[]> text;
    std::size_t size = 0;  // 0 with no failure: the end of the input
    bool ends_stream = false;
    std::exception_ptr failure;
  };
  void Produce();
  // Waits for the next slot, when none is in hand; false at the end of the
  // input. Throws the failure that the slot carries.
  bool Take();
  // Hands the slot in hand back to the thread.
  void Give_Back();

  std::unique_ptr<Compressed_Source> inner_;
  std::string name_;
  std::size_t unit_size_;
  std::vector<Slot> slots_;
  std::size_t batch_;  // the filled slots a waiting reader is woken for
  std::mutex mutex_;
  std::condition_variable filled_, emptied_;
  std::uint64_t filled_count_ = 0;  // slots filled by the thread, in all
  std::uint64_t taken_count_ = 0;   // slots given back by the reader, in all
  bool last_filled_ = false;        // the thread filled its last slot
  bool stop_ = false;
  // The reader's side.
  bool in_hand_ = false;
  std::size_t delivered_ = 0;  // of the slot in hand
  bool last_ended_stream_ = true;
  bool ended_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

// A compressed file whose pieces decode apart from each other (BGZF blocks,
// zstd frames), its pieces decoded by Workers threads side by side, several
// small pieces to a job. From the first piece that does not qualify (too
// large, of a kind the format's finder does not take, the file's last) or
// does not decode cleanly (damage), the rest is read by a Compressed_Source
// on a thread of its own (a Threaded_Source of Slots units), so that what is
// delivered from there on, failures included, is what that source delivers.
// Memory: a few jobs per worker (Format::Jobs_Per_Worker, and More_Jobs),
// each of at most Format::Job_Size bytes of text and as many compressed.
class Parallel_Source final : public Byte_Source {
 public:
  // What the source needs of a format.
  struct Format {
    // The size of the piece that Bytes begin, and in Text the most text it
    // makes; 0 when Bytes do not begin a piece that decodes apart, or one
    // whose size or text may be more than Most. A size past the end of
    // Bytes: more bytes are needed to tell, at least that many.
    std::size_t (*find)(std::string_view bytes, std::size_t most, std::size_t& text);
    std::unique_ptr<Decoder> (*new_decoder)();
    std::size_t job_size;         // the most text, and compressed bytes, of a job
    std::size_t jobs_per_worker;  // jobs dispatched and not yet read, for each worker,
    std::size_t more_jobs;        // and this many more
  };
  // BGZF blocks (64 KiB of text at most), eight to a job.
  static const Format Bgzf_Blocks;
  // zstd frames and skippable frames, a frame's text 2 MiB at most.
  static const Format Zstd_Frames;
  static constexpr std::size_t Max_Pieces_Per_Job = 64;

  // Compressed holds the file from its first piece on.
  Parallel_Source(std::unique_ptr<Byte_Source> compressed, const Format& format, std::size_t workers,
                  std::size_t unit_size, std::size_t slots = Threaded_Source::Default_Slots);
  ~Parallel_Source() override;
  Parallel_Source(const Parallel_Source&) = delete;
  Parallel_Source& operator=(const Parallel_Source&) = delete;

  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return false; }
  const std::string& Name() const override { return name_; }
  void Check_Delivered_Text() override;
  bool Decodes() const override { return true; }

  // The size of the BGZF block that Head (at least 18 bytes) begins, or 0.
  static std::size_t Bgzf_Block_Size(std::string_view head);

 private:
  struct Job {
    std::string compressed;              // whole pieces, one after another
    std::vector<std::uint32_t> starts;   // where each piece begins, then the end
    std::vector<std::uint32_t> text_at;  // where each piece's text goes, then the end
    std::unique_ptr<char[]> text;
    std::vector<std::uint32_t> sizes;    // of each piece's text
    std::size_t clean = 0;               // leading pieces decoded whole, checks passed
    bool done = false;
  };
  void Work();
  void Decode(Decoder& decoder, Job& job) const;
  // Forms jobs until enough are under way or the pieces that can be decoded
  // here end.
  void Dispatch();
  // Reads more of the file into Pending_; false when none came.
  bool Read_More();
  // Goes on with a Compressed_Source from the front job's next piece (or,
  // with no job left, from the bytes not dispatched).
  void Go_Sequential();
  void Stop_Workers();

  std::unique_ptr<Byte_Source> compressed_;
  const Format& format_;
  std::string name_;
  std::size_t unit_size_;
  std::size_t slots_;
  std::size_t max_jobs_;
  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<Job*> queue_;                  // jobs that no worker took yet
  std::deque<std::unique_ptr<Job>> jobs_;   // every job not yet read, in order
  std::unique_ptr<Job> spare_;              // one read, for the next job
  bool stop_ = false;
  std::vector<std::thread> workers_;
  // The reader's side.
  std::string pending_;          // bytes read and not yet dispatched: Pending_[Pending_At_, end)
  std::size_t pending_at_ = 0;
  bool input_ended_ = false;
  std::exception_ptr read_failure_;
  bool dispatch_ended_ = false;  // what follows the jobs is not dispatched
  std::size_t next_piece_ = 0;   // of the front job
  std::size_t delivered_ = 0;    // of that piece's text
  std::unique_ptr<Threaded_Source> sequential_;
};

// How many threads decompress a compressed regular file: the processors the
// process may use, at most Max_Decompression_Threads; 1 means none of its own.
constexpr std::size_t Max_Decompression_Threads = 4;
std::size_t Decompression_Threads();
