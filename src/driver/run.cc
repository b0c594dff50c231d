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
#include "genbank/gzip_source.h"
#include "genbank/line_reader.h"
#include "genbank/scanner.h"
#include "output/output_stream.h"
#include "output/record_writer.h"
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

bool Same_File(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Creates (or empties) the definitions file. An empty name, or the name of a
// file that is also one of the inputs, is refused before anything is touched:
// the definitions would be lost, or the input emptied before it is read.
std::unique_ptr<Output_Stream> Create_Definitions_File(const std::string& name,
                                                       const std::vector<std::string>& inputs,
                                                       int standard_input) {
  if (name.empty()) throw Invalid_Filename("empty definitions file name");
  struct stat existing;
  if (::stat(name.c_str(), &existing) == 0) {
    for (const std::string& input : inputs) {
      struct stat st;
      const int found =
          input == "-" ? ::fstat(standard_input, &st) : ::stat(input.c_str(), &st);
      if (found == 0 && Same_File(existing, st))
        throw Invalid_Filename("definitions file is an input: " + name);
    }
  }
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw Invalid_Filename(name);
  return std::make_unique<Output_Stream>(fd, name);
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
  explicit Run(const Run_Streams& streams) : streams_(streams), out_(streams.out, "standard output") {
    Enlarge_Pipe(streams.out);
  }

  int Convert(std::string_view command_name, std::vector<std::string>& args) {
    Parse_Arguments(args, config_, components_);
    if (args.empty()) {
      Write_All(streams_.err, Usage_Text(command_name));
      return 1;
    }
    if (config_.M4_Mode) {
      m4_file_ = Create_Definitions_File(config_.M4_File_Name, args, streams_.in);
      config_.Taxon_Prefix = !config_.Label_List.empty() && config_.Label_List[0] == 'i';
    }
    Record_Writer writer(config_, components_, out_, m4_file_.get());
    for (const std::string& arg : args) Traverse(arg, writer);
    out_.Flush();
    if (m4_file_) m4_file_->Close();
    return 0;
  }

  // Writes everything pending, before a diagnostic; returns the failure to
  // do so, to be reported after it.
  std::optional<Failure> Flush_Pending() {
    try {
      out_.Flush();
      if (m4_file_) m4_file_->Close();
    } catch (const Failure& f) {
      return f;
    }
    return std::nullopt;
  }

 private:
  void Traverse(const std::string& arg, Record_Writer& writer) {
    if (arg == "-") {
      components_['f'] = Stdin_Name;
      Read_Input(streams_.in, "standard input", writer);
      return;
    }
    Fd_Guard fd(::open(arg.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))
      throw Invalid_Filename(arg);
    To_Lc(Textutils::Basename(arg), config_, components_['f']);
    Read_Input(fd.Get(), arg, writer);
  }

  void Read_Input(int fd, const std::string& name, Record_Writer& writer) {
    const std::function<void()> flush_output = [this] {
      out_.Flush();
      if (m4_file_) m4_file_->Flush();
    };
    const std::unique_ptr<Byte_Source> source = Open_Source(fd, name, flush_output);
    Line_Reader reader(*source, flush_output);
    Read_File(reader, state_, config_, components_, writer);
  }

  Run_Streams streams_;
  Run_Configuration config_;
  Label_Components components_;
  Reader_State state_;
  Output_Stream out_;
  std::unique_ptr<Output_Stream> m4_file_;
};

}  // namespace

int Run_Tarvelo(std::string_view command_name, std::vector<std::string> args,
                const Run_Streams& streams) {
  std::optional<Run> run;
  std::string report;
  try {
    run.emplace(streams);
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
