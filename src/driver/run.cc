#include "driver/run.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/options.h"
#include "support/run_settings.h"
#include "driver/usage.h"
#include "input/compressed_source.h"
#include "genbank/line_reader.h"
#include "genbank/scanner.h"
#include "output/output_stream.h"
#include "output/record_writer.h"
#include "pipeline/chunked_reader.h"
#include "support/failure.h"
#include "support/textutils.h"

namespace {

// Closes a descriptor when it goes out of scope.
class Fd_Guard {
 public:
  explicit Fd_Guard(int fd) : fd_(fd) {}
  ~Fd_Guard() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd_Guard(const Fd_Guard&) = delete;
  Fd_Guard& operator=(const Fd_Guard&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// The file open on Fd, if Fd is open.
std::optional<struct stat> File_Of(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return st;
}

bool Same_File(const std::optional<struct stat>& a, const struct stat& b) {
  return a && a->st_dev == b.st_dev && a->st_ino == b.st_ino;
}

// Standard output when reading it would read back what the run writes (a
// regular file, which creating it again would also damage, or a pipe, which
// the run would then wait on for ever); a terminal or /dev/null may be both.
std::optional<struct stat> Output_File(int fd) {
  std::optional<struct stat> st = File_Of(fd);
  if (st && !S_ISREG(st->st_mode) && !S_ISFIFO(st->st_mode)) st.reset();
  return st;
}

// A descriptor of the run's own for standard output, so that the run can close
// it, and see the failures that only a close shows, whoever called it.
int Own_Copy(int fd) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) throw Write_Error("standard output", errno);
  return copy;
}

// Asks for a pipe of 1 MiB on standard output when it is a pipe: with the
// usual 64 KiB, the reader of the pipe and tarvelo take turns far too often.
// A refusal (an older kernel, or a limit below 1 MiB) changes nothing.
void Enlarge_Pipe(int fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) (void)::fcntl(fd, F_SETPIPE_SZ, 1 << 20);
}

// "\nraised NAME : MESSAGE\n", or without " : MESSAGE" when there is none.
std::string Fatal_Report(const Failure& f) {
  std::string report = "\nraised " + f.Full_Name();
  if (!f.Message().empty()) report.append(" : ").append(f.Message());
  report += '\n';
  return report;
}

class Run {
 public:
  Run(const Run_Streams& streams, const Chunk_Settings& chunks)
      : streams_(streams), chunks_(chunks), out_(Own_Copy(streams.out), "standard output") {
    Enlarge_Pipe(streams.out);
  }

  int Convert(std::string_view command_name, std::vector<std::string>& args) {
    Parse_Arguments(args, config_, state_.Components);
    if (args.empty()) {
      Write_All(streams_.err, Usage_Text(command_name));
      return 1;
    }
    standard_input_ = File_Of(streams_.in);
    standard_output_ = Output_File(streams_.out);
    if (config_.M4_Mode) {
      Create_Definitions_File(args);
      config_.Taxon_Prefix = !config_.Label_List.empty() && config_.Label_List[0] == 'i';
    }
    Record_Writer writer(config_, state_.Components, out_, m4_file_.get());
    for (const std::string& arg : args) Traverse(arg, writer);
    // A record may go on from one input into the next, but not past the last:
    // an input cut short (a download that broke off) is no complete run.
    if (config_.Format_Check && state_.Record_Open)
      throw Failure("TARVELO.READ_FILE.END_ERROR", last_input_ + ": input ends inside a record");
    if (m4_file_) m4_file_->Close();
    out_.Close();
    return 0;
  }

  // Writes everything pending, before a diagnostic, and closes the outputs;
  // returns the failure to do so, to be reported after it.
  std::optional<Failure> Flush_Pending() {
    std::optional<Failure> failure;
    for (Output_Stream* stream : {m4_file_.get(), &out_}) {
      try {
        if (stream != nullptr) stream->Close();
      } catch (const Failure& f) {
        if (!failure) failure = f;
      }
    }
    return failure;
  }

