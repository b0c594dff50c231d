// One run of the converter: options, the definitions file, every input in
// command-line order, and how a failure ends the run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pipeline/chunked_reader.h"

// The descriptors a run reads and writes; main passes 0, 1 and 2.
struct Run_Streams {
  int in = 0;
  int out = 1;
  int err = 2;
};

// Runs the converter on Args (the arguments without the command name) and
// returns the exit status: 0 for a completed run, 1 for the usage text and for
// every failure. Diagnostics go to Streams.err; nothing is thrown and the
// process is not ended. Output written before a failure stays written.
// Regular files are converted in chunks on several threads as Chunks says
// (tests choose; the program takes what the machine offers), with the same
// results.
int Run_Tarvelo(std::string_view command_name, std::vector<std::string> args, const Run_Streams& streams = {},
                const Chunk_Settings& chunks = Chunk_Settings_For_This_Machine());
