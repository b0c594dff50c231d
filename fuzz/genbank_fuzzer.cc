// Fuzz target: any bytes as GenBank input, converted under an option vector
// that the fuzz input chooses.
//
// Fuzz input: an option line, a line feed, then the input bytes. The option
// line is split at blanks into words; the first byte of a word chooses what it
// adds to the arguments and the rest of the word is the option's value:
//   l<v> -l v     r<v> -r v     s<v> -s v     u<v> -u v
//   t -t          o -o          q -q          m -m <definitions memfd>
//   i  the input by name (a memfd)
//   -  "-", the input on standard input through a pipe
//   M  "-", the input on standard input as a memfd
// Other words add nothing. Without i, - or M the input is named once, last.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "fuzz_support.h"

namespace {

using namespace tarvelo_fuzz;

struct Fixture {
  int null = Open_Null();
  int input = Make_Memfd("input");
  int definitions = Make_Memfd("definitions");
  std::string input_path = Fd_Path(input);
  std::string definitions_path = Fd_Path(definitions);
};

struct Plan {
  std::vector<std::string> args;
  bool stdin_used = false;
  bool stdin_is_pipe = true;
};

Plan Make_Plan(std::string_view options, const Fixture& fixture) {
  Plan plan;
  bool input_named = false;
  auto add_value = [&plan](const char* option, std::string_view value) {
    // A value "-m" would itself be an option and make the definitions file of
    // whatever stands to its right: the run could write anywhere.
    if (value == "-m") return;
    plan.args.emplace_back(option);
    plan.args.emplace_back(value);
  };
  while (!options.empty()) {
    const std::size_t blank = options.find(' ');
    const std::string_view word = options.substr(0, blank);
    options.remove_prefix(blank == std::string_view::npos ? options.size() : blank + 1);
    if (word.empty()) continue;
    const std::string_view value = word.substr(1);
    switch (word[0]) {
      case 'l': add_value("-l", value); break;
      case 'r': add_value("-r", value); break;
      case 's': add_value("-s", value); break;
      case 'u': add_value("-u", value); break;
      case 't': plan.args.emplace_back("-t"); break;
      case 'o': plan.args.emplace_back("-o"); break;
      case 'q': plan.args.emplace_back("-q"); break;
      case 'm':
        plan.args.emplace_back("-m");
        plan.args.push_back(fixture.definitions_path);
        break;
      case 'i':
        plan.args.push_back(fixture.input_path);
        input_named = true;
        break;
      case 'M':
        plan.stdin_is_pipe = false;
        [[fallthrough]];
      case '-':
        plan.args.emplace_back("-");
        plan.stdin_used = input_named = true;
        break;
      default: break;
    }
  }
  if (!input_named) plan.args.push_back(fixture.input_path);
  return plan;
}

// A pipe holding all of Bytes with its write end closed, or -1 when Bytes do
// not fit into one.
int Filled_Pipe(std::string_view bytes) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) Harness_Failure("pipe2");
  const int capacity = ::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
  if (capacity < 0 || bytes.size() > static_cast<std::size_t>(capacity)) {
    ::close(ends[0]);
    ::close(ends[1]);
    return -1;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(ends[1], bytes.data(), bytes.size());
    if (n <= 0) Harness_Failure("write to pipe");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  ::close(ends[1]);
  return ends[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const Fixture fixture;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = bytes.find('\n');
  const std::string_view options = bytes.substr(0, line_end);
  const std::string_view input =
      line_end == std::string_view::npos ? std::string_view() : bytes.substr(line_end + 1);

  Plan plan = Make_Plan(options, fixture);
  Fill(fixture.input, input);
  int in = fixture.null;
  int pipe = -1;
  if (plan.stdin_used) {
    pipe = plan.stdin_is_pipe ? Filled_Pipe(input) : -1;
    in = pipe >= 0 ? pipe : fixture.input;
  }
  const int status = Run_Tarvelo("tarvelo", std::move(plan.args),
                                 Run_Streams{in, fixture.null, fixture.null});
  if (pipe >= 0) ::close(pipe);
  if (status != 0 && status != 1) __builtin_trap();
  return 0;
}