 private:
  // Creates (or empties) the definitions file, which standard output flushes
  // first from then on. An empty name, or the name of an input or of standard
  // output, is refused before anything is touched: the definitions would be
  // lost, or a file emptied before it is read or mixed with the FASTA.
  void Create_Definitions_File(const std::vector<std::string>& inputs) {
    const std::string& name = config_.M4_File_Name;
    if (name.empty()) throw Invalid_Filename("empty definitions file name");
    struct stat existing;
    if (::stat(name.c_str(), &existing) == 0) {
      if (Same_File(standard_output_, existing))
        throw Invalid_Filename("definitions file is standard output: " + name);
      for (const std::string& input : inputs) {
        struct stat st;
        const std::optional<struct stat> found =
            input == "-" ? standard_input_
                         : ::stat(input.c_str(), &st) == 0 ? std::optional(st) : std::nullopt;
        if (found && Same_File(found, existing))
          throw Invalid_Filename("definitions file is an input: " + name);
      }
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw Invalid_Filename(name);
    m4_file_ = std::make_unique<Output_Stream>(fd, name);
    definitions_ = File_Of(fd);
    out_.Flush_First(m4_file_.get());
  }

  void Traverse(const std::string& arg, Record_Writer& writer) {
    // Opening an input may block (a FIFO): nothing is held back meanwhile.
    out_.Flush();
    if (arg == "-") return Read_Standard_Input(writer);
    Fd_Guard fd(::open(arg.c_str(), O_RDONLY | O_CLOEXEC));
    const std::optional<struct stat> st = File_Of(fd.Get());
    if (!st || S_ISDIR(st->st_mode)) throw Invalid_Filename(arg);
    // A name of standard input (/dev/stdin) while standard input is closed
    // reaches the stand-in that main opened; it fails as "-" does.
    if (Same_File(standard_input_, *st) &&
        (::fcntl(streams_.in, F_GETFL) & O_ACCMODE) == O_WRONLY)
      return Read_Standard_Input(writer);
    Refuse_Written_File(*st, arg);
    To_Lc(Textutils::Basename(arg), config_, state_.Components['f']);
    Read_Input(fd.Get(), arg, writer);
  }

  void Read_Standard_Input(Record_Writer& writer) {
    if (standard_input_) Refuse_Written_File(*standard_input_, "standard input");
    state_.Components['f'] = Stdin_Name;
    Read_Input(streams_.in, "standard input", writer);
  }

  // An input that this run writes would be read while it grows: the
  // definitions file, or standard output when it is a regular file.
  void Refuse_Written_File(const struct stat& input, const std::string& name) {
    if (Same_File(definitions_, input) || Same_File(standard_output_, input))
      throw Invalid_Filename("input is output: " + name);
  }

  void Read_Input(int fd, const std::string& name, Record_Writer& writer) {
    last_input_ = name;
    const std::function<void()> flush_output = [this] { out_.Flush(); };
    const bool cut = Worth_Cutting(fd, chunks_);
    const off_t start = cut ? ::lseek(fd, 0, SEEK_CUR) : 0;
    const std::unique_ptr<Byte_Source> source = Open_Source(fd, name, flush_output);
    // Plain text in a regular file of some size is converted in chunks on
    // every processor; the first bytes, read to tell the format, are read
    // again.
    if (cut && !source->Decodes() && ::lseek(fd, start, SEEK_SET) == start)
      return Read_File_In_Chunks(fd, name, chunks_, state_, config_, writer, out_, m4_file_.get());
    Line_Reader reader(*source, flush_output);
    try {
      Read_File(reader, state_, config_, writer);
    } catch (const Write_Error&) {
      throw;  // an output that fails (a closed pipe) ends the run at once
    } catch (const Failure&) {
      // Text refused while a compressed stream was read may be damaged text
      // whose checksum comes later: the damage, when the stream has one, is
      // what the run reports.
      source->Check_Delivered_Text();
      throw;
    }
  }

  Run_Streams streams_;
  Chunk_Settings chunks_;
  Run_Configuration config_;
  Reader_State state_;  // the label values included
  Output_Stream out_;
  std::unique_ptr<Output_Stream> m4_file_;
  std::string last_input_;  // the name of the input read last, for messages
  // The files that the run reads from and writes to, for telling them apart.
  std::optional<struct stat> standard_input_, standard_output_, definitions_;
};

}  // namespace

int Run_Tarvelo(std::string_view command_name, std::vector<std::string> args, const Run_Streams& streams,
                const Chunk_Settings& chunks) {
  std::optional<Run> run;
  std::string report;
  try {
    run.emplace(streams, chunks);
    return run->Convert(command_name, args);
  } catch (const Invalid_Filename&) {
    report = "Invalid filename.\n";
  } catch (const Failure& f) {
    report = Fatal_Report(f);
  } catch (const std::bad_alloc&) {
    report = Fatal_Report(Failure("TARVELO.STORAGE_ERROR", "out of memory"));
  } catch (const std::exception& e) {
    report = Fatal_Report(Failure("TARVELO.INTERNAL_ERROR", e.what()));
  }
  const std::optional<Failure> flush_failure = run ? run->Flush_Pending() : std::nullopt;
  Write_All(streams.err, report);
  if (flush_failure) Write_All(streams.err, Fatal_Report(*flush_failure));
  return 1;
}
