// Running the project's programs as processes, the way a user or a build
// runs them, and scratch directories for them to work in.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int exit_status = -1;  // exit code, or -1 when the process did not exit normally
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
};

// Runs argv[0] with the given arguments in directory cwd, standard input
// empty, and waits for it.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd = ".");

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
