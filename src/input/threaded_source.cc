#include "input/threaded_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "input/decoder.h"
#include "input/zstd_frame.h"
#include "support/cpus.h"

std::size_t Decompression_Threads() { return std::min(Usable_Cpus(), Max_Decompression_Threads); }

// ---------------------------------------------------------------------------
// Threaded_Source

Threaded_Source::Threaded_Source(std::unique_ptr<Compressed_Source> inner, std::size_t unit_size,
                                 std::size_t slots)
    : inner_(std::move(inner)),
      name_(inner_->Name()),
      unit_size_(unit_size),
      slots_(slots),
      batch_(slots > 1 ? slots - 1 : 1) {
  for (Slot& slot : slots_) slot.text.reset(new char[unit_size_]);
  thread_ = std::thread([this] { Produce(); });
}

Threaded_Source::~Threaded_Source() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  emptied_.notify_all();
  thread_.join();
}

void Threaded_Source::Produce() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      emptied_.wait(lock, [&] { return stop_ || filled_count_ - taken_count_ < slots_.size(); });
      if (stop_) return;
    }
    // The slot past the filled ones is this thread's until it is counted.
    Slot& slot = slots_[filled_count_ % slots_.size()];
    slot.size = 0;
    slot.failure = nullptr;
    try {
      slot.size = inner_->Read(slot.text.get(), unit_size_);
      slot.ends_stream = inner_->Between_Streams();
    } catch (...) {
      slot.failure = std::current_exception();
    }
    const bool last = slot.size == 0;
    bool wake;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++filled_count_;
      last_filled_ = last;
      wake = last || filled_count_ - taken_count_ >= batch_;
    }
    if (wake) filled_.notify_one();
    if (last) return;
  }
}

bool Threaded_Source::Take() {
  if (in_hand_) return true;
  if (failure_) std::rethrow_exception(failure_);
  if (ended_) return false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A reader that is faster than the thread, finding no slot filled, waits
    // for a batch of them, so that the thread wakes it once a batch, not once
    // a slot.
    if (filled_count_ == taken_count_)
      filled_.wait(lock, [&] { return last_filled_ || filled_count_ - taken_count_ >= batch_; });
  }
  const Slot& slot = slots_[taken_count_ % slots_.size()];
  if (slot.failure) {
    failure_ = slot.failure;
    std::rethrow_exception(failure_);
  }
  if (slot.size == 0) {
    ended_ = true;
    return false;
  }
  in_hand_ = true;
  delivered_ = 0;
  return true;
}

void Threaded_Source::Give_Back() {
  last_ended_stream_ = slots_[taken_count_ % slots_.size()].ends_stream;
  in_hand_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++taken_count_;
  }
  emptied_.notify_one();
}

std::size_t Threaded_Source::Read(char* buffer, std::size_t capacity) {
  if (!Take()) return 0;
  const Slot& slot = slots_[taken_count_ % slots_.size()];
  const std::size_t n = std::min(capacity, slot.size - delivered_);
  std::memcpy(buffer, slot.text.get() + delivered_, n);
  delivered_ += n;
  if (delivered_ == slot.size) Give_Back();
  return n;
}

void Threaded_Source::Check_Delivered_Text() {
  // The source's own failure was the report; at the end, every stream ended.
  if (failure_ || ended_) return;
  // The current stream is the one of the last text delivered: the rest of
  // it is taken and dropped up to its last unit, or up to its failure.
  if (!in_hand_ && last_ended_stream_) return;
  while (Take()) {
    Give_Back();
    if (last_ended_stream_) return;
  }
}

// ---------------------------------------------------------------------------
// Parallel_Source

namespace {

// Bytes held, then those of another source, then the failure that reading it
// raised (if any) or its end.
class Prefixed_Source final : public Byte_Source {
 public:
  Prefixed_Source(std::string prefix, std::unique_ptr<Byte_Source> rest, bool rest_ended,
                  std::exception_ptr rest_failure)
      : prefix_(std::move(prefix)),
        rest_(std::move(rest)),
        rest_ended_(rest_ended),
        rest_failure_(rest_failure) {}
  std::size_t Read(char* buffer, std::size_t capacity) override {
    if (at_ < prefix_.size()) {
      const std::size_t n = prefix_.copy(buffer, capacity, at_);
      at_ += n;
      return n;
    }
    if (rest_failure_) std::rethrow_exception(rest_failure_);
    return rest_ended_ ? 0 : rest_->Read(buffer, capacity);
  }
  bool May_Block() const override { return false; }
  const std::string& Name() const override { return rest_->Name(); }

