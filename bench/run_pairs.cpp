// run_pairs: times two commands as processes, in pairs, and prints the
// median wall time of each, their ratio and the page faults per run.
//
//   run_pairs [--runs N] [--warmup N] [--dir DIR] [--kv FILE]
//             LABEL_A PROGRAM [ARGS...] -- LABEL_B PROGRAM [ARGS...]
//
// The two alternate, and the one that goes first alternates from pair to
// pair, so a busy moment of the machine or a warm cache falls on both alike.
// Wall time is taken around posix_spawn and wait4; faults, peak memory and
// CPU time come from wait4's rusage of that one process. Standard output of
// the commands goes to /dev/null. A command that fails stops the run with
// exit 1: its figures would be meaningless. It reports, it never judges.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Sample {
  double wall_us = 0;
  double cpu_us = 0;  // user + system
  double minor_faults = 0;
  double major_faults = 0;
  double max_rss_kb = 0;
};

struct Command {
  std::string label;
  std::vector<std::string> argv;
  std::vector<Sample> samples;
};

double now_us() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

double timeval_us(const timeval& t) {
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec);
}

// One run of the command; false, with a line on stderr, if it did not exit 0.
bool run_once(const Command& command, Sample& sample) {
  std::vector<char*> args;
  for (const std::string& a : command.argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

  const double start = now_us();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::fprintf(stderr, "run_pairs: %s: %s\n", args[0], std::strerror(rc));
    return false;
  }
  int status = 0;
  rusage usage{};
  pid_t done = 0;
  do {
    done = wait4(pid, &status, 0, &usage);
  } while (done < 0 && errno == EINTR);
  const double end = now_us();
  if (done != pid) {
    std::fprintf(stderr, "run_pairs: wait4: %s\n", std::strerror(errno));
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "run_pairs: %s failed (%s %d)\n", command.label.c_str(),
                 WIFEXITED(status) ? "exit status" : "signal",
                 WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    return false;
  }
  sample.wall_us = end - start;
  sample.cpu_us = timeval_us(usage.ru_utime) + timeval_us(usage.ru_stime);
  sample.minor_faults = static_cast<double>(usage.ru_minflt);
  sample.major_faults = static_cast<double>(usage.ru_majflt);
  sample.max_rss_kb = static_cast<double>(usage.ru_maxrss);
  return true;
}

// The q-quantile by linear interpolation between the nearest ranks.
double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const size_t below = static_cast<size_t>(position);
  const size_t above = std::min(below + 1, values.size() - 1);
  const double fraction = position - static_cast<double>(below);
  return values[below] + (values[above] - values[below]) * fraction;
}

std::vector<double> field(const std::vector<Sample>& samples, double Sample::*member) {
  std::vector<double> out;
  out.reserve(samples.size());
  for (const Sample& s : samples) out.push_back(s.*member);
  return out;
}

struct Summary {
  double median_us, p10_us, p90_us, min_us, cpu_us, minor_faults, minor_min, minor_max, major_faults, max_rss_kb;
};

Summary summarise(const std::vector<Sample>& samples) {
  const std::vector<double> wall = field(samples, &Sample::wall_us);
  const std::vector<double> minor = field(samples, &Sample::minor_faults);
  const std::vector<double> rss = field(samples, &Sample::max_rss_kb);
  return {quantile(wall, 0.5),
          quantile(wall, 0.1),
          quantile(wall, 0.9),
          *std::min_element(wall.begin(), wall.end()),
          quantile(field(samples, &Sample::cpu_us), 0.5),
          quantile(minor, 0.5),
          *std::min_element(minor.begin(), minor.end()),
          *std::max_element(minor.begin(), minor.end()),
          quantile(field(samples, &Sample::major_faults), 0.5),
          *std::max_element(rss.begin(), rss.end())};
}

int usage_error(const char* what) {
  std::fprintf(stderr,
               "run_pairs: %s\n"
               "usage: run_pairs [--runs N] [--warmup N] [--dir DIR] [--kv FILE]\n"
               "                 LABEL_A PROGRAM [ARGS...] -- LABEL_B PROGRAM [ARGS...]\n",
               what);
  return 2;
}

