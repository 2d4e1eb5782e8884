#include "directories.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include <cerrno>
#include <cstring>

#include "shown_name.h"

namespace toolkit {

namespace {

bool is_separator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

int make_directory(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str());
#else
  return mkdir(path.c_str(), 0777);
#endif
}

}  // namespace

bool make_directories(const std::string& path, std::string& error) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && !is_separator(path[at])) continue;
    const std::string prefix = path.substr(0, at);
#ifdef _WIN32
    if (prefix.back() == ':') continue;  // a drive, as in C:\out
#endif
    if (make_directory(prefix) != 0 && errno != EEXIST) {
      error = shown_name(prefix) + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat st;
  const int reason = stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (reason) error = shown_name(path) + ": " + std::strerror(reason);
  return reason == 0;
}

}  // namespace toolkit
