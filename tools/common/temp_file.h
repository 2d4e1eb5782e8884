// A file written under a temporary name beside its final one and renamed into
// place only when complete, so that a failed or interrupted tool never leaves
// a half-written output where a build could pick it up.
#pragma once

#include <cstdio>
#include <string>

namespace art {

class TempFile {
 public:
  explicit TempFile(const std::string& final_path);
  ~TempFile();  // removes the temporary file unless committed
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::FILE* file() const { return file_; }  // null when it could not be created
  const std::string& temp_path() const { return temp_path_; }

  // Flushes, closes and renames onto the final path. On failure returns false,
  // sets error to "<final path>: <reason>" and leaves the final path untouched.
  bool commit(std::string& error);

 private:
  std::string final_path_;
  std::string temp_path_;
  std::FILE* file_ = nullptr;
};

// Writes bytes to path through a TempFile. Same error form as commit.
bool write_file_atomically(const std::string& path, const void* data, size_t size, std::string& error);

}  // namespace art
