// Running the project's programs as processes, the way a user or a build
// runs them, and scratch directories for them to work in.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int exit_status = -1;  // exit code, or -1 when the process did not exit normally
  int signal = 0;        // the signal that ended it; 0 when it exited
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
  bool timed_out = false;  // killed at its deadline (the test has failed, naming it)
};

// The world a process starts in, for making its writes fail the ways a real
// system makes them fail. The defaults are run_process(argv, cwd)'s.
struct ProcessOptions {
  std::string cwd = ".";

  enum class Output {
    captured,     // a pipe the test reads: ProcessResult::out
    closed,       // descriptor 1 not open at all
    reader_gone,  // a pipe whose reading end is already closed
    file,         // stdout_file, opened for writing (e.g. /dev/full)
    terminal,     // a pseudo-terminal the test reads: ProcessResult::out
  };
  Output stdout_as = Output::captured;
  std::string stdout_file;

  // setrlimit(resource, soft = hard = value), applied last before exec.
  std::vector<std::pair<int, unsigned long long>> limits;

  // Signals set to SIG_IGN; every other signal starts at its default action
  // and unblocked, whatever the test process does with them.
  std::vector<int> ignored_signals;

  // Run as this user and group (-1: unchanged). Switching needs root; the
  // supplementary groups are dropped too.
  long uid = -1, gid = -1;

  // The file mode creation mask (-1: the test process's).
  int umask = -1;

  // Runs in the child, in cwd, before the ids, limits and exec: for setting
  // up what only the child can (its own pid, its working directory gone).
  // Returning false stops the run with status 127.
  std::function<bool()> in_child;

  // How long the process may take, three times as long in a sanitizer build.
  // At the deadline it is killed with every process it started (it runs in a
  // process group of its own), and the test fails naming its command line.
  std::chrono::seconds deadline{60};
};

// The options with the process run in directory cwd, with umask 022: the
// modes of what it makes do not depend on the shell that started the tests.
ProcessOptions in_dir(const std::string& cwd);

// Runs argv[0] with the given arguments in directory cwd, standard input
// empty, and waits for it.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd = ".");
ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options);

// Whether the tests run as root, for whom permission bits do not bind.
bool running_as_root();

// The options with the process run as a user that permission bits bind:
// the nobody user (65534) when the tests run as root, else the caller.
ProcessOptions as_ordinary_user(ProcessOptions options);
long ordinary_uid();
long ordinary_gid();

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);  // whole file; empty if missing
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
std::vector<std::string> list_dir(const std::string& path);  // names, sorted, without . and ..

}  // namespace testing_support
