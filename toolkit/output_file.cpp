// What the rules of output_file.h share on every system; the system's own
// part is in output_file_posix.cpp or output_file_windows.cpp.
#include "output_file.h"

#include <cerrno>
#include <cstring>

#include "shown_name.h"

namespace toolkit {

bool OutputFile::fail(const std::string& reason) {
  const std::string shown = shown_name(path_);
  error_ = shown + ": " + reason;
  if (way_ == Way::in_place) error_ += " (" + shown + " is now incomplete)";
  return false;
}

bool OutputFile::fail_errno() { return fail(std::strerror(errno)); }

bool write_output(const std::string& path, const std::vector<Piece>& pieces, std::string& error, Dash dash) {
  OutputFile out(path, dash);
  if (!out.is_open() || !out.write(pieces.data(), pieces.size())) {
    error = out.error();
    return false;  // a temporary file goes with out
  }
  return out.commit(error);
}

}  // namespace toolkit
