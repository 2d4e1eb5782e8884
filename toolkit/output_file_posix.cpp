// The rules of output_file.h where the system is POSIX (Linux). The system
// walks every name and says who may write; the pieces here decide only how
// the bytes go: where the name leads, the new file that replaces an old one,
// the old file written in place, and the temporary names a signal removes.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "output_file.h"
#include "shown_name.h"

namespace toolkit {

namespace {

// ---- Temporary names, and the signals that remove them.

// The signals that end a process by default and may come while a temporary
// file has a name.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

TemporaryName* named_temps = nullptr;

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

void remove_named_temps(int signal) {
  for (const TemporaryName* temp = named_temps; temp; temp = temp->next) unlinkat(temp->dir, temp->name, 0);
  end_by(signal);
}

// Removing the names on a signal, once for the process, before the first
// name exists. A signal ignored (nohup) or taken by the program stays as it
// is.
void install_cleanup() {
  static const bool installed = [] {
    for (int s : kCleanupSignals) {
      struct sigaction action;
      if (sigaction(s, nullptr, &action) != 0 || (action.sa_flags & SA_SIGINFO) || action.sa_handler != SIG_DFL)
        continue;
      action = {};
      action.sa_handler = remove_named_temps;
      sigemptyset(&action.sa_mask);
      for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
      sigaction(s, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

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

// Makes a file of the given mode in dir (fd < 0), or gives the unnamed file
// open as fd a name, under a temporary name for final_name, the name it is
// to take; listed in temp the moment it exists. Returns the file's
// descriptor, or -1 with errno.
int name_temporary(int dir, int fd, int mode, const std::string& final_name, TemporaryName& temp) {
  install_cleanup();
  struct statfs fs;
  const size_t longest =
      std::min<size_t>(fstatfs(dir, &fs) == 0 ? static_cast<size_t>(fs.f_namelen) : 255, sizeof temp.name - 1);
  return create_temporary(final_name, longest, [&](const std::string& name) {
    SignalsHeld held;
    const int named = fd >= 0 ? (linkat(AT_FDCWD, proc_path(fd).c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                                     ? fd
                                     : -1)
                              : openat(dir, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode);
    if (named >= 0) {
      temp.dir = dir;
      std::memcpy(temp.name, name.c_str(), name.size() + 1);
      temp.next = named_temps;
      named_temps = &temp;
    }
    return named;
  });
}

// The temporary name, gone from the folder (renamed: already gone), goes
// from the list.
void forget_temporary(TemporaryName& temp, bool renamed) {
  if (!temp.name[0]) return;
  SignalsHeld held;
  if (!renamed) unlinkat(temp.dir, temp.name, 0);
  TemporaryName** link = &named_temps;
  while (*link != &temp) link = &(*link)->next;
  *link = temp.next;
  temp.name[0] = '\0';
}

// ---- Where a name leads.

constexpr int kMaxLinks = 40;  // the kernel's own limit for one lookup

// The folder and the name in it that a path leads to, its links followed
// one at a time: each link's text is walked by the system from the link's
// own folder, so no path is joined and its checks apply to every step.
struct Place {
  int dir = -1;       // the folder, open as O_PATH
  std::string name;   // the last name in it
  int links = 0;      // how many links led there
  std::string shown;  // the path as the links spell it, for messages
};

// false with errno when a folder on the way cannot be reached.
bool locate(const std::string& path, Place& place) {
  std::string name = path;
  place.shown = path;
  for (int dir = AT_FDCWD;; ++place.links) {
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    place.name = name.substr(slash == std::string::npos ? 0 : slash + 1);
    place.dir = place.name.empty() ? -1 : openat(dir, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (place.name.empty()) errno = EISDIR;  // "new/": a folder that is not there
    if (dir >= 0) close(dir);
    if (place.dir < 0) return false;
    const int link = openat(place.dir, place.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    struct statfs fs;
    const bool is_link = link >= 0 && fstat(link, &st) == 0 && S_ISLNK(st.st_mode);
    // A link such as /proc/self/fd/1 names no path ("pipe:[1234]"): what it
    // stands for is reached only through it.
    const bool by_proc = is_link && fstatfs(link, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
    char target[PATH_MAX];
    const ssize_t length = is_link && !by_proc ? readlinkat(link, "", target, sizeof target) : -1;
    if (link >= 0) close(link);
    if (length < 0) return true;
    if (place.links == kMaxLinks) {
      errno = ELOOP;
      return false;
    }
    name.assign(target, static_cast<size_t>(length));
    place.shown = (target[0] == '/' ? "" : place.shown.substr(0, place.shown.rfind('/') + 1)) + name;
    dir = place.dir;
  }
}

// Whether the folder lets a name be made but never go again (append-only):
// a temporary name made there would stay.
bool keeps_names(int dir) {
  struct statx st;
  return statx(dir, "", AT_EMPTY_PATH, 0, &st) == 0 && (st.stx_attributes & STATX_ATTR_APPEND);
}

// ---- What an old file carries.

// The old file's owner, group, mode and every extended attribute; false
// when they cannot all be read.
bool read_old(int fd, OldFile& old) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  old.mode = st.st_mode & 07777;
  old.uid = st.st_uid;
  old.gid = st.st_gid;
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
    old.attributes.emplace_back(name, value);
  }
  return true;
}

// Gives the new file open as fd the old one's owner, group and attributes;
// false when any of them cannot be given.
bool carry_over(int fd, const OldFile& old) {
  if (fchown(fd, old.uid, old.gid) != 0) return false;
  static const char kAcl[] = "system.posix_acl_access";
  bool has_acl = false;
  for (const auto& [name, value] : old.attributes) {
    has_acl = has_acl || name == kAcl;
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  // The new file took the folder's default ACL, if any, when it was made;
  // the old file's mode bits alone are what it had without an ACL of its own.
  return has_acl || fgetxattr(fd, kAcl, nullptr, 0) < 0 || fremovexattr(fd, kAcl) == 0;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, Dash dash) : path_(path) {
  if (dash == Dash::standard_output && path == "-") {
    path_ = "standard output";
    way_ = Way::standard_output;
    fd_ = fileno(stdout);
    return;
  }
  open_name(path);
}

bool OutputFile::open_name(const std::string& path) {
  // The system follows the links and says whether the user may write what
  // they lead to. A FIFO waits for its reader here, as for a shell.
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT) return fail_errno();
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) return write_in_place(fd);
  Place place;
  const bool located = locate(path, place);
  const int reason = errno;
  dir_fd_ = place.dir;
  name_ = place.name;
  if (fd < 0) {
    // A file made there would be one the user never sees; a link into a
    // folder that is not there leads to nothing either.
    if (place.links > 0 && (located || reason == ENOENT))
      return fail("dangling symbolic link to " + shown_name(place.shown));
    if (!located) return fail(std::strerror(reason));
    return open_replacement(-1);
  }
  // A file reached another way than by the name (a link the system makes,
  // or one changed since), with other hard links, or in a folder that
  // keeps its names is written where it is.
  struct stat named;
  if (!located || fstatat(dir_fd_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino || st.st_nlink > 1 || keeps_names(dir_fd_))
    return write_in_place(fd);
  return open_replacement(fd);
}

// A new file in the folder that will take the name: unnamed, or under a
// temporary name, created only if nothing has it yet, so that nothing planted
// there is written through. old_fd is the old file, open for writing, or -1
// when there is none.
bool OutputFile::open_replacement(int old_fd) {
  old_fd_ = old_fd;
  // An old file whose attributes cannot be read cannot be copied.
  if (old_fd >= 0 && !read_old(old_fd, old_)) return write_in_place(old_fd);
  // Until it has what the old file carries, the new one is for the
  // writer's eyes only; a new file is made as any other.
  const int mode = old_fd >= 0 ? 0600 : 0666;
  int fd = openat(dir_fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  // Where the system has no unnamed files (EOPNOTSUPP, EISDIR, EINVAL), a
  // named one, and where it refuses one, the named one's error says why;
  // but in a folder that keeps its names, a new file is made under its own.
  if (fd < 0 && keeps_names(dir_fd_))
    return write_in_place(openat(dir_fd_, name_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (fd < 0) fd = name_temporary(dir_fd_, -1, mode, name_, temp_);
  // A folder that is not the writer's to change (EACCES), or where nothing
  // may be made (EPERM, immutable): the old file is written in place.
  if (fd < 0) return old_fd >= 0 && (errno == EACCES || errno == EPERM) ? write_in_place(old_fd) : fail_errno();
  // The owner, group and attributes go on now, while the file is empty:
  // where they cannot, the old file is written in place instead.
  if (old_fd >= 0 && !carry_over(fd, old_)) {
    close(fd);
    forget_temporary(temp_, false);
    return write_in_place(old_fd);
  }
  fd_ = fd;
  way_ = Way::replacement;
  return true;
}

// The bytes go straight to fd: a regular file from its start, cut there.
bool OutputFile::write_in_place(int fd) {
  if (fd == old_fd_) old_fd_ = -1;
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || (S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0)) {
    if (fd >= 0) close(fd);
    return fail_errno();
  }
  fd_ = fd;
  way_ = S_ISREG(st.st_mode) ? Way::in_place : S_ISBLK(st.st_mode) ? Way::block_device : Way::stream;
  return true;
}

// The temporary file, complete and open as fd, takes the old one's mode and
// its name. A new file is linked straight to its name; one that replaces a
// file is renamed over it.
bool OutputFile::finish_replacement(int fd, std::string& reason) {
  const bool existing = old_fd_ >= 0;
  // The mode set, the system clears setuid, setgid and a file capability as
  // a write to the old file would have: a change of size that changes
  // nothing.
  struct stat st;
  if (existing && (fchmod(fd, static_cast<mode_t>(old_.mode)) != 0 || fstat(fd, &st) != 0 ||
                   ftruncate(fd, st.st_size) != 0)) {
    reason = std::strerror(errno);
    return false;
  }
  if (!temp_.name[0]) {
    // A name cannot be linked over: an old file is replaced by a rename.
    // The unnamed file gets its temporary name only now, just before the
    // rename: a SIGKILL between the two calls is all that can leave it.
    if (!existing && linkat(AT_FDCWD, proc_path(fd).c_str(), dir_fd_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if ((!existing && errno != EEXIST) || name_temporary(dir_fd_, fd, 0, name_, temp_) < 0) {
      reason = std::strerror(errno);
      return false;
    }
  }
  if (renameat(dir_fd_, temp_.name, dir_fd_, name_.c_str()) == 0) {
    forget_temporary(temp_, true);
    return true;
  }
  reason = std::strerror(errno);
  // A file mounted over its name stays where it is: written in place.
  return existing && errno == EBUSY && copy_in_place(fd, reason);
}

// Copies the complete temporary file open as fd over the old one's bytes.
bool OutputFile::copy_in_place(int fd, std::string& reason) {
  way_ = Way::in_place;
  char buffer[65536];
  off_t offset = 0;
  bool ok = ftruncate(old_fd_, 0) == 0;
  for (ssize_t n = 1; ok && n > 0; offset += n) {
    n = pread(fd, buffer, sizeof buffer, offset);
    ok = n >= 0;
    for (ssize_t done = 0, written = 0; ok && done < n; done += written)
      ok = (written = ::write(old_fd_, buffer + done, static_cast<size_t>(n - done))) >= 0;
  }
  int error = ok ? 0 : errno;
  const int out = old_fd_;
  old_fd_ = -1;
  if (close(out) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) reason = std::strerror(error);
  return ok;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0 && way_ != Way::standard_output) close(fd_);
  forget_temporary(temp_, false);
  if (old_fd_ >= 0) close(old_fd_);
  if (dir_fd_ >= 0) close(dir_fd_);
}

bool OutputFile::write(const Piece* pieces, size_t count) {
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
}

bool OutputFile::close_out(int fd) {
  bool ok = true;
  std::string reason;
  // Written to the page cache, a block device has not yet taken the bytes:
  // an error would show only later, after success had been reported.
  if (way_ == Way::block_device && fsync(fd) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (way_ == Way::replacement) {
    // A network file system may report a failed write only when the file is
    // closed, and would report it after the file had taken the old one's
    // place. Every close flushes, a duplicate's too: close one first.
    const int probe = dup(fd);
    if (probe < 0 || close(probe) != 0) {
      ok = false;
      reason = std::strerror(errno);
    }
    if (ok) ok = finish_replacement(fd, reason);
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    reason = std::strerror(errno);
  }
  forget_temporary(temp_, false);
  return ok || fail(reason);
}

}  // namespace toolkit
