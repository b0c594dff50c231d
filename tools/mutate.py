#!/usr/bin/env python3
"""Mutation testing: how many realistic one-point faults in src/ do the tests catch?

Usage:
  tools/mutate.py                 build a scratch copy, run every mutant, print the score
  tools/mutate.py --list          show the mutants and where each one applies
  tools/mutate.py --only REGEX    run the mutants whose file or description matches
  tools/mutate.py --timeout 30 --keep --cmake=-DTARVELO_GZIP=ZLIB
  tools/mutate.py --attribute     run every test on every mutant: which tests catch what

The tracked files of the tree are copied to a scratch folder, configured once
(CMake, Ninja, Release, tests on) and built once. Each mutant then replaces one
snippet of one source file, the build is brought up to date with ninja, the
tests run (the unit-test binary first, stopping at its first failure, then
every other ctest test, such as the round trips, which skip themselves when
their tool is missing), and the file is restored. A mutant is killed when a
test fails; one that hangs past the timeout counts as caught too. The score
leaves out mutants that do not build (a static_assert caught them). Mutants
run grouped by file, so a file's recompilation after its restore is shared
with the next mutant's build.

A mutant names its file by its path below src/ ("input/compressed_source.cc");
the snippet must occur exactly once in that file. Before anything is built,
every chosen mutant is checked: a file that does not exist, a snippet that is
not in it or one that occurs twice stops the run with a list of those rows
(exit status 2): update the table when code moves. Mutants in code that this
build does not compile (the zlib or the ISA-L decoder, whichever is not
chosen) survive.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# (file, original snippet, replacement, what the fault is)
MUTANTS = [
    # support: character classes (textutils.h is included everywhere: slow to rebuild)
    ("support/textutils.h", "To_Range_Set(192, 214)", "To_Range_Set(192, 213)", "letter 214 (O diaeresis) lost"),
    ("support/textutils.h", "To_Range_Set(216, 246)", "To_Range_Set(217, 246)", "letter 216 (O slash) lost"),
    ("support/textutils.h", "To_Range_Set(248, 255)", "To_Range_Set(249, 255)", "letter 248 (o slash) lost"),
    ("support/textutils.h", "To_Range_Set('a', 'z')", "To_Range_Set('a', 'y')", "letter z lost"),
    ("support/textutils.h", "To_Range_Set(127, 159)", "To_Range_Set(127, 160)", "whitespace takes 160 (no-break space)"),
    # support: string helpers
    ("support/textutils.cc", "i <= last_start; ++i", "i < last_start; ++i", "forward search misses a match at the end"),
    ("support/textutils.cc", "i = last_start + 1; i-- > 0;", "i = last_start; i-- > 0;", "backward search misses a match at the end"),
    ("support/textutils.cc", "pattern.size() > source.size()", "pattern.size() >= source.size()", "pattern as long as the source never found"),
    ("support/textutils.h", "right.Has(s[end - 1])", "left.Has(s[end - 1])", "trim uses the left set on the right"),
    ("support/textutils.cc", "if (!set.Has(c)) return false;", "if (set.Has(c)) return false;", "Is_In condition inverted"),
    ("support/textutils.cc", "out += set.Has(c) ? 0 : 1;", "out += set.Has(c) ? 1 : 0;", "Remove keeps the set instead"),
    ("support/textutils.cc", "path.rfind('/')", "path.find('/')", "base name keeps the folders after the first"),
    ("support/textutils.cc", "path.substr(slash + 1)", "path.substr(slash)", "base name keeps its slash"),
    ("support/textutils.cc", "tail.rfind('.')", "tail.find('.')", "base name cut at the first dot"),
    ("support/textutils.cc", "done += i + from.size();", "done += i + 1;", "String_Map resumes inside a replaced occurrence"),
    ("support/textutils.cc", "if (source.size() == 1) return std::string(source);", "", "String_Map with empty From changes a 1-character source"),
    # support: m4 quoting
    ("support/textutils-m4utils.cc", 'close + "\'" + open', "close + open", "apostrophe dropped inside quotes"),
    ("support/textutils-m4utils.cc", "To_Range_Set('a', 'z') | To_Set(\"_\");", "To_Range_Set('a', 'z');", "macro names may not start with _"),
    ("support/textutils-m4utils.cc", "if (name.empty() || !Macro_Start_Set", "if (name.size() < 2 || !Macro_Start_Set", "one-character macro name rejected"),
    ("support/textutils-m4utils.cc", "Macro_Start_Set | Decimal_Digit_Set;", "Letter_Set | Decimal_Digit_Set | To_Set(\"_\");", "non-ASCII letters taken in macro names"),
    ("support/textutils-m4utils.cc", '"divnum",   "dnl",', '"divnum",', "dnl missing from the builtin names"),
    ("support/textutils-m4utils.cc", '"undivert",  "unix",', '"undivert",', "unix missing from the builtin names"),
    ("support/textutils-m4utils.cc", "return std::find(Builtin_Names.begin(), Builtin_Names.end(), name) == Builtin_Names.end();", "return true;", "builtin names taken as accessions"),
    ("support/textutils-m4utils.h", "backquote = text.find('`'), done", "backquote = std::string_view::npos, done", "backquote kept in expansions"),
    ("support/phylo.h", "To_Set(\" (),;:'[]\")", "To_Set(\" (),;:[]\")", "Newick map keeps the apostrophe"),
    ("support/phylo.h", "To_Set(\" (),;:'[]\")", "To_Set(\" (),;:'\")", "Newick map keeps square brackets"),
    ("support/phylo.h", "Textutils::Decimal_Digit_Set | Textutils::To_Set(\"_\")", "Textutils::To_Set(\"_\")", "word map replaces digits"),
    # genbank: line reader and kernel
    ("genbank/line_reader.h", "line.back() == '\\r'", "line.back() == '\\n'", "carriage return not removed (Dos_Check)"),
    ("genbank/line_reader.h", "Line_Capacity = 100;", "Line_Capacity = 101;", "line capacity 101"),
    ("genbank/line_reader.h", "length + (ends_line ? 1 : 0)", "length + 1", "byte after a split long line skipped"),
    ("genbank/line_reader.h", "if (at_line_start_) ++line_number_;", "++line_number_;", "pieces of a long line counted as lines"),
    ("genbank/line_reader.cc", "n == 0 || (n == 1 && buffer_[begin_] == '\\n')", "n == 0", "final lone line feed read as an empty line"),
    ("genbank/line_reader.cc", "n >= Line_Capacity ||", "n > Line_Capacity ||", "a 100-byte line without line feed waits for more"),
    ("genbank/line_reader.cc", "(!Refill() && n > 0)", "(!Refill())", "end of input delivers an empty line"),
    ("input/byte_source.cc", "if (errno != EINTR)", "if (errno == EINTR)", "read error retried forever"),
    ("input/byte_source.cc", "|| !S_ISREG(st.st_mode)", "|| S_ISREG(st.st_mode)", "pipes taken as never blocking"),
    ("genbank/line_reader.cc", "if (before_blocking_ && source_.May_Block()) before_blocking_();", "", "no flush before a blocking read"),
    ("kernels/x86.cc", "block(i + 48) << 48) & Below(n - i)", "block(i + 32) << 48) & Below(n - i)", "SSE2 marker repeats bytes 32-47 for 48-63"),
    ("kernels/x86.cc", "Line_Feeds_Avx2(p + i + 32) << 32", "Line_Feeds_Avx2(p + i) << 32", "AVX2 marker repeats bytes 0-31"),
    ("kernels/x86.cc", "block(i, _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + i), lf));", "block(i, _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + i + 1), lf));", "AVX-512 marker one byte off"),
    ("kernels/x86.cc", "offset = _mm_add_epi32(offset, _mm_set1_epi32(Block));", "offset = _mm_add_epi32(offset, _mm_set1_epi32(Block - 1));", "AVX-512 index positions drift by a byte a block"),
    ("kernels/portable.cc", "Longest_Ordinary_Line + 1);", "Longest_Ordinary_Line);", "portable run refuses 99-character lines"),
    # genbank: record scanner
    ("genbank/scanner.cc", "Field_Width = 12;", "Field_Width = 13;", "keyword field width 13"),
    ("genbank/scanner.cc", "line.substr(Field_Width - 1)", "line.substr(Field_Width)", "taxonomy lines joined without a blank"),
    ("genbank/scanner.cc", "line.size() > Field_Width && line.starts_with", "line.size() >= Field_Width && line.starts_with", "bare LOCUS line starts a record"),
    ("genbank/scanner.cc", "if (line.size() <= Field_Width) {\n        if (line.size() >= 6", "if (line.size() < Field_Width) {\n        if (line.size() >= 6", "12-character ORIGIN line missed"),
    ("genbank/scanner.cc", "Test(TAXON_ID, line);", "Test(JOURNAL, line);", "ORIGIN tested at the wrong position"),
    ("genbank/scanner.cc", "Test(DEFINITION, line);", "Test(START, line);", "ACCESSION tested at the wrong position"),
    ("genbank/scanner.cc", "if (state_.Authors_Seen) break;", "", "second AUTHORS line taken"),
    ("genbank/scanner.cc", "state_.Journal_Seen = false;", "state_.Journal_Seen = true;", "JOURNAL of later records ignored"),
    ("genbank/scanner.cc", 'constexpr std::string_view Record_Letters = "adsotpjichl";', 'constexpr std::string_view Record_Letters = "adsotpjich";', "lat_lon carried into the next record"),
    ("genbank/scanner.cc", 'constexpr std::string_view Record_Letters = "adsotpjichl";', 'constexpr std::string_view Record_Letters = "ichl";', "a record lacking organism or accession shows the previous record's"),
    ("genbank/scanner.cc", "first == 'L' && Is_Locus_Line(line)", "false", "record without // swallows the next LOCUS"),
    ("genbank/scanner.cc", "} else if (!config_.Tab_Separated) {", "} else if (config_.Tab_Separated) {", "sequence written with -t only"),
    ("genbank/scanner.cc", "throw End_Error(input_.Name(), input_.Line_Number());", "break;", "input ending in the taxonomy accepted"),
    ("genbank/scanner.cc", "if (taxonomy.empty()) text =", "text =", "every taxonomy line trimmed"),
    ("genbank/scanner.cc", "t.resize(Textutils::Trim(t, Textutils::Null_Set, Textutils::Whitespace).size());", "", "trailing whitespace kept in the taxonomy"),
    ("genbank/scanner.cc", "t.find('\\'') != std::string::npos", "t.find('\\'') == std::string::npos", "taxonomy apostrophes doubled only when absent"),
    ("genbank/scanner.cc", 't, "\'", "\'\'", Textutils', 't, "\'", "\'", Textutils', "taxonomy apostrophe not doubled"),
    ("genbank/scanner.cc", "q.text.size() + 2", "q.text.size() + 1", "empty qualifier value accepted"),
    ("genbank/scanner.cc", "rest.size() - q.text.size() - 1", "rest.size() - q.text.size()", "closing quote kept in qualifier values"),
    ("genbank/scanner.cc", '"         /country=', '"        /country=', "country qualifier one column early"),
    ("genbank/scanner.cc", "scratch_.assign(1, 'T')", "scratch_.assign(1, 't')", "taxon prefix lower case"),
    ("genbank/line_primitives.h", "format_check && position != expected", "format_check && position == expected", "position test inverted"),
    ("genbank/line_primitives.h", "format_check && position", "!format_check && position", "format check applied under -o only"),
    ("genbank/line_primitives.h", "? Position_Type::START", "? Position_Type::DEFINITION", "after STOP comes DEFINITION"),
    ("genbank/line_primitives.cc", 'trimmed, "\'", "\'\'"', 'trimmed, "\'", "\'"', "apostrophe not doubled"),
    ("genbank/line_primitives.cc", "Textutils::Whitespace, Textutils::Whitespace", "Textutils::Whitespace, Textutils::Null_Set", "values keep trailing whitespace"),
    ("genbank/line_primitives.cc", "    Textutils::Translate_In_Place(out, config.Replacement_Map);", "", "values not translated"),
    ("genbank/line_primitives.cc", 'm += " vs. ";', 'm += " vs ";', "format error message misspelt"),
    ("input/compressed_source.cc", "stream_start_ = status == Decoder::STREAM_END;", "stream_start_ = false;", "member after the first decoded without its header check"),
    ("input/compressed_source.cc", "if (decoder_->Start_Stream(head) == Decoder::CORRUPT)", "if (false)", "trailing garbage not checked as a stream header"),
    ("input/compressed_source.cc", '} else {\n        Fail("truncated compressed data");', "} else {\n        return 0;", "truncated compressed input accepted"),
    ("input/compressed_source.cc", "input_ended_ = n == 0;", "input_ended_ = false;", "end of compressed input never noticed"),
    ("input/gzip_decoder.cc", "status == Z_OK || status == Z_BUF_ERROR", "status == Z_OK", "zlib: no progress taken as corrupt data"),
    ("input/gzip_decoder.cc", '{"incorrect data check", "checksum or length mismatch"}', '{"incorrect data check", "invalid code"}', "zlib: checksum failure misnamed"),
    ("input/compressed_source.cc", '{"\\x1f\\x8b", 2}', '{"\\x1f\\x8b", 1}', "gzip magic read one byte short"),
    ("input/compressed_source.cc", "if (before_blocking && source->May_Block()) before_blocking();", "", "no flush before opening a blocking input"),
    # output
    ("kernels/x86.cc", "_mm_set1_epi8(25)", "_mm_set1_epi8(26)", "SSSE3 filter keeps '{'"),
    ("kernels/x86.cc", "_mm_set1_epi8(static_cast<char>(192))", "_mm_set1_epi8(static_cast<char>(191))", "SSSE3 filter keeps 191"),
    ("kernels/x86.cc", "_mm_set1_epi8(static_cast<char>(215))", "_mm_set1_epi8(static_cast<char>(214))", "SSSE3 filter keeps 215, drops 214"),
    ("kernels/x86.cc", "(0xffffu << (16 - (n - i)))", "(0xffffu << (15 - (n - i)))", "SSSE3 tail repeats one byte"),
    ("kernels/x86.cc", "out + Compaction.count[lo]", "out + 8", "SSSE3 compaction leaves a gap"),
    ("kernels/x86.cc", "_mm512_set1_epi8(26)", "_mm512_set1_epi8(25)", "AVX-512 filter drops z"),
    ("kernels/x86.cc", "_mm512_set1_epi8(static_cast<char>(247))", "_mm512_set1_epi8(static_cast<char>(246))", "AVX-512 filter keeps 247, drops 246"),
    ("kernels/portable.cc", "Letter_Set[static_cast<unsigned char>(i)] ? 1 : 0", "Letter_Set[static_cast<unsigned char>(i)] ? 0 : 1", "scalar filter keeps non-letters"),
    ("output/output_stream.cc", "if (!Write_All(fd_, s)) {", "if (!Write_All(fd_, s) && false) {", "write failure ignored"),
    ("output/output_stream.cc", "if (first_ != nullptr) first_->Flush();", "", "the stream flushed first is not flushed"),
    ("output/output_stream.cc", " || (first_ != nullptr && first_->failed_)) return;", ") return;", "written on after the stream flushed first failed"),
    ("output/output_stream.cc", "  try {\n    Flush();\n  } catch", "  try {\n  } catch", "close without flush"),
    ("output/output_stream.cc", "if (::close(fd_) != 0 && errno != EINTR && !failed_) {", "if (false) {", "close failure ignored"),
    ("output/output_stream.h", "if (used_ == capacity_) Flush();", "if (used_ > capacity_) Flush();", "Put overruns a full buffer"),
    ("output/record_writer.cc", 'append("dnl\\n");', 'append("\\n");', "definition without dnl"),
    ("output/record_writer.cc", "out_.Put('>');\n    out_.Write(accession);", "out_.Write(accession);", "m4 mode drops the >"),
    ("output/record_writer.cc", "void Record_Writer::Print_Label() {\n  Check_Label_List(config_);", "void Record_Writer::Print_Label() {", "label list not checked"),
    ("output/record_writer.cc", "out_.Commit(kept + 1);", "out_.Commit(kept);", "sequence line feed dropped"),
    ("output/label.h", "if (i > 0) append(separator);", "if (i > 1) append(separator);", "separator not appended after the first component"),
    ("output/label.h", "  }\n  append(quote);\n}", "  }\n}", "closing quote missing"),
    # driver
    ("genbank/label_components.h", "c >= 'a' && c <= 'z'", "c >= 'a' && c < 'z'", "label letter z refused"),
    ("driver/run.cc", "config_.Label_List[0] == 'i'", "config_.Label_List[0] != 'i'", "taxon prefix condition inverted"),
    ("driver/run.cc", "if (found && Same_File(found, existing))", "if (input == \"-\" && Same_File(found, existing))", "definitions file may be a named input"),
    ("driver/run.cc", "if (Same_File(standard_output_, existing))", "if (false)", "definitions file may be standard output"),
    ("driver/run.cc", "if (Same_File(definitions_, input) || Same_File(standard_output_, input))", "if (Same_File(definitions_, input))", "standard output file read as an input"),
    ("driver/run.cc", "if (Same_File(definitions_, input) || Same_File(standard_output_, input))", "if (Same_File(standard_output_, input))", "new definitions file read as an input"),
    ("driver/run.cc", "out_.Flush_First(m4_file_.get());", "", "definitions not flushed before standard output"),
    ("driver/run.cc", "    out_.Flush();\n    if (arg == \"-\")", "    if (arg == \"-\")", "no flush before opening an input"),
    ("driver/run.cc", "if (flush_failure) Write_All(streams.err, Fatal_Report(*flush_failure));", "", "failure to flush at exit not reported"),
    ("driver/run.cc", "O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC", "O_WRONLY | O_CREAT | O_CLOEXEC", "definitions file not truncated"),
    ("driver/run.cc", "if (m4_file_) m4_file_->Close();\n    out_.Close();", "out_.Close();", "definitions file never closed on success"),
    ("driver/run.cc", "out_.Close();\n    return 0;", "out_.Flush();\n    return 0;", "standard output close not checked"),
    ("driver/run.cc", "flush_failure = run ? run->Flush_Pending() : std::nullopt;", "flush_failure = std::nullopt;", "output not flushed before a diagnostic"),
    ("driver/run.cc", "|| S_ISDIR(st->st_mode)", "", "directory accepted as input"),
    ("driver/run.cc", "To_Lc(Textutils::Basename(arg)", "To_Lc(std::string(arg)", "file component keeps path and extension"),
    ("driver/run.cc", "if (!f.Message().empty()) report", "report", "empty message reported with ' : '"),
    ("driver/run.cc", "Usage_Text(command_name));\n      return 1;", "Usage_Text(command_name));\n      return 0;", "usage exits with 0"),
    ("driver/options.cc", "config.Separator = ' ';", "config.Separator = '_';", "-r 5 keeps the _ separator"),
    ("driver/options.cc", "config.Replacement_Map = Phylo::Word_Map;", "config.Replacement_Map = Phylo::Nexus_Label_Map;", "-r 4 uses the NEXUS map"),
    ("driver/options.cc", "if (v.size() != 1) throw", "if (v.empty()) throw", "-s takes a longer separator"),
    ("driver/options.cc", "config.Separator = '\\t';\n        config.Replacement_Map = Textutils::Identity;", "config.Separator = '\\t';", "-t keeps the replacement"),
    ("driver/options.cc", "a.size() != 2 || a[0] != '-'", "a.size() < 2 || a[0] != '-'", "-lx read as option -l"),
    ("driver/options.cc", "Quote_Type::SINGLE", "Quote_Type::NONE", "-q removes all quotes"),
    ("driver/usage.cc", '"  -o  Turn off format checking.\\n"', '"  -o  Turn off format checking\\n"', "usage text changed"),
    ("driver/main.cc", "fd == 0 ? O_WRONLY : O_RDONLY", "fd == 0 ? O_RDONLY : O_WRONLY", "closed descriptors taken usable"),
    # compressed inputs, the sequence path and line-feed marking (added with them)
    ("input/compressed_source.cc", "if (!f.level_digit) return &f;", "return &f;", "BZh without a level digit taken for bzip2"),
    ("input/compressed_source.cc", "Sniff_Size = 6;", "Sniff_Size = 5;", "xz magic never seen whole"),
    ("input/compressed_source.cc", "if (decoder_->May_End()) return 0;", "return 0;", "BGZF file cut at a block boundary accepted"),
    ("input/compressed_source.cc", 'if (status == Decoder::CORRUPT) Fail("corrupt compressed data (" + decoder_->What() + ")");', 'if (status == Decoder::CORRUPT) Fail("truncated compressed data");', "corrupt data reported as truncated"),
    ("input/compressed_source.cc", "unit_end || io.out_size == 0 || compressed_->May_Block()", "unit_end || io.out_size == 0", "text held back while a pipe waits"),
    ("input/gzip_decoder.cc", "return !bgzf_only_ || member_text_ == 0;", "return !bgzf_only_;", "BGZF end-of-file block not required to be empty"),
    ("input/gzip_decoder.cc", "(head[3] & 0xe0) != 0", "(head[3] & 0xc0) != 0", "reserved gzip flag bit 5 accepted"),
    ("input/zstd_decoder.cc", "(head[0] & 0xf0) == 0x50", "head[0] == 0x50", "zstd skippable frames other than the first magic refused"),
    ("input/zstd_decoder.cc", "return result == 0 ? STREAM_END : OK;", "return OK;", "zstd frame end never reported"),
    ("input/bzip2_decoder.cc", "if (status == BZ_STREAM_END) return STREAM_END;", "if (status == BZ_STREAM_END) return OK;", "bzip2 stream end never reported"),
    ("input/xz_decoder.cc", "if (padding_ % 4 != 0)", "if (padding_ % 2 != 0)", "xz padding of two bytes accepted"),
    ("input/xz_decoder.cc", "head[0] == '\\0' || ", "", "xz stream padding refused"),
    ("input/byte_source.cc", "if (n == 0 && offset_ < end_", "if (false && offset_ < end_", "a file cut short while read passes"),
    ("genbank/line_reader.cc", "  next_ = 0;\n  count_ = ::Index_Line_Feeds", "  count_ = ::Index_Line_Feeds", "a new line-feed index read from the old position"),
    ("genbank/line_reader.h", "line_number_ += at_line_start_ ? line_feeds : line_feeds - 1;", "line_number_ += line_feeds;", "a run after a split line counted one line long"),
    ("genbank/line_reader.h", "next_ += line_feeds;", "next_ += line_feeds - 1;", "line feeds of a run left in the index"),
    ("genbank/scanner.cc", "input_.Skip_Lines(run.consumed, run.lines);", "input_.Skip_Lines(run.consumed, 0);", "lines taken in a run not counted"),
    ("kernels/portable.cc", "in[run.consumed] != '/' && ", "", "portable run takes a // line"),
    ("kernels/portable.cc", "j < n; ++j) {\n    out[count] = base", "j <= n; ++j) {\n    out[count] = base", "portable index finds a line feed past the end"),
    ("kernels/x86.cc", "block(i + 48) << 48) & Below(n - i)", "block(i + 48) << 48)", "SSE2 marker marks past the end"),
    ("kernels/x86.cc", "  t['L' % N] = 'L';\n", "", "x86 runs take a LOCUS line"),
    ("kernels/x86.cc", "odd |= Odd_Ssse3(v[j]) << (16 * j);", "odd |= (Odd_Ssse3(v[j]) & 0x7fff) << (16 * j);", "SSSE3 run misses '/' and 'L' at the end of a quarter block"),
    ("kernels/x86.cc", "_mm512_maskz_permutexvar_epi8(~__mmask64{0}, v, table)", "_mm512_maskz_permutexvar_epi8(~__mmask64{0} >> 1, v, table)", "AVX-512 run misses '/' and 'L' at the end of a block"),
    ("kernels/x86.cc", "odd = Odd_Avx2(v[0]) | std::uint64_t{Odd_Avx2(v[1])} << 32;", "odd = Odd_Avx2(v[0]);", "AVX2 run misses '/' and 'L' in the second half of a block"),
    ("kernels/x86.cc", "keep >> (32 * j + 16)", "keep >> (32 * j + 8)", "AVX2 run writes the wrong letters of a quarter block"),
    ("kernels/line_blocks.h", "first_line_feed - line_start_ > Longest_Ordinary_Line) return", "first_line_feed - line_start_ >= Longest_Ordinary_Line) return", "vector run refuses a 99-character line at its end"),
    ("kernels/line_blocks.h", "first_line_feed - line_start_ <= Longest_Ordinary_Line;", "first_line_feed - line_start_ < Longest_Ordinary_Line + 2;", "vector run takes a 100-character line inside a block"),
    ("kernels/line_blocks.h", "((line_feeds << 1) | (line_start_ == i ? 1 : 0)) & valid", "(line_feeds << 1) & valid", "vector run misses an odd line that begins a block"),
    ("kernels/line_blocks.h", "if (end < stop) stop = end;", "", "vector run takes the piece of a line the input ends in"),
    ("kernels/line_blocks.h", "| (line_feeds >> 63);", ";", "vector run misses an odd line that begins the second block of a pair"),
    ("kernels/line_blocks.h", "next_first_line_feed - next_line_start <= Longest_Ordinary_Line;", "next_first_line_feed - next_line_start <= Longest_Ordinary_Line + 1;", "vector run takes a 100-character line in the second block of a pair"),
    ("kernels/line_blocks.h", "written - open", "written", "letters of a given-back line kept"),
    ("output/record_writer.cc", "if (config_.Tab_Separated) return kernels_.sequence_lines(bytes.data(), bytes.size(), nullptr);", "", "-t writes the sequence of whole runs"),
    ("output/record_writer.cc", "out_.Commit(run.written);", "out_.Commit(run.consumed);", "a run writes its blanks and digits"),
    # annotation lines passed over, and the index of line-feed positions behind them
    ("genbank/line_reader.h", "if (line_feed - start >= Line_Capacity) break;", "", "a line of 100 characters or more passed over whole"),
    ("genbank/line_reader.h", "        line_number_ += k - next_;\n        next_ = k + 1;", "        line_number_ += k - next_ - 1;\n        next_ = k + 1;", "the line a pass stops at left uncounted"),
    ("genbank/line_reader.h", "next_ += whole ? 1 : 0;", "next_ += 1;", "a piece of a long line takes a line feed from the index"),
    ("genbank/line_reader.cc", "  Forget_Index();\n  if (before_blocking_", "  if (before_blocking_", "line-feed positions kept across a refill"),
    ("genbank/scanner.cc", "(state_.Authors_Seen ? 0 : AUTHORS_LINE)", "(state_.Authors_Seen ? AUTHORS_LINE : 0)", "the first AUTHORS line of a record passed over"),
    ("genbank/scanner.cc", "if (q.letter != 'i' && !Wanted(q.letter))", "if (!Wanted(q.letter))", "the taxon passed over when no label shows it"),
    ("genbank/scanner.cc", "if (q.letter != 'i' && !Wanted(q.letter))", "if (q.letter != 'i')", "a qualifier that a label shows passed over"),
    ("kernels/x86.cc", "if (found > 4) {", "if (found > 5) {", "AVX-512 index loses the fifth line feed of a block"),
    ("kernels/x86.cc", "if (found > 16) {", "if (found > 17) {", "AVX-512 index loses the seventeenth line feed of a block"),
    # input: damaged text checked when the reader refuses it, skippable frames first, memory bound, BGZF and gzip mixed
    ("input/compressed_source.cc", "if (failed_) return;", "", "a source whose read failed decodes on when checked"),
    ("input/compressed_source.cc", "if (stream_start_ && checking_) return produced;", "", "checking goes on past the current stream's end"),
    ("input/compressed_source.cc", "  } catch (...) {\n    failed_ = true;", "  } catch (...) {", "a failed read not remembered"),
    ("input/compressed_source.cc", '{"\\x50\\x2a\\x4d\\x18", 4}, 0xf0', '{"\\x50\\x2a\\x4d\\x18", 4}, 0xff', "a zstd input beginning with skippable frame 5f taken as text"),
    ("input/compressed_source.cc", "((head[0] ^ f.magic[0]) & f.first_bits) != 0", "false", "the first byte of a magic number not compared"),
    ("input/xz_decoder.cc", "lzma_stream_decoder(&state_, Memory_Limit, 0)", "lzma_stream_decoder(&state_, UINT64_MAX, 0)", "xz dictionary of any size accepted"),
    ("input/zstd_decoder.cc", "ZSTD_d_windowLogMax, 27)", "ZSTD_d_windowLogMax, 28)", "zstd window of 256 MiB accepted"),
    ("input/zstd_decoder.cc", "case ZSTD_error_frameParameter_windowTooLarge: return Too_Much_Memory;", "", "zstd window refusal in the library's words"),
    ("input/gzip_decoder.cc", "bgzf_only_ = bgzf_only_ && Is_Bgzf(head);", "bgzf_only_ = Is_Bgzf(head);", "a file ending in BGZF blocks after gzip members needs the end block"),
    ("input/gzip_decoder.cc", "return !bgzf_only_ || member_text_ == 0;", "return member_text_ == 0;", "a gzip file after BGZF blocks needs the end block"),
    ("driver/run.cc", "      source->Check_Delivered_Text();\n", "", "damaged compressed text reported as a format error"),
    ("driver/run.cc", "    } catch (const Write_Error&) {\n      throw;", "    } catch (const Write_Error&) {\n      source->Check_Delivered_Text();\n      throw;", "a failed output makes the run decode the rest of the stream"),
    # input: text in units, decoded on threads of its own
    ("input/compressed_source.cc", "const std::size_t room = std::min(io.out_size, unit_size_ - unit_text_);", "const std::size_t room = io.out_size;", "text not cut into units: what precedes a failure depends on the reader"),
    ("input/compressed_source.cc", "if (unit_end) unit_text_ = 0;", "if (stream_start_) unit_text_ = 0;", "units after the first of a stream never end"),
    ("input/compressed_source.cc", "if (threads < 2 || source->May_Block())", "if (threads < 2)", "a pipe decompressed ahead on a thread, never flushed before a read"),
    ("input/threaded_source.cc", "slot.ends_stream = inner_->Between_Streams();", "slot.ends_stream = false;", "checking goes on into the stream after the one delivered"),
    ("input/threaded_source.cc", "if (!in_hand_ && last_ended_stream_) return;", "if (!in_hand_) return;", "a unit taken whole never checked"),
    ("input/threaded_source.cc", "  if (failure_ || ended_) return;\n", "  if (ended_) return;\n", "the thread's failure checked again"),
    ("input/threaded_source.cc", "if (size == 0 || held() - end <= size) {", "if (size == 0 || held() - end < size) {", "a BGZF file cut after a block taken as whole"),
    ("input/threaded_source.cc", "if (job.clean < job.starts.size() - 1) {", "if (false) {", "a damaged BGZF block skipped"),
    ("input/threaded_source.cc", "rest.assign(front.compressed, front.starts[next_piece_]);", "", "the bytes of a damaged BGZF block lost"),
    # today's qualifier names, a run that ends inside a record, the end of input in a sequence
    ("genbank/scanner.cc", '{"         /host=\\"", \'h\'}', '{"         /host=\\"", \'c\'}', "/host read as the country"),
    ("genbank/scanner.cc", '{"         /geo_loc_name=\\"", \'c\'}', '{"         /geo_loc_nam=\\"", \'c\'}', "/geo_loc_name never read"),
    ("genbank/scanner.cc", "constexpr std::size_t Start_Bytes = 7;", "constexpr std::size_t Start_Bytes = 8;", "the fast pass compares a value byte of /host"),
    ("genbank/scanner.cc", "    state_.Record_Open = true;\n", "", "a record is never open: a cut input passes"),
    ("genbank/scanner.cc", "        state_.Record_Open = false;\n      } else if", "      } else if", "a CON record's // line leaves the record open"),
    ("genbank/scanner.cc", "for (unsigned third = 0; third < 256; ++third) mark('/'", "for (unsigned third = 0; third < 1; ++third) mark('/'", "a // line outside a sequence passed over"),
    ("genbank/line_reader.h", "(n == 1 || start[n - 2] == '\\n')) --n;", "(n == 1 || start[n - 2] == '\\n')) {}", "a final line feed written as an empty sequence line"),
    ("driver/run.cc", "if (config_.Format_Check && state_.Record_Open)", "if (state_.Record_Open)", "a cut input fails under -o"),
    ("driver/run.cc", "!S_ISREG(st->st_mode) && !S_ISFIFO(st->st_mode)", "!S_ISREG(st->st_mode)", "standard output read back when it is a pipe"),
    # the chunked conversion
    ("driver/run.cc", "if (cut && !source->Decodes() && ", "if (cut && ", "a compressed file cut into chunks as if it were text"),
    ("pipeline/chunked_reader.cc", "chunk.exact || !config.Format_Check || state.Position == Position_Type::STOP", "true", "a chunk's assumed state never checked"),
    ("pipeline/chunked_reader.cc", "if (result.failure || !alike)", "if (!alike)", "a failed chunk's output written"),
    ("pipeline/chunked_reader.cc", "lf >= line + 2 && text.compare(line, 2, \"//\") == 0", "lf >= line + 2", "a chunk cut at a LOCUS line that no // line precedes"),
    ("pipeline/chunked_reader.cc", "text[more] == '\\n' ||", "", "a chunk cut at a bare LOCUS line"),
    ("pipeline/chunked_reader.cc", "    lines += result.lines;\n", "", "line numbers of later chunks counted from the wrong line"),
    ("pipeline/chunked_reader.cc", "  ::lseek(fd, offset, SEEK_SET);\n", "", "standard input read again after a chunked conversion"),
    ("pipeline/chunked_reader.cc", "begin = reader.Was_Cut() ? offset : File_Range_Source::To_The_End;", "begin = File_Range_Source::To_The_End;", "the records after a long one lost"),
    ("pipeline/chunked_reader.cc", "      chunk.state.Components = state.Components;\n", "      ;\n", "later chunks lose the values of the run (the input's name)"),
    ("input/file_range_source.cc", "        n = static_cast<ssize_t>(at);\n", "", "a long record's reading not cut where the next chunk begins"),
    ("input/threaded_source.cc", "unit_size_ - delivered_ % unit_size_", "SIZE_MAX", "a zstd frame's text decoded side by side not cut into units"),
    ("input/threaded_source.cc", "if (window > Decoder::Memory_Limit) return 0;", "", "a zstd frame whose window is too large decoded side by side"),
    ("input/threaded_source.cc", "job.text.get() + job.text_at[next_piece_] + delivered_", "job.text.get() + delivered_", "every piece's text read from the start of its job"),
    ("input/zstd_decoder.cc", "io.out += made;\n    io.out_size -= made;\n    return STREAM_END;", "io.out += made;\n    return STREAM_END;", "a whole zstd frame's text taken for none"),
    ("input/zstd_decoder.cc", "ZSTD_inBuffer in{io.in, Block_End(io.in, io.in_size), 0};", "ZSTD_inBuffer in{io.in, io.in_size, 0};", "a zstd call goes on into the next block: where a fault falls depends on the reads"),
    ("input/zstd_decoder.cc", "result != 0 && out.pos < out.size) {", "result != 0) {", "a zstd call decodes on after the text waiting filled the room"),
    ("input/zstd_frame.h", "return 5 + (single_segment ? 0 : 1) + dictionary_bytes", "return 5 + dictionary_bytes", "a zstd frame header's window byte not counted"),
]


def run(cmd, cwd, timeout=None):
    """(exit status or None on timeout, combined output)."""
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, text=True, errors="replace")
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return None, out


def end_strays(build):
    """Ends the runs of this build's program that a timed-out test left behind."""
    program = str(build / "tarvelo")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink(f"/proc/{pid}/exe") == program:
                os.kill(int(pid), 9)
        except OSError:
            pass


