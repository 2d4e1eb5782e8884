// How catalogue reads its command line: GNU-style options (getopt_long)
// around each command's operands, the sizes those carry, and a near miss
// answered with one suggestion. What it says goes by messages.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace catalogue {

// A size as firmware people write it: bytes in decimal or in hexadecimal
// with 0x ("8388608", "0x800000"), or KiB or MiB with K, KiB, M or MiB
// ("8M", "8MiB"), from least bytes to 4096M, the most 32-bit offsets reach.
// False for anything else, a unit that could mean powers of ten ("8MB",
// "8k") or a unit after hexadecimal among them.
bool parse_size(std::string_view text, uint64_t& size, uint64_t least = 1);

// The one of the known names within 2 edits (a character inserted, removed
// or changed) of text, the closest, the first of equals; empty when none is.
std::string closest_name(std::string_view text, const std::vector<std::string>& known);

// An option a command takes: --NAME, with a value when value is given
// ("SIZE", as the usage line shows it), else alone.
struct OptionTaken {
  const char* name;
  const char* value = nullptr;
};

// A command's line taken apart: its operands in order, and the options given.
struct Arguments {
  std::vector<std::string> operands;
  std::vector<std::pair<std::string, std::string>> options;  // name and value ("" for one without)
  bool help = false;  // -h or --help

  // The value of the option, the last one given; null when it was not.
  const char* option(const char* name) const;
};

// Reads args, the words after the command's name, by the options' table as
// getopt_long does: --name=VALUE or --name VALUE, a unique prefix of a name,
// options before, between or after the operands, and "--" ending them; -h
// and --help for every command. False after a usage error naming the
// option, reported for command, with a pointer to its help.
bool parse_arguments(const std::string& command, const std::vector<OptionTaken>& taken,
                     const std::vector<std::string>& args, Arguments& parsed);

}  // namespace catalogue
