// Random sequence sections, and the ways an input can end, for the tests of
// the sequence-line kernels and of every path that uses them.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace Test_Lines {

// Lines that end a run of ordinary sequence lines, or just do not: lines of
// 99, 100 and 101 characters (and a longer one whose second piece begins
// with a blank), a carriage return at column 99 or 100, lines that begin with
// '/' or 'L', empty lines.
inline const std::vector<std::string> Odd_Lines = {
    "//\n", "//x\n", "/\n", "LOCUS       A\n", "LOCUS\n", "L\n", "\n", "\r\n", "1 acgt\n", "\t acgt\n", "ORIGIN\n",
    " " + std::string(98, 'a') + "\n", " " + std::string(99, 'a') + "\n", " " + std::string(100, 'a') + "\n",
    " " + std::string(99, 'a') + " acgt\n",
    " " + std::string(97, 'a') + "\r\n", " " + std::string(98, 'a') + "\r\n", std::string(99, ' ') + "\n"};

// Every way a sequence section can end an input: with or without "//", with
// a final empty line, after a line of 100 characters or a longer one, without
// a final line feed, after a carriage return.
inline const std::vector<std::string> Input_Endings = {
    "", "\n", "\n\n", "\r\n", "\n\r", " ac", " ac\n", " ac\n\n", " ac\n\n\n", " ac\r\n\n",
    "//", "//\n", "//\n\n", "//\n \n", std::string(100, 'a'), std::string(100, 'a') + "\n",
    std::string(100, 'a') + "\n\n", std::string(99, 'a') + "\r\n", std::string(150, 'a') + "\n\n",
    std::string(200, 'c') + "\n", " " + std::string(98, 'a') + "\n\n"};

// Ordinary sequence lines (a blank, then up to 98 characters of every kind)
// with the odd lines mixed in.
inline std::string Sequence_Section(std::mt19937& random, std::size_t lines) {
  const std::string alphabet = "acgtnACGTN  0123456789.-*\t\r\xe9\xd7\xf7\xc0\xa0\x7f/L";
  std::string text;
  for (std::size_t k = 0; k < lines; ++k) {
    if (random() % 6 == 0) {
      text += Odd_Lines[random() % Odd_Lines.size()];
      continue;
    }
    text += ' ';
    for (std::size_t n = random() % 99; n > 0; --n) text += alphabet[random() % alphabet.size()];
    text += '\n';
  }
  return text;
}

}  // namespace Test_Lines
