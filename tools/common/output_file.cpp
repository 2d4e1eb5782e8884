#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

namespace art {

namespace {

// A name for a temporary file, short so that it fits wherever the final
// name does, and random so that no earlier run, even one with the same pid,
// has used it up.
std::string temporary_name() {
  static std::random_device source;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = ".tmp";
  for (int i = 0; i < 8; ++i) name += kLetters[source() % (sizeof kLetters - 1)];
  return name;
}

#ifdef _WIN32
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
#else
constexpr int kMaxLinks = 40;  // the kernel's own limit for one lookup

// The signals that end a process by default and may come while a temporary
// file exists.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

// Holds the cleanup signals back while a temporary name comes or goes, so
// that a signal sees the list of names as it is on disk.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kCleanupSignals) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// The name under which the kernel reaches an open descriptor.
std::string proc_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Whether the link at path is one the proc file system makes (/dev/stdout
// leads to one): its text, such as "pipe:[1234]", is no path to follow, but
// opening it reaches what it stands for.
bool made_by_proc(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct statfs fs;
  return statfs(folder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// Every extended attribute of the file open as fd, the ACL among them; false
// when they cannot all be read.
bool read_attributes(int fd, std::vector<std::pair<std::string, std::string>>& attributes) {
  ssize_t size = flistxattr(fd, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;  // the file system keeps none
  std::vector<char> names(static_cast<size_t>(size));
  size = flistxattr(fd, names.data(), names.size());
  if (size < 0) return false;
  for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
    const ssize_t needed = fgetxattr(fd, name, nullptr, 0);
    if (needed < 0) return false;
    std::string value(static_cast<size_t>(needed), '\0');
    const ssize_t length = fgetxattr(fd, name, value.data(), value.size());
    if (length < 0) return false;  // grown since
    value.resize(static_cast<size_t>(length));
    attributes.emplace_back(name, value);
  }
  return true;
}

// The process ends the way it was going to, with the signal's own status.
void end_by(int signal) {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
}
#endif

}  // namespace

OutputFile::NamedTemp* OutputFile::named_temps_ = nullptr;

#ifndef _WIN32
void OutputFile::on_signal(int signal) {
  for (const NamedTemp* temp = named_temps_; temp; temp = temp->next) unlinkat(temp->dir, temp->name, 0);
  end_by(signal);
}
#endif

bool OutputFile::fail(const std::string& reason) {
  error_ = path_ + ": " + reason;
  if (partial_on_failure_) error_ += " (" + path_ + " is now incomplete)";
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
    fd_ = _fileno(stdout);  // negative when the process has no standard output
    if (fd_ < 0) fail(std::strerror(EBADF));
#else
    fd_ = fileno(stdout);
#endif
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
      fd_ = fd;
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
    if (made_by_proc(current)) {
      // Truncated as a shell's redirection would, if it is a file.
      open_in_place(open(current.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
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
    open_replacement(current, true);
  } else {
    // A device or FIFO, opened as a shell's redirection opens it, but never
    // created or truncated: written in place. A directory is refused here,
    // by the system, with EISDIR.
    open_in_place(open(current.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  }
#endif
}

#ifdef _WIN32
// A short random name beside the final one, created only if nothing has it
// yet, so that nothing planted there is written through.
bool OutputFile::open_replacement(const std::string& final_path, bool) {
  final_path_ = final_path;
  const size_t slash = final_path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : final_path.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_path_ = folder + temporary_name();
    fd_ = _open(temp_path_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ >= 0) return true;
  temp_path_.clear();
  return fail_errno();
}
#else
// The regular file, or nothing, at final_path is replaced by a new file
// made in its folder: unnamed, or under a random name, created only if
// nothing has it yet, so that nothing planted there is written through.
bool OutputFile::open_replacement(const std::string& final_path, bool existing) {
  const size_t slash = final_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : final_path.substr(0, slash);
  name_ = final_path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name_.empty()) return fail(std::strerror(EISDIR));  // "new/": a folder that is not there
  dir_fd_ = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd_ < 0) return fail_errno();
  existing_ = existing;
  if (existing) {
    // What the old file carries, read where it is; one that cannot be read
    // cannot be copied, and is written in place.
    const int old = openat(dir_fd_, name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    const bool known = old >= 0 && fstat(old, &st) == 0 && S_ISREG(st.st_mode) && read_attributes(old, attributes_);
    if (old >= 0) close(old);
    if (!known) return open_in_place(-1);
    mode_ = st.st_mode & 07777;
    uid_ = static_cast<long>(st.st_uid);
    gid_ = static_cast<long>(st.st_gid);
  }
  // Until it has what the old file carries, the new one is for the
  // writer's eyes only; a new file is made as any other.
  const int mode = existing ? 0600 : 0666;
  int fd = openat(dir_fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  unnamed_ = fd >= 0;
  // Where the system has no unnamed files (EOPNOTSUPP, EISDIR, EINVAL), a
  // named one; and where it refuses one (EPERM in a removed folder), the
  // named one's error says why.
  if (fd < 0) fd = create_named_temp(mode, -1);
  // A folder that is not the writer's to change: the file is, perhaps.
  if (fd < 0) return existing && (errno == EACCES || errno == EPERM) ? open_in_place(-1) : fail_errno();
  // The owner, group and attributes go on now, while the file is empty:
  // where they cannot, the old file is written in place instead.
  if (existing && !carry_over(fd)) {
    close(fd);
    remove_named_temp();
    return open_in_place(-1);
  }
  fd_ = fd;
  return true;
}

// Makes a file under a random name in the folder, or gives the unnamed one
// open as unnamed_fd such a name, listed for the signal handler the moment
// it exists. Returns the file's descriptor, or -1 with errno.
int OutputFile::create_named_temp(int mode, int unnamed_fd) {
  static const bool handlers_set = [] {
    for (int s : kCleanupSignals) {
      struct sigaction action;
      // A signal ignored (nohup) or taken by the program stays as it is.
      if (sigaction(s, nullptr, &action) != 0 || (action.sa_flags & SA_SIGINFO) || action.sa_handler != SIG_DFL)
        continue;
      action = {};
      action.sa_handler = on_signal;
      sigemptyset(&action.sa_mask);
      for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
      sigaction(s, &action, nullptr);
    }
    return true;
  }();
  (void)handlers_set;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = temporary_name();
    SignalsHeld held;
    const int fd = unnamed_fd >= 0
                       ? (linkat(AT_FDCWD, proc_path(unnamed_fd).c_str(), dir_fd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                              ? unnamed_fd
                              : -1)
                       : openat(dir_fd_, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) {
      temp_.dir = dir_fd_;
      std::memcpy(temp_.name, name.c_str(), name.size() + 1);
      temp_.next = named_temps_;
      named_temps_ = &temp_;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// The temporary name, gone from the folder (renamed: already gone), goes
// from the list.
void OutputFile::remove_named_temp(bool renamed) {
  if (!temp_.name[0]) return;
  SignalsHeld held;
  if (!renamed) unlinkat(dir_fd_, temp_.name, 0);
  NamedTemp** link = &named_temps_;
  while (*link != &temp_) link = &(*link)->next;
  *link = temp_.next;
  temp_.name[0] = '\0';
}

// Gives the new file open as fd the old one's owner, group and attributes;
// false when any of them cannot be given.
bool OutputFile::carry_over(int fd) const {
  if (fchown(fd, static_cast<uid_t>(uid_), static_cast<gid_t>(gid_)) != 0) return false;
  for (const auto& [name, value] : attributes_)
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  return true;
}

// Writes the old regular file itself, truncated: fd is what opening it
// gave, or -1 to open it now.
bool OutputFile::open_in_place(int fd) {
  if (fd < 0 && dir_fd_ >= 0)
    fd = openat(dir_fd_, name_.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  unnamed_ = false;
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return fail_errno();
  fd_ = fd;
  block_device_ = S_ISBLK(st.st_mode);
  partial_on_failure_ = S_ISREG(st.st_mode);
  return true;
}

// The temporary file, complete and open as fd, takes the old one's mode and
// attributes (a write clears a file capability) and its name. A new file is
// linked straight to its name; one that replaces a file is renamed over it.
bool OutputFile::finish_replacement(int fd, std::string& reason) {
  if (existing_ && (!carry_over(fd) || fchmod(fd, static_cast<mode_t>(mode_)) != 0)) {
    reason = std::strerror(errno);
    return false;
  }
  if (unnamed_) {
    // A name cannot be linked over: an old file is replaced by a rename.
    if (!existing_ && linkat(AT_FDCWD, proc_path(fd).c_str(), dir_fd_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if ((!existing_ && errno != EEXIST) || create_named_temp(0, fd) < 0) {
      reason = std::strerror(errno);
      return false;
    }
  }
  if (renameat(dir_fd_, temp_.name, dir_fd_, name_.c_str()) == 0) {
    remove_named_temp(true);
    return true;
  }
  reason = std::strerror(errno);
  // A file mounted over its name stays where it is: written in place.
  return existing_ && errno == EBUSY && copy_in_place(fd, reason);
}

// Copies the complete temporary file open as fd over the old one's bytes.
bool OutputFile::copy_in_place(int fd, std::string& reason) {
  const int out = openat(dir_fd_, name_.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (out < 0) {
    reason = std::strerror(errno);
    return false;
  }
  partial_on_failure_ = true;
  char buffer[65536];
  off_t offset = 0;
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, offset)) != 0; offset += n) {
    for (ssize_t done = 0, written = 0; n > 0 && done < n; done += written) {
      if ((written = ::write(out, buffer + done, static_cast<size_t>(n - done))) < 0) n = -1;
    }
    if (n < 0) {
      reason = std::strerror(errno);
      close(out);
      return false;
    }
  }
  if (close(out) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  return true;
}
#endif

OutputFile::~OutputFile() {
#ifdef _WIN32
  if (fd_ >= 0 && !standard_output_) _close(fd_);
  if (fd_ >= 0 && !temp_path_.empty()) std::remove(temp_path_.c_str());
#else
  if (fd_ >= 0 && !standard_output_) close(fd_);
  remove_named_temp();
  if (dir_fd_ >= 0) close(dir_fd_);
#endif
}

bool OutputFile::write(const Piece* pieces, size_t count) {
#ifdef _WIN32
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
#else
  // Pieces that follow one another in memory (the bitmaps of a run do) go
  // as one.
  std::vector<iovec> parts;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].size == 0) continue;
    void* data = const_cast<void*>(pieces[i].data);
    if (!parts.empty() && static_cast<char*>(parts.back().iov_base) + parts.back().iov_len == data)
      parts.back().iov_len += pieces[i].size;
    else
      parts.push_back({data, pieces[i].size});
  }
  // The program's own pages (6 MB of embedded pixels) are mapped from its
  // file on first touch: asked for in one call each, they cost a third of
  // what faulting them in one by one inside writev does. Only a hint: where
  // the system has no such advice, writev faults them in itself.
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  for (const iovec& part : parts) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(part.iov_base) & ~(page - 1);
    madvise(reinterpret_cast<void*>(start), reinterpret_cast<uintptr_t>(part.iov_base) + part.iov_len - start,
            MADV_POPULATE_READ);
  }
  // The system may take less than asked (at most IOV_MAX parts a call, a
  // file size limit, a full disk): the rest follows, or the error says why.
  for (size_t first = 0; first < parts.size();) {
    ssize_t n = writev(fd_, &parts[first], static_cast<int>(std::min<size_t>(parts.size() - first, IOV_MAX)));
    if (n < 0) return fail_errno();
    for (; first < parts.size() && static_cast<size_t>(n) >= parts[first].iov_len; ++first)
      n -= static_cast<ssize_t>(parts[first].iov_len);
    if (first < parts.size()) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + n;
      parts[first].iov_len -= static_cast<size_t>(n);
    }
  }
  return true;
#endif
}

bool OutputFile::commit(std::string& error) {
  if (fd_ < 0) {
    error = error_;
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (standard_output_) {
    error = error_;
    return true;  // standard output stays open: the caller may report on it
  }
  bool ok = true;
  std::string reason;
#ifdef _WIN32
  if (_close(fd) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (!temp_path_.empty()) {
    if (ok && !replace_file(temp_path_, final_path_, reason)) ok = false;
    if (!ok) std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
#else
  // Written to the page cache, a block device has not yet taken the bytes:
  // an error would show only later, after success had been reported.
  if (block_device_ && fsync(fd) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (ok && (unnamed_ || temp_.name[0])) {
    // A network file system may report a failed write only when the file is
    // closed, and would report it after the file had taken the old one's
    // place. Every close flushes, a duplicate's too: close one first.
    const int probe = dup(fd);
    if (probe < 0 || close(probe) != 0) {
      ok = false;
      reason = std::strerror(errno);
    }
  }
  if (ok && (unnamed_ || temp_.name[0])) ok = finish_replacement(fd, reason);
  if (close(fd) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  remove_named_temp();
#endif
  if (!ok) fail(reason);
  error = error_;
  return ok;
}

bool write_output(const std::string& path, const std::vector<Piece>& pieces, std::string& error, Dash dash) {
  OutputFile out(path, dash);
  if (!out.is_open() || !out.write(pieces.data(), pieces.size())) {
    error = out.error();
    return false;  // a temporary file goes with out
  }
  return out.commit(error);
}

bool names_standard_output(const std::string& path) {
  struct stat named, out;
  return stat(path.c_str(), &named) == 0 && fstat(fileno(stdout), &out) == 0 && named.st_dev == out.st_dev &&
         named.st_ino == out.st_ino;
}

bool standard_output_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(fileno(stdout)) != 0;
#endif
}

}  // namespace art
