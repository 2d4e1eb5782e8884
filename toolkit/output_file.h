// Where a command's output goes. Every tool that writes a file goes through
// here, so the rules are the same everywhere: what happens for each kind of
// name (nothing or a regular file, replaced whole; the same written in place
// where replacing would break something; a symbolic link, a link in /proc, a
// device or FIFO, a directory, "-"), the temporary name, what an
// interruption or a SIGKILL leaves, and why a replaced file is not synced
// are the table and notes of docs/writing-files.md, which this code follows.
// Messages show the name as shown_name.h does.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace toolkit {

// One stretch of bytes to write.
struct Piece {
  const void* data;
  size_t size;
};

// Whether "-" names standard output (for commands that write one file) or
// is a file name like any other.
enum class Dash { file_name, standard_output };

// Makes the temporary file that is to take name's place in its folder, under
// a new name each time (at most longest bytes, 12 at the least): create(temp)
// makes the file of that name and returns its descriptor, or -1 with errno.
// A name already taken (EEXIST) gives way to another, 100 times at most.
// Returns what create last returned.
int create_temporary(const std::string& name, size_t longest, const std::function<int(const std::string&)>& create);

#ifndef _WIN32
// What an old file carries that the new one that replaces it is given.
struct OldFile {
  unsigned mode = 0;  // permission bits
  unsigned uid = 0, gid = 0;
  std::vector<std::pair<std::string, std::string>> attributes;  // extended attributes, its ACL among them
};

// A temporary file's name in its folder, listed while it exists for a
// signal to remove.
struct TemporaryName {
  int dir = -1;
  char name[256] = {};  // as long as names go
  TemporaryName* next = nullptr;
};
#endif

class OutputFile {
 public:
  // Opens path by the rules above; is_open() is false when that failed, and
  // error() says why.
  explicit OutputFile(const std::string& path, Dash dash = Dash::file_name);
  ~OutputFile();  // not committed: a temporary file is removed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }  // "<path>: <reason>"
  const std::string& name() const { return path_; }    // the path, or "standard output"

  // Writes the pieces in order, straight to the descriptor, with as few
  // system calls as the system allows (no stream, no copy through a buffer);
  // false with error() set when they did not all go out.
  bool write(const Piece* pieces, size_t count);

  // Syncs a block device, puts a temporary file in place with
  // what the old one carried, and closes. On failure returns false and sets
  // error to "<path>: <reason>"; a file that was to be replaced stays as it
  // was, and one written in place says "(<path> is now incomplete)".
  bool commit(std::string& error);

 private:
  // What is under way: the bytes go to standard output, to a device, FIFO
  // or pipe, to a regular file written in place, or to a new file that
  // will take the name; or nothing opened.
  enum class Way { none, standard_output, stream, block_device, in_place, replacement };

  bool fail(const std::string& reason);
  bool fail_errno();
  // The system's part of commit for a file commit has taken from fd_:
  // syncs, puts in place and closes; false after fail().
  bool close_out(int fd);
#ifdef _WIN32
  std::string final_path_;  // the file the temporary one replaces
  std::string temp_path_;   // the temporary file, beside it
#else
  bool open_name(const std::string& path);
  bool open_replacement(int old_fd);
  bool write_in_place(int fd);
  bool finish_replacement(int fd, std::string& reason);
  bool copy_in_place(int fd, std::string& reason);

  int dir_fd_ = -1;   // the final file's folder
  std::string name_;  // the final file's name in it
  int old_fd_ = -1;   // the old file, open for writing, while it may be written in place
  OldFile old_;       // what it carries, for the new file
  TemporaryName temp_;
#endif
  std::string path_;  // as given, for messages
  int fd_ = -1;       // where the bytes go
  Way way_ = Way::none;
  std::string error_;
};

// The pieces one after another, through an OutputFile. Same error form as
// OutputFile::commit.
bool write_output(const std::string& path, const std::vector<Piece>& pieces, std::string& error,
                  Dash dash = Dash::file_name);

// Whether path leads to what standard output is (/dev/stdout, or the file
// it was redirected to): a report printed there would mix with the bytes.
bool names_standard_output(const std::string& path);

// Bytes are not for a terminal: a caller refuses "-" when this is true.
bool standard_output_is_terminal();

}  // namespace toolkit
