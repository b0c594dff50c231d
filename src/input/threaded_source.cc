#include "input/threaded_source.h"

#include <algorithm>
#include <cstring>

#include "input/decoder.h"
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
// Bgzf_Source

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

constexpr std::size_t Header_Size = 18;  // a BGZF block's header, up to its size field
constexpr std::size_t Read_Size = 256 * 1024;

}  // namespace

std::size_t Bgzf_Source::Block_Size(std::string_view head) {
  // A gzip member (deflate, extra field only) whose extra field is the one
  // "BC" subfield of two bytes: the block's size less one.
  if (head.size() < Header_Size || !head.starts_with(std::string_view("\x1f\x8b\x08\x04", 4)) ||
      head.substr(10, 6) != std::string_view("\x06\x00" "BC\x02\x00", 6))
    return 0;
  return (std::size_t(std::uint8_t(head[16])) | std::size_t(std::uint8_t(head[17])) << 8) + 1;
}

Bgzf_Source::Bgzf_Source(std::unique_ptr<Byte_Source> compressed, std::size_t workers,
                         std::size_t unit_size)
    : compressed_(std::move(compressed)),
      name_(compressed_->Name()),
      unit_size_(unit_size),
      max_jobs_(2 * workers + 1) {
  try {
    for (std::size_t k = 0; k < workers; ++k) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop_Workers();
    throw;
  }
}

Bgzf_Source::~Bgzf_Source() { Stop_Workers(); }

void Bgzf_Source::Stop_Workers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void Bgzf_Source::Work() {
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
      if (!decoder) decoder = New_Gzip_Decoder();
      Decode(*decoder, *job);
    } catch (...) {
      // Out of memory: the reader's Compressed_Source decodes the block this
      // job stopped at, and fails as it does.
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->done = true;
    }
    done_.notify_all();
  }
}

void Bgzf_Source::Decode(Decoder& decoder, Job& job) {
  const std::size_t blocks = job.starts.size() - 1;
  if (!job.text) job.text.reset(new char[Blocks_Per_Job * Block_Text]);
  job.sizes.assign(blocks, 0);
  for (std::size_t k = 0; k < blocks; ++k) {
    const auto* in = reinterpret_cast<const unsigned char*>(job.compressed.data()) + job.starts[k];
    const std::size_t size = job.starts[k + 1] - job.starts[k];
    if (decoder.Start_Stream(std::string_view(reinterpret_cast<const char*>(in), Decoder::Head_Size)) !=
        Decoder::OK)
      return;
    Decoder::Buffers io{in, size, reinterpret_cast<unsigned char*>(job.text.get() + k * Block_Text),
                        Block_Text};
    Decoder::Status status = Decoder::OK;
    for (std::size_t before = SIZE_MAX; status == Decoder::OK && io.in_size + io.out_size < before;) {
      before = io.in_size + io.out_size;
      status = decoder.Decode(io, true);
    }
    // Anything but the whole block decoded, its checks passed: the reader's
    // Compressed_Source takes over from this block.
    if (status != Decoder::STREAM_END || io.in_size != 0) return;
    job.sizes[k] = static_cast<std::uint32_t>(Block_Text - io.out_size);
    job.clean = k + 1;
  }
}

bool Bgzf_Source::Read_More() {
  if (input_ended_) return false;
  if (pending_at_ > 0) {
    pending_.erase(0, pending_at_);
    pending_at_ = 0;
  }
  const std::size_t held = pending_.size();
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

void Bgzf_Source::Dispatch() {
  const auto held = [this] { return pending_.size() - pending_at_; };
  while (!dispatch_ended_ && jobs_.size() < max_jobs_) {
    // A job read before is used again, its buffers as they are.
    std::unique_ptr<Job> job = spare_ ? std::move(spare_) : std::make_unique<Job>();
    job->starts.clear();
    job->clean = 0;
    job->done = false;
    std::size_t end = 0;  // of the job's blocks, from Pending_At_ (which Read_More keeps)
    while (job->starts.size() < Blocks_Per_Job) {
      while (held() - end < Header_Size && Read_More()) {
      }
      const std::size_t size = Block_Size(std::string_view(pending_).substr(pending_at_ + end, Header_Size));
      // A block is dispatched when at least one byte follows it: the file's
      // last block is the Compressed_Source's, which knows how a file may end.
      while (size > 0 && held() - end <= size && Read_More()) {
      }
      if (size == 0 || held() - end <= size) {
        dispatch_ended_ = true;
        break;
      }
      job->starts.push_back(static_cast<std::uint32_t>(end));
      end += size;
    }
    if (job->starts.empty()) {
      spare_ = std::move(job);
      return;
    }
    job->starts.push_back(static_cast<std::uint32_t>(end));
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

void Bgzf_Source::Go_Sequential() {
  std::string rest;
  if (!jobs_.empty()) {
    const Job& front = *jobs_.front();
    rest.assign(front.compressed, front.starts[next_block_]);
  }
  Stop_Workers();
  for (std::size_t k = 1; k < jobs_.size(); ++k) rest += jobs_[k]->compressed;
  jobs_.clear();
  rest.append(pending_, pending_at_);
  pending_.clear();
  sequential_ = std::make_unique<Compressed_Source>(
      std::make_unique<Prefixed_Source>(std::move(rest), std::move(compressed_), input_ended_,
                                        read_failure_),
      New_Gzip_Decoder(), unit_size_);
}

std::size_t Bgzf_Source::Read(char* buffer, std::size_t capacity) {
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
    if (next_block_ == job.clean) {
      if (job.clean < job.starts.size() - 1) {
        Go_Sequential();
      } else {
        spare_ = std::move(jobs_.front());
        jobs_.pop_front();
        next_block_ = 0;
      }
      continue;
    }
    // A block's text is one unit, which ends its stream; an empty block has none.
    const std::size_t size = job.sizes[next_block_];
    const std::size_t n = std::min(capacity, size - delivered_);
    std::memcpy(buffer, job.text.get() + next_block_ * Block_Text + delivered_, n);
    delivered_ += n;
    if (delivered_ == size) {
      ++next_block_;
      delivered_ = 0;
    }
    if (n > 0) return n;
  }
}

void Bgzf_Source::Check_Delivered_Text() {
  // Text decoded here is whole blocks, their checks passed.
  if (sequential_) sequential_->Check_Delivered_Text();
}