 private:
  std::string prefix_;
  std::size_t at_ = 0;
  std::unique_ptr<Byte_Source> rest_;
  bool rest_ended_;
  std::exception_ptr rest_failure_;
};

constexpr std::size_t Read_Size = 256 * 1024;

// The little-endian number of Count bytes at At.
std::size_t Little_Endian(std::string_view bytes, std::size_t at, std::size_t count) {
  std::size_t value = 0;
  for (std::size_t k = 0; k < count; ++k) value |= std::size_t(std::uint8_t(bytes[at + k])) << (8 * k);
  return value;
}

constexpr std::size_t Bgzf_Header_Size = 18;  // a BGZF block's header, up to its size field
constexpr std::size_t Bgzf_Block_Text = 64 * 1024;  // the most text of a BGZF block

std::size_t Find_Bgzf_Block(std::string_view bytes, std::size_t, std::size_t& text) {
  if (bytes.size() < Bgzf_Header_Size) return Bgzf_Header_Size;
  text = Bgzf_Block_Text;
  return Parallel_Source::Bgzf_Block_Size(bytes);
}

// A zstd frame or a skippable frame. The text of a frame is the content size
// its header states, or else what its blocks can hold: a raw or RLE block's
// size, a compressed block's most (128 KiB, or the window when smaller). A
// frame that needs a dictionary, or a window larger than a decoder may take,
// is left to the Compressed_Source, which refuses it.
std::size_t Find_Zstd_Frame(std::string_view bytes, std::size_t most, std::size_t& text) {
  constexpr std::size_t Frame_Magic = 0xfd2fb528, Skippable_Magic = 0x184d2a50, Block_Most = 128 * 1024;
  if (bytes.size() < 8) return 8;
  const std::size_t magic = Little_Endian(bytes, 0, 4);
  if ((magic & ~std::size_t{0xf}) == Skippable_Magic) {
    text = 0;
    const std::size_t size = 8 + Little_Endian(bytes, 4, 4);
    return size <= most ? size : 0;
  }
  const std::size_t descriptor = std::uint8_t(bytes[4]);
  // Reserved bit 3, or a dictionary's number.
  if (magic != Frame_Magic || (descriptor & 0x0b) != 0) return 0;
  const bool single_segment = (descriptor & 0x20) != 0;
  const std::size_t content_bytes = Zstd_Content_Size_Bytes(static_cast<unsigned>(descriptor));
  std::size_t at = Zstd_Frame_Header_Size(static_cast<unsigned>(descriptor));  // the first block's header
  if (bytes.size() < at) return at;
  std::size_t content = content_bytes == 0 ? SIZE_MAX : Little_Endian(bytes, at - content_bytes, content_bytes);
  if (content_bytes == 2) content += 256;
  if (content != SIZE_MAX && content > most) return 0;
  std::size_t window = content;
  if (!single_segment) {
    const std::size_t exponent = 10 + (std::uint8_t(bytes[5]) >> 3);
    window = (std::size_t{1} << exponent) + (std::size_t{1} << exponent) / 8 * (std::uint8_t(bytes[5]) & 7);
  }
  if (window > Decoder::Memory_Limit) return 0;
  std::size_t blocks_text = 0;
  for (bool last = false; !last;) {
    if (bytes.size() < at + 3) return at + 3;
    const Zstd_Block block = Zstd_Block_At(reinterpret_cast<const unsigned char*>(bytes.data() + at));
    if (block.type == 3) return 0;  // reserved
    at += 3 + block.Bytes();
    blocks_text += block.type == 2 ? std::min(window, Block_Most) : block.size;
    if (at > most || (content == SIZE_MAX && blocks_text > most)) return 0;
    last = block.last;
  }
  text = content == SIZE_MAX ? blocks_text : content;
  return at + ((descriptor & 4) != 0 ? 4 : 0);  // the checksum
}

}  // namespace

