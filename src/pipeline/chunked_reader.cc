#include "pipeline/chunked_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "genbank/line_reader.h"
#include "input/file_range_source.h"
#include "support/cpus.h"

namespace {

// Past this many workers the conversion waits on memory, not on processors.
constexpr std::size_t Most_Workers = 8;

// A stretch of the file, from Begin to End (To_The_End for the last).
struct Chunk {
  std::int64_t begin = 0;
  std::int64_t end = File_Range_Source::To_The_End;
  // The state the run really is in where the chunk begins (the first chunk
  // of an input), rather than the state at a record boundary.
  bool exact = false;
  Reader_State state;
};

// What a worker made of a chunk.
struct Converted {
  std::exception_ptr failure;
  Output_Stream::Collected out, m4;
  Reader_State state;
  std::size_t lines = 0;
  std::int64_t end_offset = 0;
};

// Everything a chunk's conversion reads.
struct File {
  int fd;
  const std::string& name;
  std::int64_t size;  // when reading began
  const Run_Configuration& config;
};

constexpr std::string_view Locus_Field = "\nLOCUS       ";

// Where the first record starts in Text at or after From and before To: a
// line that the reader takes for a LOCUS line (the keyword field and more),
// right after a line that begins with "//", both wholly in Text (the first
// line of a file has none before it). Npos when there is none.
std::size_t Record_Start_In(std::string_view text, std::size_t from, std::size_t to, bool begins_file) {
  // The next line feed at or after At that a LOCUS field follows: found by
  // its 'L', which sequence lines (lower case, as a rule) seldom hold.
  const auto next = [&](std::size_t at) {
    for (std::size_t l = at + 1; l < text.size(); ++l) {
      const void* found = std::memchr(text.data() + l, 'L', text.size() - l);
      if (found == nullptr) break;
      l = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
      if (text.compare(l - 1, Locus_Field.size(), Locus_Field) == 0) return l - 1;
    }
    return text.npos;
  };
  for (std::size_t lf = next(from == 0 ? 0 : from - 1); lf != text.npos && lf + 1 < to; lf = next(lf + 1)) {
    if (lf + 1 < from) continue;
    // More than the keyword field before the line end (one carriage return
    // before it is no character of the line).
    const std::size_t more = lf + Locus_Field.size();
    if (more >= text.size() || text[more] == '\n' ||
        (text[more] == '\r' && (more + 1 >= text.size() || text[more + 1] == '\n')))
      continue;
    const std::size_t before = lf == 0 ? text.npos : text.rfind('\n', lf - 1);
    const std::size_t line = before != text.npos ? before + 1 : begins_file ? 0 : text.npos;
    if (line != text.npos && lf >= line + 2 && text.compare(line, 2, "//") == 0) return lf + 1;
  }
  return text.npos;
}

// A reader of chunks of the file, which keeps its buffers from one to the next.
class Chunk_Reader {
 public:
  explicit Chunk_Reader(const File& file)
      : file_(file), source_(file.fd, file.name, 0, 0, file.size), reader_(source_) {}

  // Converts Chunk from State with Writer (which writes with State's label
  // values), counting lines after Lines_Before, and ending at the first
  // record start at or after Cut_After when that is not negative; returns
  // the lines counted and where reading ended.
  std::pair<std::size_t, std::int64_t> Convert(const Chunk& chunk, Reader_State& state, Record_Writer& writer,
                                               std::size_t lines_before, std::int64_t cut_after = -1) {
    source_.Set_Range(chunk.begin, chunk.end);
    // A record longer than this is one of a few in its file (a chromosome):
    // the rest of the file is converted here too.
    constexpr std::int64_t Look = 32 << 20;
    if (cut_after >= 0)
      source_.Cut_After(cut_after, cut_after + Look, [](std::string_view bytes, std::size_t from, bool begins_file) {
        return Record_Start_In(bytes, from, bytes.size(), begins_file);
      });
    reader_.Restart(lines_before);
    Read_File(reader_, state, file_.config, writer);
    return {reader_.Line_Number(), source_.Offset()};
  }
  // Whether the last conversion ended at a record start it found.
  bool Was_Cut() const { return source_.Was_Cut(); }

 private:
  const File& file_;
  File_Range_Source source_;
  Line_Reader reader_;
};

// Converts chunks into memory, one after another, with buffers of its own.
class Chunk_Converter {
 public:
  explicit Chunk_Converter(const File& file)
      : reader_(file), writer_(file.config, state_.Components, out_, file.config.M4_Mode ? &m4_ : nullptr) {}

  // Converts Chunk from the state it assumes, into buffers from New_Buffer
  // (the output) and Spare (the definitions, which may start empty).
  Converted Convert(const Chunk& chunk, const std::function<Output_Stream::Collected()>& spare,
                    const std::function<Output_Stream::Collected()>& new_buffer) {
    Converted result;
    try {
      state_ = chunk.state;
      std::tie(result.lines, result.end_offset) = reader_.Convert(chunk, state_, writer_, 0);
      result.state = state_;
    } catch (...) {
      // What a failing chunk wrote is dropped: it is converted again.
      result.failure = std::current_exception();
    }
    result.out = out_.Exchange(new_buffer());
    result.m4 = m4_.Exchange(spare());
    return result;
  }

