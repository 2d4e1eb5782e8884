#include "temp_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace art {

namespace {

// Puts the finished file in place of whatever had the final name. POSIX
// rename does that in one step; the Windows C runtime's rename refuses an
// existing target, so there the system call that replaces it is used.
bool replace_file(const std::string& from, const std::string& to, std::string& reason) {
#ifdef _WIN32
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  char text[256] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      GetLastError(), 0, text, sizeof text, nullptr);
  reason.assign(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  if (reason.empty()) reason = "cannot replace the file";
  return false;
#else
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  reason = std::strerror(errno);
  return false;
#endif
}

// Creates path for writing only if nothing has that name yet, so that a
// link planted there beforehand is never written through. The Windows C
// runtime predates fopen's "x" mode, so there the descriptor is made first.
std::FILE* create_new(const std::string& path) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
#else
  return std::fopen(path.c_str(), "wbx");
#endif
}

}  // namespace

// The name is the final one with ".tmp<pid>"; one already taken (by a file
// left from an earlier run with the same pid, or by something planted) is
// skipped for the next, "-1", "-2", ...
TempFile::TempFile(const std::string& final_path) : final_path_(final_path) {
  const std::string base = final_path + ".tmp" + std::to_string(getpid());
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    temp_path_ = attempt == 0 ? base : base + "-" + std::to_string(attempt);
    file_ = create_new(temp_path_);
    if (!file_ && errno != EEXIST) break;
  }
}

TempFile::~TempFile() {
  if (file_) {
    std::fclose(file_);
    std::remove(temp_path_.c_str());
  }
}

bool TempFile::commit(std::string& error) {
  if (!file_) {
    error = final_path_ + ": cannot create " + temp_path_;
    return false;
  }
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  std::string reason = ok ? "" : std::strerror(errno);
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  file_ = nullptr;
  if (ok && !replace_file(temp_path_, final_path_, reason)) ok = false;
  if (!ok) {
    std::remove(temp_path_.c_str());
    error = final_path_ + ": " + reason;
  }
  return ok;
}

bool write_file_atomically(const std::string& path, const void* data, size_t size, std::string& error) {
  TempFile temp(path);
  if (!temp.file()) {
    error = path + ": cannot create " + temp.temp_path() + ": " + std::strerror(errno);
    return false;
  }
  if (size != 0 && std::fwrite(data, 1, size, temp.file()) != size) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  return temp.commit(error);
}

}  // namespace art