def locate(tree, name, snippet):
    """The file src/NAME of TREE when it holds SNIPPET exactly once; or None and the problem."""
    path = tree / "src" / name
    if not path.is_file():
        return None, "no such file"
    count = path.read_text(errors="replace").count(snippet)
    if count != 1:
        return None, "snippet not found" if count == 0 else f"snippet found {count} times"
    return path, None


def unit_tests(build):
    """The cases of the unit-test binary, as Suite.Name."""
    _, cases = run(["./tarvelo_tests", "--gtest_list_tests"], build)
    suite, names = "", []
    for line in cases.splitlines():
        if line and not line.startswith(" "):
            suite = line.split()[0]
        elif line.strip():
            names.append(suite + line.split()[0])
    return names


def other_tests(build):
    """A ctest pattern for the tests that are not cases of the unit-test binary."""
    _, listing = run(["ctest", "-N"], build)
    known = set(unit_tests(build))
    names = re.findall(r"Test\s+#\d+: (\S+)", listing)
    rest = [n for n in names if n not in known]
    return "^(" + "|".join(re.escape(n) for n in rest) + ")$" if rest else None


def run_tests(build, timeout, others):
    """Runs the unit-test binary (quickest to fail), then the other ctest tests."""
    rc, _ = run(["./tarvelo_tests", "--gtest_fail_fast", "--gtest_brief=1"], build, timeout=timeout)
    if rc is None:
        return "timeout"
    if rc != 0 or others is None:
        return "killed" if rc != 0 else "survived"
    rc, out = run(["ctest", "-j2", "--timeout", str(timeout), "-R", others], build,
                  timeout=timeout * 4 + 60)
    if rc is None or re.search(r"\*\*\*Timeout", out):
        return "timeout"
    return "survived" if rc == 0 else "killed"