bool parse_count(const char* text, long& out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 10000000) return false;
  out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 200, warmup = 10;
  std::string dir, kv_path;
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0 && argv[i][2] != '\0'; i += 2) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return usage_error((option + " needs a value").c_str());
    const char* value = argv[i + 1];
    if (option == "--runs") {
      if (!parse_count(value, runs) || runs < 1) return usage_error("--runs must be a positive number");
    } else if (option == "--warmup") {
      if (!parse_count(value, warmup)) return usage_error("--warmup must be a number");
    } else if (option == "--dir") {
      dir = value;
    } else if (option == "--kv") {
      kv_path = value;
    } else {
      return usage_error(("unknown option " + option).c_str());
    }
  }

  Command commands[2];
  int which = 0;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      if (++which > 1) return usage_error("more than two commands");
      continue;
    }
    if (commands[which].label.empty())
      commands[which].label = argv[i];
    else
      commands[which].argv.push_back(argv[i]);
  }
  if (which != 1 || commands[0].argv.empty() || commands[1].argv.empty())
    return usage_error("two commands, each a label and a program, separated by --");

  // Both run in the same directory, so they write to the same file system.
  if (!dir.empty() && chdir(dir.c_str()) != 0) {
    std::fprintf(stderr, "run_pairs: %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }

  Sample sample;
  for (long n = 0; n < warmup; ++n)
    for (const Command& c : commands)
      if (!run_once(c, sample)) return 1;

  std::vector<double> pair_ratios;
  for (Command& c : commands) c.samples.reserve(static_cast<size_t>(runs));
  for (long n = 0; n < runs; ++n) {
    Sample pair[2];
    for (int k = 0; k < 2; ++k) {
      const int c = (n % 2 == 0) ? k : 1 - k;
      if (!run_once(commands[c], pair[c])) return 1;
    }
    for (int c = 0; c < 2; ++c) commands[c].samples.push_back(pair[c]);
    if (pair[1].wall_us > 0) pair_ratios.push_back(pair[0].wall_us / pair[1].wall_us);
  }

  const Summary a = summarise(commands[0].samples), b = summarise(commands[1].samples);
  const double ratio = b.median_us > 0 ? a.median_us / b.median_us : 0;
  const double pair_ratio = quantile(pair_ratios, 0.5);

  std::printf("%ld pairs after %ld warm-up pairs, order alternating; wall time per run in microseconds\n", runs,
              warmup);
  std::printf("%-18s %10s %10s %10s %10s %10s %14s %10s\n", "", "median", "p10", "p90", "min", "cpu", "minor faults",
              "max RSS kB");
  for (int c = 0; c < 2; ++c) {
    const Summary& s = c == 0 ? a : b;
    char faults[48];
    if (s.minor_min == s.minor_max)
      std::snprintf(faults, sizeof faults, "%.0f", s.minor_faults);
    else
      std::snprintf(faults, sizeof faults, "%.0f (%.0f-%.0f)", s.minor_faults, s.minor_min, s.minor_max);
    std::printf("%-18s %10.1f %10.1f %10.1f %10.1f %10.1f %14s %10.0f\n", commands[c].label.c_str(), s.median_us,
                s.p10_us, s.p90_us, s.min_us, s.cpu_us, faults, s.max_rss_kb);
  }
  std::printf("ratio of medians %s / %s: %.3f; median of the per-pair ratios: %.3f\n", commands[0].label.c_str(),
              commands[1].label.c_str(), ratio, pair_ratio);

  if (!kv_path.empty()) {
    std::FILE* kv = std::fopen(kv_path.c_str(), "w");
    if (!kv) {
      std::fprintf(stderr, "run_pairs: %s: %s\n", kv_path.c_str(), std::strerror(errno));
      return 1;
    }
    std::fprintf(kv, "runs=%ld\n", runs);
    for (int c = 0; c < 2; ++c) {
      const Summary& s = c == 0 ? a : b;
      const char p = c == 0 ? 'a' : 'b';
      std::fprintf(kv, "%c_median_us=%.1f\n%c_p10_us=%.1f\n%c_p90_us=%.1f\n%c_minor_faults=%.0f\n%c_max_rss_kb=%.0f\n",
                   p, s.median_us, p, s.p10_us, p, s.p90_us, p, s.minor_faults, p, s.max_rss_kb);
    }
    std::fprintf(kv, "ratio=%.3f\npair_ratio=%.3f\n", ratio, pair_ratio);
    if (std::fclose(kv) != 0) {
      std::fprintf(stderr, "run_pairs: %s: %s\n", kv_path.c_str(), std::strerror(errno));
      return 1;
    }
  }
  return 0;
}
