// The rules of output_file.h where the system is Windows: no links to
// follow, and no signals to clean up after. A regular file is replaced by
// a new one beside it; a device (NUL, CON) is written as it is.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "output_file.h"

namespace toolkit {

namespace {

// Puts the finished file in place of whatever had the final name. The
// Windows C runtime's rename refuses an existing target, so the system call
// that replaces it is used.
bool replace_file(const std::string& from, const std::string& to, std::string& reason) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  char text[256] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      GetLastError(), 0, text, sizeof text, nullptr);
  reason.assign(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  if (reason.empty()) reason = "cannot replace the file";
  return false;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, Dash dash) : path_(path) {
  if (dash == Dash::standard_output && path == "-") {
    path_ = "standard output";
    way_ = Way::standard_output;
    // A text stream would make every 0A byte 0D 0A. (Refused only when
    // standard output is closed, and then the first write fails.)
    _setmode(_fileno(stdout), _O_BINARY);
    fd_ = _fileno(stdout);  // negative when the process has no standard output
    if (fd_ < 0) fail(std::strerror(EBADF));
    return;
  }
  // A device such as NUL or CON is no file or folder to stat, but opens as
  // it is.
  std::string bare = path;
  while (bare.size() > 1 && (bare.back() == '/' || bare.back() == '\\')) bare.pop_back();
  struct stat st;
  const bool exists = stat(bare.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    fail(std::strerror(EISDIR));
    return;
  }
  if (!exists || !S_ISREG(st.st_mode)) {
    const int fd = _open(path.c_str(), _O_WRONLY | _O_BINARY);
    if (fd >= 0 && fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
      fd_ = fd;
      way_ = Way::stream;
      return;
    }
    if (fd >= 0) _close(fd);
  }
  // A temporary name beside the final one, created only if nothing has it
  // yet, so that nothing planted there is written through; as long as the
  // full path the final one leaves room for (MAX_PATH).
  final_path_ = path;
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = path.substr(folder.size());
  char full[MAX_PATH];
  const size_t room = _fullpath(full, path.c_str(), sizeof full) ? sizeof full - 1 - std::strlen(full) : 0;
  fd_ = create_temporary(name, std::min<size_t>(name.size() + room, 255), [&](const std::string& temp) {
    temp_path_ = folder + temp;
    return _open(temp_path_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  });
  if (fd_ >= 0) {
    way_ = Way::replacement;
    return;
  }
  temp_path_.clear();
  fail_errno();
}

OutputFile::~OutputFile() {
  if (fd_ >= 0 && way_ != Way::standard_output) _close(fd_);
  if (fd_ >= 0 && way_ == Way::replacement) std::remove(temp_path_.c_str());
}

bool OutputFile::write(const Piece* pieces, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const char* at = static_cast<const char*>(pieces[i].data);
    for (size_t left = pieces[i].size; left > 0;) {
      const int n = _write(fd_, at, static_cast<unsigned>(std::min<size_t>(left, 1u << 30)));
      if (n < 0) return fail_errno();
      at += n;
      left -= static_cast<size_t>(n);
    }
  }
  return true;
}

bool OutputFile::close_out(int fd) {
  bool ok = true;
  std::string reason;
  if (_close(fd) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (way_ == Way::replacement) {
    if (ok && !replace_file(temp_path_, final_path_, reason)) ok = false;
    if (!ok) std::remove(temp_path_.c_str());
  }
  return ok || fail(reason);
}

}  // namespace toolkit
