// Named failure kinds. Every failure that ends a run travels as one of these
// up to main, which prints its report once; nothing below main prints a
// diagnostic or exits.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

// A failure with the full name shown in the report ("TARVELO.GENBANK_FORMAT_ERROR")
// and a message (may be empty, may hold any bytes).
class Failure : public std::exception {
 public:
  Failure(std::string full_name, std::string message)
      : full_name_(std::move(full_name)), message_(std::move(message)) {}
  const std::string& Full_Name() const { return full_name_; }
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return full_name_.c_str(); }

 private:
  std::string full_name_;
  std::string message_;
};

// An input or the definitions file that cannot be opened or created. Reported
// as the single line "Invalid filename." rather than as a fatal report.
class Invalid_Filename : public Failure {
 public:
  explicit Invalid_Filename(std::string detail)
      : Failure("TARVELO.INVALID_FILENAME", std::move(detail)) {}
};

