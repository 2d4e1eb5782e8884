#include "messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shown_name.h"

namespace catalogue {

int report_error(int status, const std::string& message) {
  std::fprintf(stderr, "catalogue: %s\n", message.c_str());
  return status;
}

int usage_error(const std::string& what, const std::string& reason) { return report_error(kUsage, what + ": " + reason); }

const char* plural(uint64_t n, const char* one, const char* many) { return n == 1 ? one : many; }

std::string quoted(const std::string& text) {
  const std::string shown = toolkit::shown_name(text);
  return shown != text ? shown : "'" + text + "'";
}

int finish_stdout() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return report_error(kFailed, std::string("standard output: ") + (errno ? std::strerror(errno) : "write error"));
  return kOk;
}

}  // namespace catalogue
