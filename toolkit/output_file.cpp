// What the rules of output_file.h share on every system; the system's own
// part is in output_file_posix.cpp or output_file_windows.cpp.
#include "output_file.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "shown_name.h"

namespace toolkit {

bool OutputFile::fail(const std::string& reason) {
  const std::string shown = shown_name(path_);
  error_ = shown + ": " + reason;
  if (way_ == Way::in_place) error_ += " (" + shown + " is now incomplete)";
  return false;
}

bool OutputFile::fail_errno() { return fail(std::strerror(errno)); }

namespace {

// Hidden, saying whose it is for anyone who finds it left behind
// (".image.bin.tmpk3j9x0"), and random so that no earlier run, even one
// with the same pid, has used it up. A name too long to take the 11 bytes
// more is cut, between two characters.
std::string temporary_name(const std::string& name, size_t longest) {
  static std::random_device source;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  size_t kept = std::min(name.size(), longest - 11);
  while (kept > 0 && kept < name.size() && (static_cast<unsigned char>(name[kept]) & 0xc0) == 0x80) --kept;
  std::string temporary = "." + name.substr(0, kept) + ".tmp";
  for (int i = 0; i < 6; ++i) temporary += kLetters[source() % (sizeof kLetters - 1)];
  return temporary;
}

}  // namespace

int create_temporary(const std::string& name, size_t longest, const std::function<int(const std::string&)>& create) {
  longest = std::max<size_t>(longest, 12);
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt)
    if ((fd = create(temporary_name(name, longest))) >= 0 || errno != EEXIST) break;
  return fd;
}

bool OutputFile::commit(std::string& error) {
  if (fd_ < 0) {
    error = error_;
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  // Standard output stays open: the caller may report on it.
  const bool ok = way_ == Way::standard_output || close_out(fd);
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

}  // namespace toolkit
