#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
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

// A stream on an open descriptor; the descriptor is closed if none can be
// made.
std::FILE* stream_on(int fd) {
#ifdef _WIN32
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
#else
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
#endif
  return file;
}

// Creates path for writing only if nothing has that name yet, so that a
// link planted there beforehand is never written through.
std::FILE* create_new(const std::string& path, int mode) {
#ifdef _WIN32
  (void)mode;
  const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
#endif
  return fd < 0 ? nullptr : stream_on(fd);
}

#ifndef _WIN32
constexpr int kMaxLinks = 40;  // the kernel's own limit for one lookup
#endif

}  // namespace

bool OutputFile::fail(const std::string& reason) {
  error_ = path_ + ": " + reason;
  return false;
}

bool OutputFile::fail_errno() { return fail(std::strerror(errno)); }

OutputFile::OutputFile(const std::string& path, Dash dash) : path_(path) {
  if (dash == Dash::standard_output && path == "-") {
    path_ = "standard output";
    standard_output_ = true;
#ifdef _WIN32
    // A text stream would make every 0A byte 0D 0A. (Refused only when
    // standard output is closed, and then the first write fails.)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    file_ = stdout;
    return;
  }
#ifdef _WIN32
  // No links to follow. A device such as NUL or CON is no file or folder to
  // stat, but opens as it is.
  std::string bare = path;
  while (bare.size() > 1 && (bare.back() == '/' || bare.back() == '\\')) bare.pop_back();
  struct stat st;
  if (stat(bare.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      fail(std::strerror(EISDIR));
      return;
    }
    if (S_ISREG(st.st_mode)) {
      open_replacement(path, true);
      return;
    }
  }
  const int fd = _open(path.c_str(), _O_WRONLY | _O_BINARY);
  if (fd >= 0) {
    if (fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
      if (!(file_ = stream_on(fd))) fail_errno();
      return;
    }
    _close(fd);
  }
  open_replacement(path, false);
#else
  std::string current = path;
  struct stat st;
  for (int links = 0;; ++links) {
    if (lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        fail_errno();
      } else if (links > 0) {
        fail("dangling symbolic link to " + current);  // a file there would be one the user never sees
      } else {
        open_replacement(current, false);
      }
      return;
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (links == kMaxLinks) {
      fail(std::strerror(ELOOP));
      return;
    }
    char target[4096];  // longer than any link the kernel makes
    const ssize_t length = readlink(current.c_str(), target, sizeof target);
    if (length < 0) {  // replaced since the lstat
      fail_errno();
      return;
    }
    // A relative target counts from the folder the link is in.
    const size_t slash = current.rfind('/');
    const std::string folder = target[0] == '/' || slash == std::string::npos ? "" : current.substr(0, slash + 1);
    current = folder + std::string(target, static_cast<size_t>(length));
  }
  if (S_ISREG(st.st_mode)) {
    keep_owner_and_mode_ = true;
    mode_ = st.st_mode & 07777;
    uid_ = static_cast<long>(st.st_uid);
    gid_ = static_cast<long>(st.st_gid);
    open_replacement(current, true);
  } else {
    // A device or FIFO, opened as a shell's redirection opens it, but never
    // created or truncated: written in place. A directory is refused here,
    // by the system, with EISDIR.
    block_device_ = S_ISBLK(st.st_mode);
    const int fd = open(current.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !(file_ = stream_on(fd))) fail_errno();
  }
#endif
}

// The name is the final one with ".tmp<pid>"; one already taken (by a file
// left from an earlier run with the same pid, or by something planted) is
// skipped for the next, "-1", "-2", ...
bool OutputFile::open_replacement(const std::string& final_path, bool existing) {
  final_path_ = final_path;
  const std::string base = final_path + ".tmp" + std::to_string(getpid());
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    temp_path_ = attempt == 0 ? base : base + "-" + std::to_string(attempt);
    // Until it replaces an existing file, the new one is for the writer's
    // eyes only: the old one may not be readable by everyone.
    file_ = create_new(temp_path_, existing ? 0600 : 0666);
    if (!file_ && errno != EEXIST) break;
  }
  if (file_) return true;
  temp_path_.clear();
  return fail_errno();
}

OutputFile::~OutputFile() {
  if (!file_ || standard_output_) return;
  std::fclose(file_);
  if (!temp_path_.empty()) std::remove(temp_path_.c_str());
}

bool OutputFile::write(const void* data, size_t size) {
  if (size == 0 || std::fwrite(data, 1, size, file_) == size) return true;
  return fail_errno();
}

bool OutputFile::commit(std::string& error) {
  if (!file_) {
    error = error_;
    return false;
  }
  std::FILE* file = file_;
  file_ = nullptr;
  bool ok = std::fflush(file) == 0 && !std::ferror(file);
  std::string reason = ok ? "" : std::strerror(errno);
  if (standard_output_) {
    if (!ok) error = error_ = path_ + ": " + reason;
    return ok;  // standard output stays open: the caller may report on it
  }
#ifndef _WIN32
  // Written to the page cache, a block device has not yet taken the bytes:
  // an error would show only later, after success had been reported.
  if (ok && block_device_ && fsync(fileno(file)) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  // The replacement takes the old file's permission bits, and its owner and
  // group where the process may give them (root may; another user may keep
  // a group of their own). Owner first: a change of owner clears the
  // set-user-ID bit. Where the file system refuses either, the file stays
  // the writer's own and mode 600, never more open than the old one.
  if (ok && keep_owner_and_mode_) {
    const int fd = fileno(file);
    if (fchown(fd, static_cast<uid_t>(uid_), static_cast<gid_t>(gid_)) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(gid_)) != 0) {
      // not ours to give
    }
    fchmod(fd, static_cast<mode_t>(mode_));
  }
#endif
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (!temp_path_.empty()) {
    if (ok && !replace_file(temp_path_, final_path_, reason)) ok = false;
    if (!ok) std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
  if (!ok) error = error_ = path_ + ": " + reason;
  return ok;
}

bool write_output(const std::string& path, const std::vector<Piece>& pieces, std::string& error, Dash dash) {
  OutputFile out(path, dash);
  bool ok = out.file() != nullptr;
  for (size_t i = 0; ok && i < pieces.size(); ++i) ok = out.write(pieces[i].data, pieces[i].size);
  if (!ok) {
    error = out.error();
    return false;  // a temporary file goes with out
  }
  return out.commit(error);
}

bool standard_output_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(fileno(stdout)) != 0;
#endif
}

}  // namespace art
