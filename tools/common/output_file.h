// Where a command's output goes. Every tool that writes a file goes through
// here, so the rules are the same everywhere. They depend on what the name
// given names when the write starts:
//
//   nothing, or a regular file  written as a new file beside it (unnamed
//                               where the system can make one, else under a
//                               short random name) and put in its place
//                               when complete: a failure leaves the old file
//                               or none, never a partial one. The new file
//                               gets the old one's owner, group, permission
//                               bits, ACL and every other extended
//                               attribute, and until then is the writer's
//                               alone. A file with other hard links is
//                               replaced, not written through.
//                               Where that cannot be done (the folder is not
//                               the writer's to change, the owner or an
//                               attribute cannot be given, the file is a
//                               mount point), the file is written in place,
//                               as cp does: it keeps all it carried, and a
//                               failure midway says it is now incomplete.
//   a symbolic link             followed, through a chain too (a relative
//                               target counts from the link's folder); what
//                               it finally names is written by these rules,
//                               a file in its own folder, and the link
//                               stays. A link to nothing is refused.
//   a link the system makes in  (/dev/stdout, /dev/fd/N, a shell's process
//   /proc                       substitution) opened as the system resolves
//                               it: a pipe, a terminal or a file, written in
//                               place.
//   a device or a FIFO          written in place, in order, every write and
//                               the close checked; a block device is synced
//                               before success. Nothing is made beside it.
//   a directory                 refused: "Is a directory".
//   "-", where the caller       standard output, in binary mode.
//   takes it (Dash)
//
// An interruption (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ) removes a
// named temporary file before the process ends by the signal as it would
// have; an unnamed one goes with the process whatever ends it.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace art {

// One stretch of bytes to write.
struct Piece {
  const void* data;
  size_t size;
};

// Whether "-" names standard output (for commands that write one file) or
// is a file name like any other.
enum class Dash { file_name, standard_output };

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
  // A temporary file while it has a name: listed, for a signal to remove.
  struct NamedTemp {
    int dir = -1;
    char name[16] = {};
    NamedTemp* next = nullptr;
  };
  static NamedTemp* named_temps_;
  static void on_signal(int signal);

  bool fail(const std::string& reason);
  bool fail_errno();
  bool open_replacement(const std::string& final_path, bool existing);
  bool open_in_place(int fd);
  int create_named_temp(int mode, int unnamed_fd);
  bool carry_over(int fd) const;
  bool finish_replacement(int fd, std::string& reason);
  bool copy_in_place(int fd, std::string& reason);
  void remove_named_temp(bool renamed = false);

  std::string path_;        // as given, for messages
  std::string final_path_;  // the file a temporary one replaces, links followed
  std::string temp_path_;   // the temporary file's name (beside the final one)
  int fd_ = -1;  // where the bytes go
  bool standard_output_ = false;
  bool block_device_ = false;
  bool partial_on_failure_ = false;  // a regular file written in place
  bool existing_ = false;            // an old file is replaced
  bool unnamed_ = false;             // the temporary file has no name yet
  int dir_fd_ = -1;                  // the final file's folder
  std::string name_;                 // the final file's name in it
  unsigned long mode_ = 0;           // the old file's permission bits
  long uid_ = -1, gid_ = -1;         // its owner and group
  std::vector<std::pair<std::string, std::string>> attributes_;  // its extended attributes
  NamedTemp temp_;
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

}  // namespace art