// Jobs of BGZF blocks are kept small and many (two for each worker, and one
// more): a block's text is never more than 64 KiB. A zstd job is one frame
// of up to 2 MiB of text (pzstd -1 writes frames of 2 MiB), or several
// smaller ones, and there is one job for each worker, the one being read
// included: a job more measured 0.14 s against 0.16 s on 200 MB of text
// in frames of 2 MiB, for 3.4 MB more at the peak (12 MB). Frames of more
// text (pzstd -2 and above write 4 MiB and more) would not stay within a
// few MiB for each worker.
const Parallel_Source::Format Parallel_Source::Bgzf_Blocks{Find_Bgzf_Block, New_Gzip_Decoder, 8 * Bgzf_Block_Text, 2, 1};
const Parallel_Source::Format Parallel_Source::Zstd_Frames{Find_Zstd_Frame, New_Zstd_Decoder, 2 << 20, 1, 0};

std::size_t Parallel_Source::Bgzf_Block_Size(std::string_view head) {
  // A gzip member (deflate, extra field only) whose extra field is the one
  // "BC" subfield of two bytes: the block's size less one.
  if (head.size() < Bgzf_Header_Size || !head.starts_with(std::string_view("\x1f\x8b\x08\x04", 4)) ||
      head.substr(10, 6) != std::string_view("\x06\x00" "BC\x02\x00", 6))
    return 0;
  return Little_Endian(head, 16, 2) + 1;
}

Parallel_Source::Parallel_Source(std::unique_ptr<Byte_Source> compressed, const Format& format,
                                 std::size_t workers, std::size_t unit_size, std::size_t slots)
    : compressed_(std::move(compressed)),
      format_(format),
      name_(compressed_->Name()),
      unit_size_(unit_size),
      slots_(slots),
      max_jobs_(format.jobs_per_worker * workers + format.more_jobs) {
  try {
    for (std::size_t k = 0; k < workers; ++k) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop_Workers();
    throw;
  }
}

Parallel_Source::~Parallel_Source() { Stop_Workers(); }

void Parallel_Source::Stop_Workers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void Parallel_Source::Work() {
  std::unique_ptr<Decoder> decoder;
  for (;;) {
    Job* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      job = queue_.front();
      queue_.pop_front();
    }
    try {
      if (!decoder) decoder = format_.new_decoder();
      Decode(*decoder, *job);
    } catch (...) {
      // Out of memory: the reader's Compressed_Source decodes the piece this
      // job stopped at, and fails as it does.
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->done = true;
    }
    done_.notify_all();
  }
}

void Parallel_Source::Decode(Decoder& decoder, Job& job) const {
  const std::size_t pieces = job.starts.size() - 1;
  if (!job.text) job.text.reset(new char[format_.job_size]);
  job.sizes.assign(pieces, 0);
  for (std::size_t k = 0; k < pieces; ++k) {
    const auto* in = reinterpret_cast<const unsigned char*>(job.compressed.data()) + job.starts[k];
    const std::size_t size = job.starts[k + 1] - job.starts[k], room = job.text_at[k + 1] - job.text_at[k];
    if (decoder.Start_Stream(std::string_view(reinterpret_cast<const char*>(in),
                                              std::min(size, Decoder::Head_Size))) != Decoder::OK)
      return;
    Decoder::Buffers io{in, size, reinterpret_cast<unsigned char*>(job.text.get() + job.text_at[k]), room};
    // Anything but the whole piece decoded, its checks passed: the reader's
    // Compressed_Source takes over from this piece.
    if (decoder.Decode_Whole(io) != Decoder::STREAM_END) return;
    job.sizes[k] = static_cast<std::uint32_t>(room - io.out_size);
    job.clean = k + 1;
  }
}