 private:
  Chunk_Reader reader_;
  Output_Stream out_{"chunk output"}, m4_{"chunk definitions"};
  Reader_State state_;  // the state the chunk in hand is converted in
  Record_Writer writer_;
};

// The chunks of one input by number: those waiting to be converted, the
// converted ones waiting to be written, and threads that convert them. The
// calling thread may take waiting chunks too.
class Chunk_Workers {
 public:
  // Output buffers start with Capacity bytes (they grow when a chunk's
  // output needs more).
  Chunk_Workers(const File& file, std::size_t count, std::size_t capacity) : file_(file), capacity_(capacity) {
    for (std::size_t k = 0; k < count; ++k) threads_.emplace_back([this] { Work(); });
  }
  ~Chunk_Workers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Chunk_Workers(const Chunk_Workers&) = delete;
  Chunk_Workers& operator=(const Chunk_Workers&) = delete;

  void Submit(std::size_t index, const Chunk& chunk) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_.emplace_back(index, chunk);
    }
    work_ready_.notify_one();
  }

  // The oldest chunk that no thread has taken, if any: false otherwise.
  bool Take_Waiting(std::pair<std::size_t, Chunk>& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.empty()) return false;
    job = std::move(waiting_.front());
    waiting_.pop_front();
    return true;
  }

  // Whether chunk Index is converted.
  bool Is_Converted(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_.count(index) != 0;
  }

  // Whether chunk Index is converted, after waiting for it while no chunk
  // waits to be taken.
  bool Converted_Or_Nothing_To_Take(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    result_ready_.wait(lock, [&] { return done_.count(index) != 0 || !waiting_.empty(); });
    return done_.count(index) != 0;
  }

  // The result of converted chunk Index.
  Converted Take(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Converted result = std::move(done_.at(index));
    done_.erase(index);
    return result;
  }

  // Converts Job into memory on the calling thread, as a worker would.
  void Convert_Here(Chunk_Converter& converter, const std::pair<std::size_t, Chunk>& job) {
    Finish(job.first, converter.Convert(job.second, [this] { return Spare(); }, [this] { return New_Buffer(); }));
  }

  // Gives the buffers of a result back, to be filled again.
  void Give_Back(Converted& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Output_Stream::Collected* c : {&result.out, &result.m4})
      if (c->data) spare_.push_back(std::move(*c));
  }

 private:
  void Work() {
    Chunk_Converter converter(file_);
    for (;;) {
      std::pair<std::size_t, Chunk> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_ready_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        job = std::move(waiting_.front());
        waiting_.pop_front();
      }
      Convert_Here(converter, job);
    }
  }

  void Finish(std::size_t index, Converted result) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.emplace(index, std::move(result));
    }
    result_ready_.notify_all();
  }

  // A buffer given back, or none.
  Output_Stream::Collected Spare() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return {};
    Output_Stream::Collected c = std::move(spare_.back());
    spare_.pop_back();
    return c;
  }
  // A buffer given back, or a new one of the usual capacity: grown from
  // nothing, one would be copied and given back to the system several
  // times, and its pages faulted in twice.
  Output_Stream::Collected New_Buffer() {
    Output_Stream::Collected c = Spare();
    if (!c.data) c = {std::unique_ptr<char[]>(new char[capacity_]), 0, capacity_};
    return c;
  }

  const File& file_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::vector<Output_Stream::Collected> spare_;
  std::condition_variable work_ready_, result_ready_;
  std::deque<std::pair<std::size_t, Chunk>> waiting_;
  std::map<std::size_t, Converted> done_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The offset of the first record start at or after From and before Limit, or
// -1 when there is none, or when the file cannot be read (the conversion then
// meets the fault in order). The bytes looked at here are read again when
// the chunk is converted: they are read in steps growing to Longest_Step
// bytes, so that what is read twice is not much more than the distance to
// the start, at a few reads a chunk.
std::int64_t Find_Record_Start(int fd, std::int64_t from, std::int64_t limit, std::int64_t longest_step,
                               std::vector<char>& buffer) {
  constexpr std::int64_t Back = 512;  // the line before a LOCUS line, at most
  constexpr std::int64_t Ahead = 16;  // the LOCUS line's first bytes
  // Records are short as a rule: the first look is a short one.
  std::int64_t step = std::max<std::int64_t>(longest_step / 8, 1);
  for (std::int64_t at = from; at < limit; at += step, step = std::min(2 * step, longest_step)) {
    const std::int64_t first = std::max<std::int64_t>(at - Back, 0);
    const std::size_t wanted = static_cast<std::size_t>(at + step + Ahead - first);
    if (buffer.size() < wanted) buffer.resize(wanted);
    const ssize_t n = ::pread(fd, buffer.data(), wanted, first);
    if (n <= 0) return -1;
    const std::string_view text(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t start = Record_Start_In(text, static_cast<std::size_t>(from > first ? from - first : 0),
                                              static_cast<std::size_t>(std::min(at + step, limit) - first),
                                              first == 0);
    if (start != text.npos) return first + static_cast<std::int64_t>(start);
    if (static_cast<std::size_t>(n) < wanted) break;
  }
  return -1;
}

}  // namespace

