#include "process.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {
namespace {

// Sanitizers make every program several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 3;
#else
constexpr int kSlowdown = 1;
#endif

// Reads every descriptor to its end, whichever writes first, until the
// process behind pidfd has ended too; closes them. False when the deadline
// came first.
bool drain(std::vector<std::pair<int, std::string*>> sources, int pidfd,
           std::chrono::steady_clock::time_point deadline) {
  std::vector<pollfd> fds;
  for (const auto& s : sources) fds.push_back({s.first, POLLIN, 0});
  fds.push_back({pidfd, POLLIN, 0});
  size_t open_fds = fds.size();
  char buf[4096];
  bool in_time = true;
  while (open_fds > 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      in_time = false;
      break;
    }
    const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(left.count(), 60'000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = fds[i].fd == pidfd ? 0 : read(fds[i].fd, buf, sizeof buf);  // pidfd: the process has ended
      if (n > 0) {
        sources[i].second->append(buf, static_cast<size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  for (const pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  return in_time;
}

void remove_tree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), S_IRWXU);  // a test may have left it read-only
    for (const std::string& name : list_dir(path)) remove_tree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// In the child, on the way to exec: say which step failed, on the captured
// standard error, and give up with the shell's "could not run" status.
[[noreturn]] void child_failed(const char* step) {
  const int saved = errno;
  const char* reason = std::strerror(saved);
  const char* parts[] = {"run_process: ", step, ": ", reason, "\n"};
  for (const char* part : parts)
    if (write(2, part, std::strlen(part)) < 0) break;
  _exit(127);
}

[[noreturn]] void set_up_child(const std::vector<std::string>& argv, const ProcessOptions& options, int out_fd,
                               int err_fd, pid_t test_process) {
  setpgid(0, 0);  // a group of its own, which the deadline kills whole
  const int null_in = open("/dev/null", O_RDONLY);
  if (null_in < 0 || dup2(null_in, 0) < 0 || dup2(err_fd, 2) < 0) child_failed("standard input and error");
  switch (options.stdout_as) {
    case ProcessOptions::Output::captured:
    case ProcessOptions::Output::terminal:
      if (dup2(out_fd, 1) < 0) child_failed("standard output");
      break;
    case ProcessOptions::Output::closed:
      close(1);
      break;
    case ProcessOptions::Output::reader_gone: {
      int p[2];
      if (pipe(p) != 0 || dup2(p[1], 1) < 0) child_failed("standard output pipe");
      close(p[0]);  // the only reading end: nobody will ever read
      close(p[1]);
      break;
    }
    case ProcessOptions::Output::file: {
      const int fd = open(options.stdout_file.c_str(), O_WRONLY);
      if (fd < 0 || dup2(fd, 1) < 0) child_failed(options.stdout_file.c_str());
      break;
    }
  }
  // Nothing of the test process beyond 0, 1 and 2: a descriptor limit then
  // means what it says, and no stray copy of a pipe's end keeps it open.
  if (close_range(3, ~0U, 0) != 0)
    for (int fd = 3; fd < 1024; ++fd) close(fd);

  if (chdir(options.cwd.c_str()) != 0) child_failed("chdir");
  if (options.umask != -1) umask(static_cast<mode_t>(options.umask));

  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &dfl, nullptr);  // fails harmlessly for KILL, STOP
  struct sigaction ign = {};
  ign.sa_handler = SIG_IGN;
  for (int sig : options.ignored_signals)
    if (sigaction(sig, &ign, nullptr) != 0) child_failed("sigaction");
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  if (options.in_child && !options.in_child()) child_failed("setting up in the child");

  if (options.gid != -1) {
    if (geteuid() == 0 && setgroups(0, nullptr) != 0) child_failed("setgroups");
    if (setgid(static_cast<gid_t>(options.gid)) != 0) child_failed("setgid");
  }
  if (options.uid != -1 && setuid(static_cast<uid_t>(options.uid)) != 0) child_failed("setuid");
  // Gone with the test process, should that be killed first (a change of
  // user clears this, so it comes after).
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != test_process) _exit(127);  // it is gone already

  for (const auto& [resource, value] : options.limits) {
    const rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    if (setrlimit(resource, &limit) != 0) child_failed("setrlimit");
  }

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  child_failed(args[0]);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd) {
  ProcessOptions options;
  options.cwd = cwd;
  return run_process(argv, options);
}

namespace {

// A pseudo-terminal: {its controlling side, the terminal a process uses}.
void open_terminal(int ends[2]) {
  ends[0] = posix_openpt(O_RDWR | O_NOCTTY);
  if (ends[0] < 0 || grantpt(ends[0]) != 0 || unlockpt(ends[0]) != 0) throw std::runtime_error("no pseudo-terminal");
  const char* name = ptsname(ends[0]);
  ends[1] = name ? open(name, O_RDWR | O_NOCTTY) : -1;
  if (ends[1] < 0) throw std::runtime_error("cannot open the pseudo-terminal");
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
  const bool capture_out = options.stdout_as == ProcessOptions::Output::captured ||
                           options.stdout_as == ProcessOptions::Output::terminal;
  int out_pipe[2] = {-1, -1}, err_pipe[2];
  if (options.stdout_as == ProcessOptions::Output::terminal)
    open_terminal(out_pipe);
  else if (capture_out && pipe(out_pipe) != 0)
    throw std::runtime_error("pipe failed");
  if (pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  const std::chrono::seconds deadline = options.deadline * kSlowdown;
  const pid_t test_process = getpid();
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) set_up_child(argv, options, out_pipe[1], err_pipe[1], test_process);
  setpgid(pid, pid);  // as the child does: whichever comes first, the group exists before a kill
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));  // readable once the child has ended
  if (pidfd < 0) throw std::runtime_error("pidfd_open failed");
  ProcessResult result;
  std::vector<std::pair<int, std::string*>> sources;
  if (capture_out) {
    close(out_pipe[1]);
    sources.push_back({out_pipe[0], &result.out});
  }
  close(err_pipe[1]);
  sources.push_back({err_pipe[0], &result.err});
  if (!drain(sources, pidfd, std::chrono::steady_clock::now() + deadline)) {
    kill(-pid, SIGKILL);
    result.timed_out = true;
    std::string command;
    for (const std::string& a : argv) command += (command.empty() ? "" : " ") + a;
    ADD_FAILURE() << command << ": did not end within " << deadline.count() << " s; killed";
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

ProcessOptions in_dir(const std::string& cwd) {
  ProcessOptions options;
  options.cwd = cwd;
  options.umask = 022;
  return options;
}

bool running_as_root() { return geteuid() == 0; }

long ordinary_uid() { return running_as_root() ? 65534 : static_cast<long>(getuid()); }
long ordinary_gid() { return running_as_root() ? 65534 : static_cast<long>(getgid()); }

ProcessOptions as_ordinary_user(ProcessOptions options) {
  if (running_as_root()) {
    options.uid = ordinary_uid();
    options.gid = ordinary_gid();
  }
  return options;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/bitmaps-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() { remove_tree(path_); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