bool Parallel_Source::Read_More() {
  if (input_ended_) return false;
  if (pending_at_ > 0) {
    pending_.erase(0, pending_at_);
    pending_at_ = 0;
  }
  const std::size_t held = pending_.size();
  // Room for a job's pieces, and one read more, taken once.
  if (pending_.capacity() < held + Read_Size) pending_.reserve(std::max(held, format_.job_size) + Read_Size);
  pending_.resize(held + Read_Size);
  std::size_t n = 0;
  try {
    n = compressed_->Read(pending_.data() + held, Read_Size);
  } catch (...) {
    read_failure_ = std::current_exception();
  }
  pending_.resize(held + n);
  input_ended_ = n == 0;
  return n > 0;
}

void Parallel_Source::Dispatch() {
  const auto held = [this] { return pending_.size() - pending_at_; };
  while (!dispatch_ended_ && jobs_.size() < max_jobs_) {
    // A job read before is used again, its buffers as they are.
    std::unique_ptr<Job> job = spare_ ? std::move(spare_) : std::make_unique<Job>();
    job->starts.assign(1, 0);
    job->text_at.assign(1, 0);
    job->clean = 0;
    job->done = false;
    std::size_t end = 0;  // of the job's pieces, from Pending_At_ (which Read_More keeps)
    while (job->starts.size() <= Max_Pieces_Per_Job) {
      std::size_t size, text = 0;
      // A piece is dispatched when at least one byte follows it: the file's
      // last piece is the Compressed_Source's, which knows how a file may end.
      while ((size = format_.find(std::string_view(pending_).substr(pending_at_ + end), format_.job_size, text)) > 0 &&
             held() - end <= size && Read_More()) {
      }
      if (size == 0 || held() - end <= size) {
        dispatch_ended_ = true;
        break;
      }
      // A piece that does not fit waits for the next job.
      if (end + size > format_.job_size || job->text_at.back() + text > format_.job_size) break;
      end += size;
      job->starts.push_back(static_cast<std::uint32_t>(end));
      job->text_at.push_back(static_cast<std::uint32_t>(job->text_at.back() + text));
    }
    if (job->starts.size() == 1) {
      spare_ = std::move(job);
      return;
    }
    job->compressed.assign(pending_, pending_at_, end);
    pending_at_ += end;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(job.get());
    }
    jobs_.push_back(std::move(job));
    work_.notify_one();
  }
}

void Parallel_Source::Go_Sequential() {
  std::string rest;
  if (!jobs_.empty()) {
    const Job& front = *jobs_.front();
    rest.assign(front.compressed, front.starts[next_piece_]);
  }
  Stop_Workers();
  for (std::size_t k = 1; k < jobs_.size(); ++k) rest += jobs_[k]->compressed;
  jobs_.clear();
  spare_.reset();
  rest.append(pending_, pending_at_);
  pending_.clear();
  pending_.shrink_to_fit();
  sequential_ = std::make_unique<Threaded_Source>(
      std::make_unique<Compressed_Source>(
          std::make_unique<Prefixed_Source>(std::move(rest), std::move(compressed_), input_ended_, read_failure_),
          format_.new_decoder(), unit_size_),
      unit_size_, slots_);
}

std::size_t Parallel_Source::Read(char* buffer, std::size_t capacity) {
  for (;;) {
    if (sequential_) return sequential_->Read(buffer, capacity);
    Dispatch();
    if (jobs_.empty()) {
      Go_Sequential();
      continue;
    }
    Job& job = *jobs_.front();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      done_.wait(lock, [&] { return job.done; });
    }
    if (next_piece_ == job.clean) {
      if (job.clean < job.starts.size() - 1) {
        Go_Sequential();
      } else {
        spare_ = std::move(jobs_.front());
        jobs_.pop_front();
        next_piece_ = 0;
      }
      continue;
    }
    // A piece's text in units, as the Compressed_Source cuts a stream's;
    // an empty piece has none.
    const std::size_t size = job.sizes[next_piece_];
    const std::size_t n = std::min({capacity, size - delivered_, unit_size_ - delivered_ % unit_size_});
    std::memcpy(buffer, job.text.get() + job.text_at[next_piece_] + delivered_, n);
    delivered_ += n;
    if (delivered_ == size) {
      ++next_piece_;
      delivered_ = 0;
    }
    if (n > 0) return n;
  }
}

void Parallel_Source::Check_Delivered_Text() {
  // Text decoded here is whole pieces, their checks passed.
  if (sequential_) sequential_->Check_Delivered_Text();
}
