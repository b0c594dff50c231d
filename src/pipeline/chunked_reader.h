// Converting one regular file on several threads with the output of one.
//
// The file is cut into chunks where a record seems to begin: a LOCUS line
// right after a line that begins with "//". Worker threads convert chunks
// into memory, each as if the run stood at a record boundary when it
// begins (position STOP: the LOCUS line starts every value anew). The
// calling thread writes their output in order, after checking that the
// chunk before really ended in such a state; a chunk whose assumption does
// not hold, or whose conversion failed, is converted again on the calling
// thread from the state the run really is in, so that output, failures and
// state are those of reading the file line by line on one thread. A chunk
// too long to hold in memory (one long record) is converted on the calling
// thread too, as the file is read.
#pragma once

#include <cstddef>
#include <string>

#include "genbank/label_components.h"
#include "genbank/scanner.h"
#include "output/output_stream.h"
#include "output/record_writer.h"
#include "support/run_settings.h"

struct Chunk_Settings {
  std::size_t workers = 1;          // threads that convert chunks, the calling one included
  std::size_t chunk_size = 1 << 20;  // bytes a chunk holds at least, but the last
  // Chunks converted or waiting to be written, at most; each holds its output.
  std::size_t chunks_in_flight = 4;
  // A chunk longer than this (one long record) is converted on the calling
  // thread, as it is read, rather than held.
  std::size_t longest_chunk = 3 << 20;
  // The calling thread converts the chunk to be written next straight to
  // the output when no other thread has taken it. Off, every chunk goes
  // through memory and the check of the state it assumed, whichever thread
  // converts it: tests turn it off to meet that path on every chunk.
  bool straight_to_output = true;
};

// The settings for this machine: a worker for each processor the process
// may run on, up to a limit past which memory bandwidth, not processors,
// bounds the speed.
Chunk_Settings Chunk_Settings_For_This_Machine();

// True when there are two workers or more and Fd is a regular file with at
// least two chunks of bytes after its offset.
bool Worth_Cutting(int fd, const Chunk_Settings& settings);

// Reads the regular file on Fd from its offset to its end as Read_File would
// read it through a Line_Reader (same output on Out and M4_File, through
// Writer or as Writer would write it; the same State, label values
// included; the same failure at the same point of the output), and leaves
// the offset where reading ended. Writer writes with State's label values
// and into Out and M4_File. Name is the input's name for messages.
void Read_File_In_Chunks(int fd, const std::string& name, const Chunk_Settings& settings, Reader_State& state,
                         const Run_Configuration& config, Record_Writer& writer, Output_Stream& out,
                         Output_Stream* m4_file);
