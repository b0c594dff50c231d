// Fuzz target: any argument list. The fuzz input is the list with each
// argument ended by a NUL byte, as a process receives it (the last one may
// lack it); empty arguments, "-", option look-alikes, long and binary values
// all occur.
//
// The run happens in a private working directory holding a.gb and d/x.y.gb,
// with a record on standard input. Names cannot leave that directory: a
// leading '/' becomes "./" and ".." becomes "__" in any argument with a '/'.
// Whatever a run created there (definitions files) is removed after it.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "driver/run.h"
#include "fuzz_support.h"

namespace {

using namespace tarvelo_fuzz;
namespace fs = std::filesystem;

constexpr std::string_view Record =
    "LOCUS       AB000001                  12 bp    DNA     linear   PLN 01-JAN-2000\n"
    "DEFINITION  Pinus 'test' (pine), clone 1.\n"
    "ACCESSION   AB000001\n"
    "SOURCE      Pinus radiata\n"
    "  ORGANISM  Pinus radiata\n"
    "            Eukaryota; Viridiplantae; Pinus.\n"
    "REFERENCE   1  (bases 1 to 12)\n"
    "  AUTHORS   Kim,A.\n"
    "  JOURNAL   Unpublished\n"
    "FEATURES             Location/Qualifiers\n"
    "                     /db_xref=\"taxon:3347\"\n"
    "                     /country=\"New Zealand\"\n"
    "ORIGIN      \n"
    "        1 acgtacgtac gt\n"
    "//\n";

struct Fixture {
  int null = Open_Null();
  int in = Make_Memfd("stdin");
  int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  fs::path dir;

  Fixture() {
    std::string pattern = (fs::temp_directory_path() / "tarvelo-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Harness_Failure("mkdtemp");
    dir = pattern;
    Fill(in, Record);
    Restore();
  }
  ~Fixture() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // Puts back the two input files and removes everything else.
  void Restore() const {
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ignored)) {
      const std::string name = entry.path().filename().string();
      if (name != "a.gb" && name != "d") fs::remove_all(entry.path(), ignored);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir / "d", ignored))
      if (entry.path().filename() != "x.y.gb") fs::remove_all(entry.path(), ignored);
    fs::create_directory(dir / "d", ignored);
    Write(dir / "a.gb");
    Write(dir / "d" / "x.y.gb");
  }

 private:
  static void Write(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Harness_Failure(path.c_str());
    if (::write(fd, Record.data(), Record.size()) != static_cast<ssize_t>(Record.size()))
      Harness_Failure("write");
    ::close(fd);
  }
};

std::string Confine(std::string arg) {
  if (arg.find('/') == std::string::npos) return arg;
  for (std::size_t at; (at = arg.find("..")) != std::string::npos;) arg.replace(at, 2, "__");
  if (arg[0] == '/') arg.insert(0, ".");
  return arg;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const Fixture fixture;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  while (!bytes.empty()) {
    const std::size_t nul = bytes.find('\0');
    args.push_back(Confine(std::string(bytes.substr(0, nul))));
    bytes.remove_prefix(nul == std::string_view::npos ? bytes.size() : nul + 1);
  }
  if (::lseek(fixture.in, 0, SEEK_SET) != 0) Harness_Failure("lseek");
  // Only the run itself sees the private directory: the fuzzer's own paths
  // are relative to where it was started.
  if (::chdir(fixture.dir.c_str()) != 0) Harness_Failure("chdir");
  const int status = Run_Tarvelo("tarvelo", std::move(args),
                                 Run_Streams{fixture.in, fixture.null, fixture.null});
  if (::fchdir(fixture.home) != 0) Harness_Failure("fchdir");
  fixture.Restore();
  if (status != 0 && status != 1) __builtin_trap();
  return 0;
}
