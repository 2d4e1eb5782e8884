#include "command_line.h"

#include <getopt.h>

#include <algorithm>

#include "messages.h"
#include "numbers.h"

namespace catalogue {

bool parse_size(std::string_view text, uint64_t& size, uint64_t least) {
  constexpr uint64_t kMost = uint64_t{1} << 32;
  // Hexadecimal is bytes: "0x10K" or "0x1B" would leave the reader guessing.
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex) text.remove_prefix(2);
  uint64_t value = 0, unit = 1;
  size_t end = 0;
  if (!toolkit::leading_number(text, value, end, hex ? 16 : 10)) return false;
  const std::string_view suffix = text.substr(end);
  if (!hex && (suffix == "K" || suffix == "KiB"))
    unit = 1024;
  else if (!hex && (suffix == "M" || suffix == "MiB"))
    unit = 1024 * 1024;
  else if (!suffix.empty())
    return false;
  if (value > kMost / unit || value * unit < least) return false;
  size = value * unit;
  return true;
}

namespace {

// Characters inserted, removed or changed to make b of a.
size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j < row.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row.back();
}

}  // namespace

std::string closest_name(std::string_view text, const std::vector<std::string>& known) {
  constexpr size_t kFarthest = 2;
  std::string best;
  size_t best_distance = kFarthest + 1;
  for (const std::string& name : known)
    if (const size_t d = edit_distance(text, name); d < best_distance) {
      best = name;
      best_distance = d;
    }
  return best;
}

const char* Arguments::option(const char* name) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->first == name) return it->second.c_str();
  return nullptr;
}

namespace {

constexpr int kHelp = 'h';
constexpr int kFirstOption = 256;  // getopt_long's value for taken[i]: kFirstOption + i

// Why getopt_long refused an option, as one line: unknown, or ours without
// the value it needs or with one where it takes none.
std::string refusal(const char* word, const std::vector<OptionTaken>& taken) {
  const int known = optopt;
  if (known == kHelp) return "--help takes no value";
  if (known >= kFirstOption) {
    const OptionTaken& o = taken[static_cast<size_t>(known - kFirstOption)];
    return std::string("--") + o.name + (o.value ? " needs a value" : " takes no value");
  }
  if (known != 0) return "unknown option " + quoted(std::string("-") + static_cast<char>(known));
  // A long option the command does not take, or the start of more than one: the word
  // getopt_long has just passed.
  const std::string_view given(word);
  const std::string name(given.substr(2, given.find('=') - 2));
  std::vector<std::string> names{"help"};
  for (const OptionTaken& o : taken) names.push_back(o.name);
  std::string starting;
  for (const std::string& n : names)
    if (n.rfind(name, 0) == 0) starting += (starting.empty() ? "--" : ", --") + n;
  if (starting.find(',') != std::string::npos) return "ambiguous option " + quoted("--" + name) + ": " + starting;
  const std::string near = closest_name(name, names);
  return "unknown option " + quoted("--" + name) + (near.empty() ? "" : "; did you mean --" + near + "?");
}

}  // namespace

bool parse_arguments(const std::string& command, const std::vector<OptionTaken>& taken,
                     const std::vector<std::string>& args, Arguments& parsed) {
  std::vector<option> table;
  for (size_t i = 0; i < taken.size(); ++i)
    table.push_back({taken[i].name, taken[i].value ? required_argument : no_argument, nullptr,
                     kFirstOption + static_cast<int>(i)});
  table.push_back({"help", no_argument, nullptr, kHelp});
  table.push_back({nullptr, 0, nullptr, 0});
  // getopt_long reorders the words it is given: copies, with the command's
  // name where a program's would be.
  std::vector<std::string> words{command};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  optind = 0;  // a fresh start, in either C library
  // The leading ':' keeps getopt_long quiet: the refusal is ours, in one line.
  for (int result; (result = getopt_long(argc, argv.data(), ":h", table.data(), nullptr)) != -1;) {
    if (result == kHelp) {
      parsed.help = true;
    } else if (result >= kFirstOption) {
      parsed.options.emplace_back(taken[static_cast<size_t>(result - kFirstOption)].name, optarg ? optarg : "");
    } else {
      usage_error(command, refusal(argv[static_cast<size_t>(optind - 1)], taken) + " (see catalogue " +
                               command + " --help)");
      return false;
    }
  }
  parsed.operands.assign(argv.begin() + optind, argv.begin() + argc);
  return true;
}

}  // namespace catalogue