Chunk_Settings Chunk_Settings_For_This_Machine() {
  Chunk_Settings settings;
  settings.workers = std::min(Usable_Cpus(), Most_Workers);
  settings.chunks_in_flight = 2 * settings.workers;
  return settings;
}

bool Worth_Cutting(int fd, const Chunk_Settings& settings) {
  struct stat st;
  if (settings.workers < 2 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const off_t offset = ::lseek(fd, 0, SEEK_CUR);
  return offset >= 0 && st.st_size - offset >= static_cast<off_t>(2 * settings.chunk_size);
}

void Read_File_In_Chunks(int fd, const std::string& name, const Chunk_Settings& settings, Reader_State& state,
                         const Run_Configuration& config, Record_Writer& writer, Output_Stream& out,
                         Output_Stream* m4_file) {
  struct stat st;
  if (::fstat(fd, &st) != 0) st.st_size = 0;
  const File file{fd, name, st.st_size, config};
  std::int64_t offset = ::lseek(fd, 0, SEEK_CUR);
  std::size_t lines = 0;

  // Converts Chunk straight to the output, from the state the run is in.
  Chunk_Reader reader(file);
  const auto convert_to_output = [&](const Chunk& chunk) {
    std::tie(lines, offset) = reader.Convert(chunk, state, writer, lines);
  };

  // The calling thread converts too: the chunk to be written next straight
  // to the output, others into memory while it waits.
  Chunk_Workers workers(file, std::max<std::size_t>(settings.workers, 1) - 1,
                        settings.chunk_size + settings.chunk_size / 4);
  Chunk_Converter converter(file);
  std::map<std::size_t, Chunk> given;  // the chunks not yet written, by number
  std::size_t next = 0, written = 0;
  // Writes chunk Written, converted by a worker, or converts it again here
  // when its conversion failed or it assumed a state that the run is not in.
  const auto write = [&] {
    Converted result = workers.Take(written);
    const Chunk chunk = std::move(given[written]);
    given.erase(written++);
    const bool alike = chunk.exact || !config.Format_Check || state.Position == Position_Type::STOP;
    if (result.failure || !alike) return convert_to_output(chunk);
    if (m4_file != nullptr) m4_file->Write(result.m4.View());
    out.Write(result.out.View());
    workers.Give_Back(result);
    state = std::move(result.state);
    lines += result.lines;
    offset = result.end_offset;
  };
  // Brings the output one chunk further, or takes a later chunk meanwhile.
  const auto step = [&] {
    if (workers.Is_Converted(written)) return write();
    std::pair<std::size_t, Chunk> job;
    if (workers.Take_Waiting(job)) {
      if (job.first != written || !settings.straight_to_output) return workers.Convert_Here(converter, job);
      given.erase(written++);
      return convert_to_output(job.second);
    }
    if (workers.Converted_Or_Nothing_To_Take(written)) write();
  };

  std::vector<char> search_buffer;
  for (std::int64_t begin = offset; begin != File_Range_Source::To_The_End;) {
    Chunk chunk;
    chunk.begin = begin;
    // Later chunks begin at a record boundary, with a LOCUS line, which
    // starts every value of a record anew; the values of the run (the
    // input's name) are those it has now.
    chunk.exact = next == 0;
    if (chunk.exact)
      chunk.state = state;
    else
      chunk.state.Components = state.Components;
    const std::int64_t chunk_size = static_cast<std::int64_t>(settings.chunk_size);
    if (file.size - begin >= 2 * chunk_size) {
      const std::int64_t longest = begin + static_cast<std::int64_t>(settings.longest_chunk);
      chunk.end = Find_Record_Start(fd, begin + chunk_size, std::min(longest, file.size),
                                    std::clamp<std::int64_t>(chunk_size / 32, 64, 32 << 10), search_buffer);
      if (chunk.end == -1) {
        // One long record: converted here as it is read, after all before
        // it, up to the first record start past the longest chunk.
        while (written < next) step();
        std::tie(lines, offset) = reader.Convert(chunk, state, writer, lines, longest);
        begin = reader.Was_Cut() ? offset : File_Range_Source::To_The_End;
        continue;
      }
    }
    begin = chunk.end;
    while (next - written >= settings.chunks_in_flight) step();
    given.emplace(next, chunk);
    workers.Submit(next++, chunk);
  }
  while (written < next) step();
  ::lseek(fd, offset, SEEK_SET);
}