def failing_tests(build, timeout, others):
    """The names of every test that fails (or hangs) on the current build."""
    failed = set()
    for name in unit_tests(build):
        rc, _ = run(["./tarvelo_tests", "--gtest_filter=" + name], build, timeout=timeout)
        if rc != 0:
            failed.add(name)
    if others:
        _, out = run(["ctest", "-j2", "--timeout", str(timeout), "-R", others], build,
                     timeout=timeout * 4 + 60)
        failed |= set(re.findall(r"Test\s+#\d+: (\S+) \.*\**(?:Failed|Timeout|Exception)", out))
    return failed


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--list", action="store_true", help="show the mutants and stop")
    ap.add_argument("--only", metavar="REGEX", help="run mutants whose file or description matches")
    ap.add_argument("--timeout", type=int, default=30,
                    help="seconds for the unit-test binary and for each other test (default 30)")
    ap.add_argument("--cmake", action="append", default=[], metavar="ARG",
                    help="extra configure argument, e.g. --cmake=-DTARVELO_GZIP=ZLIB")
    ap.add_argument("--attribute", action="store_true",
                    help="run every test on every mutant; list the tests that catch each one, "
                         "and the mutants each test alone catches")
    ap.add_argument("--keep", action="store_true", help="keep the scratch copy")
    ap.add_argument("--source", default=Path(__file__).resolve().parent.parent, type=Path,
                    help="tree to copy (default: this script's repository)")
    args = ap.parse_args()

    chosen = [m for m in MUTANTS
              if not args.only or re.search(args.only, m[0] + " " + m[3], re.I)]
    source = args.source.resolve()
    problems = [(m, locate(source, m[0], m[1])[1]) for m in chosen]
    problems = [(m, problem) for m, problem in problems if problem]
    if args.list:
        for i, (name, old, new, what) in enumerate(chosen, 1):
            print(f"{i:3} src/{name:30} {what}")
    if problems:
        for (name, old, new, what), problem in problems:
            print(f"mutant row out of date: src/{name}: {problem}: {what} -- snippet {old!r}",
                  file=sys.stderr)
        return 2
    if args.list:
        return 0

    started = time.monotonic()
    scratch = Path(tempfile.mkdtemp(prefix="tarvelo-mutate-"))
    try:
        files = subprocess.run(["git", "ls-files", "-z"], cwd=source, check=True,
                               stdout=subprocess.PIPE).stdout.decode().split("\0")
        for f in filter(None, files):
            if (source / f).is_file():
                (scratch / f).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(source / f, scratch / f)
        build = scratch / "build"
        print(f"scratch copy in {scratch}; configuring and building ...", flush=True)
        for cmd in (["cmake", "-S", ".", "-B", "build", "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", "-DTARVELO_TESTS=ON", *args.cmake],
                    ["ninja", "-C", "build", "-j2"]):
            rc, out = run(cmd, scratch)
            if rc != 0:
                sys.exit(out + "\nthe unchanged tree does not build")
        others = other_tests(build)
        if run_tests(build, args.timeout, others) != "survived":
            sys.exit("the tests fail on the unchanged tree")
        print(f"baseline built and tested in {time.monotonic() - started:.0f} s", flush=True)

        plan, results, alone = [], [], {}
        for m in chosen:
            plan.append((scratch / "src" / m[0], m))
        plan.sort(key=lambda pm: str(pm[0]))  # one file's mutants in a row
        for n, (path, m) in enumerate(plan, 1):
            t0 = time.monotonic()
            original = path.read_text()
            path.write_text(original.replace(m[1], m[2], 1))
            try:
                rc, _ = run(["ninja", "-C", str(build), "-j2"], scratch, timeout=1200)
                if rc != 0:
                    verdict = "build failed"
                elif args.attribute:
                    catchers = failing_tests(build, args.timeout, others)
                    verdict = "killed" if catchers else "survived"
                    print(f"      caught by: {' '.join(sorted(catchers)) or '-'}", flush=True)
                    alone.setdefault(next(iter(catchers)) if len(catchers) == 1 else "", []).append(m[3])
                else:
                    verdict = run_tests(build, args.timeout, others)
            finally:
                path.write_text(original)
                end_strays(build)
            results.append((m, verdict, time.monotonic() - t0))
            rel = path.relative_to(scratch)
            print(f"[{n:3}/{len(plan)}] {verdict:12} {str(rel):32} {m[3]} "
                  f"({time.monotonic() - t0:.0f} s)", flush=True)
    finally:
        if args.keep:
            print(f"kept {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)

    count = lambda v: sum(1 for r in results if r[1] == v)
    killed, timeouts, survived, broken = (count("killed"), count("timeout"), count("survived"),
                                          count("build failed"))
    tried = killed + timeouts + survived
    print(f"\n{len(results)} mutants: {killed} killed, {timeouts} timed out (counted as caught), "
          f"{survived} survived, {broken} did not build")
    if tried:
        print(f"score: {killed + timeouts}/{tried} = {100 * (killed + timeouts) / tried:.1f}%")
    for m, verdict, _ in results:
        if verdict == "survived":
            print(f"  survived  {m[0]:22} {m[3]}")
    for test, caught in sorted(alone.items()):
        if test:
            print(f"  only {test} catches: " + "; ".join(caught))
    print(f"total time {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
