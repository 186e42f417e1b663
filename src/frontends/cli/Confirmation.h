#pragma once
// Asking before a camera's memory is erased: only where a person can answer
// (standard input and standard error on a terminal); scripts proceed.

#include <iosfwd>
#include <string>

// True when the job may go ahead: `assumeYes`, no terminal to ask on, or the
// answer "y"/"yes" to `question` (asked on `err`, read from `in`).
bool Confirmed(const std::string& question, bool assumeYes, std::istream& in, std::ostream& err);
