// Where a command's output goes. Every tool that writes a file goes through
// here, so the rules are the same everywhere. They depend on what the name
// given names when the write starts:
//
//   nothing, or a regular file  written under a temporary name beside it and
//                               renamed into place when complete: a failure
//                               leaves the old file or none, never a partial
//                               one. The new file keeps the old one's
//                               permission bits, and its owner and group
//                               where the process may set them. A file with
//                               other hard links is replaced, not written
//                               through.
//   a symbolic link             followed, through a chain too (a relative
//                               target counts from the link's folder); what
//                               it finally names is written by these rules,
//                               a file in its own folder, and the link
//                               stays. A link to nothing is refused.
//   a device or a FIFO          written in place, in order, every write and
//                               the close checked; a block device is synced
//                               before success. Nothing is made beside it.
//   a directory                 refused: "Is a directory".
//   "-", where the caller       standard output, in binary mode.
//   takes it (Dash)
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace art {

// Whether "-" names standard output (for commands that write one file) or
// is a file name like any other.
enum class Dash { file_name, standard_output };

class OutputFile {
 public:
  // Opens path by the rules above; file() is null when that failed, and
  // error() says why.
  explicit OutputFile(const std::string& path, Dash dash = Dash::file_name);
  ~OutputFile();  // not committed: a temporary file is removed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* file() const { return file_; }
  const std::string& error() const { return error_; }  // "<path>: <reason>"
  const std::string& name() const { return path_; }    // the path, or "standard output"

  // Writes size bytes; false with error() set when they did not all go out.
  bool write(const void* data, size_t size);

  // Flushes, syncs a block device, closes, and puts a temporary file in
  // place. On failure returns false and sets error to "<path>: <reason>";
  // a file that was to be replaced stays as it was.
  bool commit(std::string& error);

 private:
  bool fail(const std::string& reason);
  bool fail_errno();
  bool open_replacement(const std::string& final_path, bool existing);

  std::string path_;        // as given, for messages
  std::string final_path_;  // the file a temporary one replaces, links followed
  std::string temp_path_;   // empty unless writing under a temporary name
  std::FILE* file_ = nullptr;
  bool standard_output_ = false;
  bool block_device_ = false;
  bool keep_owner_and_mode_ = false;  // an existing file is replaced
  unsigned long mode_ = 0;            // its permission bits
  long uid_ = -1, gid_ = -1;          // its owner and group
  std::string error_;
};

struct Piece {
  const void* data;
  size_t size;
};

// The pieces one after another, through an OutputFile. Same error form as
// OutputFile::commit.
bool write_output(const std::string& path, const std::vector<Piece>& pieces, std::string& error,
                  Dash dash = Dash::file_name);

// Bytes are not for a terminal: a caller refuses "-" when this is true.
bool standard_output_is_terminal();

}  // namespace art
