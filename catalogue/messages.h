// What catalogue says and how it ends: the exit statuses, the one line every
// error leaves by, the texts a user gave as a line shows them, counts with
// their words, and standard output checked before a success.
#pragma once

#include <cstdint>
#include <string>

namespace catalogue {

// Exit status: 0 success, 1 failure, 2 usage error.
constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// "catalogue: <message>" on standard error, one line; returns status.
int report_error(int status, const std::string& message);

// A usage error: "catalogue: <what>: <reason>", status 2.
int usage_error(const std::string& what, const std::string& reason);

// one when n is 1, else many: "1 part differs", "2 parts differ".
const char* plural(uint64_t n, const char* one, const char* many);

// A text the user gave, as one line shows it: between single quotes, or
// quoted as toolkit::shown_name quotes a name when it holds a control byte.
std::string quoted(const std::string& text);

// Standard output flushed and checked: output to a pipe or file fails late,
// when the buffer is flushed, and a listing cut short must not end with
// status 0. Returns kOk, or kFailed after saying so.
int finish_stdout();

}  // namespace catalogue
