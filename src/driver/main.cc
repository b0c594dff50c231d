#include <string>
#include <vector>

#include "driver/run.h"

int main(int argc, char** argv) {
  const char* command_name = argc > 0 && argv[0] != nullptr ? argv[0] : "tarvelo";
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return Run_Tarvelo(command_name, std::move(args));
}
