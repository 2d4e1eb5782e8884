// image_export on a system that will not let it finish: every way its write
// or its report can fail ends with one perror-form line, status 1 and no
// success line; bytes already written stay, as they do for any in-place
// write.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "known_pixels.h"
#include "expect_failure.h"
#include "process.h"

namespace {

using testing_support::expect_failure;
using testing_support::list_dir;
using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::run_process;
using testing_support::TempDir;
using testing_support::write_file;

std::string line(const char* what, int error) { return std::string(what) + ": " + std::strerror(error) + "\n"; }

// The kernel writes up to the limit and refuses the rest (SIGXFSZ ignored,
// as a shell's ulimit -f leaves it for a caller that handles EFBIG): the
// file keeps exactly the bytes that fitted, the old contents none.
TEST(ImageExportFaults, AFileSizeLimitKeepsWhatFittedAndIsAWriteError) {
  for (unsigned long long limit : {0ull, 100ull, 216ull, 223ull, 224ull}) {
    TempDir dir;
    write_file(dir / "image_data.bin", std::string(1000, 'Z'));
    ProcessOptions options;
    options.cwd = dir.path();
    options.limits = {{RLIMIT_FSIZE, limit}};
    options.ignored_signals = {SIGXFSZ};
    const ProcessResult r = run_process({IMAGE_EXPORT_PATH}, options);
    const std::string shown = "limit " + std::to_string(limit);
    if (limit == 224) {  // the whole file fits: the rows above fail by the limit alone
      EXPECT_EQ(r.exit_status, 0) << shown << ": " << r.err;
      EXPECT_EQ(r.out, "File write success: 216 bytes\n");
    } else {
      expect_failure(r, line("fwrite error", EFBIG), shown);
    }
    EXPECT_EQ(read_file(dir / "image_data.bin"), testing_support::image_data_bytes().substr(0, limit)) << shown;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"image_data.bin"}) << shown;
  }
}

// Gives the directory, or a file in it, to the user the process runs as.
void give_to_ordinary_user(const std::string& path) {
  if (!testing_support::running_as_root()) return;
  ASSERT_EQ(chown(path.c_str(), static_cast<uid_t>(testing_support::ordinary_uid()),
                  static_cast<gid_t>(testing_support::ordinary_gid())),
            0)
      << path;
}

TEST(ImageExportFaults, AFileThatCannotBeOpenedIsAnOpenErrorAndTouchesNothing) {
  struct Case {
    const char* name;
    int error;
    bool ordinary_user;  // run as a user that permission bits bind
    // Prepares dir and returns what it must still hold afterwards, by name.
    std::function<std::vector<std::string>(const TempDir&)> prepare;
  };
  const Case cases[] = {
      {"a directory that is not writable", EACCES, true,
       [](const TempDir& dir) {
         chmod(dir.path().c_str(), 0555);
         return std::vector<std::string>{};
       }},
      {"an existing file that is read-only", EACCES, true,
       [](const TempDir& dir) {
         write_file(dir / "image_data.bin", "old contents\n");
         give_to_ordinary_user(dir.path());
         give_to_ordinary_user(dir / "image_data.bin");
         chmod((dir / "image_data.bin").c_str(), 0444);
         return std::vector<std::string>{"image_data.bin"};
       }},
      {"a link to itself", ELOOP, false,
       [](const TempDir& dir) {
         symlink("image_data.bin", (dir / "image_data.bin").c_str());
         return std::vector<std::string>{"image_data.bin"};
       }},
      {"a link through a regular file", ENOTDIR, false,
       [](const TempDir& dir) {
         write_file(dir / "plain", "old contents\n");
         symlink("plain/image_data.bin", (dir / "image_data.bin").c_str());
         return std::vector<std::string>{"image_data.bin", "plain"};
       }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    chmod(dir.path().c_str(), 0755);  // the ordinary user must reach it
    const std::vector<std::string> left = c.prepare(dir);
    std::vector<std::string> before;
    for (const std::string& name : left) before.push_back(read_file(dir / name));
    ProcessOptions options;
    options.cwd = dir.path();
    if (c.ordinary_user) options = testing_support::as_ordinary_user(options);
    expect_failure(run_process({IMAGE_EXPORT_PATH}, options), line("fopen error", c.error), c.name);
    EXPECT_EQ(list_dir(dir.path()), left) << c.name;
    for (size_t i = 0; i < left.size(); ++i) EXPECT_EQ(read_file(dir / left[i]), before[i]) << c.name;
  }
}

// The kernel refuses to write to a program that is running; the copy means
// nothing of the build is at stake if one ever did not.
TEST(ImageExportFaults, ALinkToTheRunningProgramIsAnOpenError) {
  TempDir dir;
  const std::string program = read_file(IMAGE_EXPORT_PATH);
  write_file(dir / "image_export", program);
  ASSERT_EQ(chmod((dir / "image_export").c_str(), 0755), 0);
  ASSERT_EQ(symlink("image_export", (dir / "image_data.bin").c_str()), 0);
  expect_failure(run_process({dir / "image_export"}, dir.path()), line("fopen error", ETXTBSY), "");
  EXPECT_TRUE(read_file(dir / "image_export") == program);
}

TEST(ImageExportFaults, AWorkingDirectoryRemovedBeforeTheRunIsAnOpenError) {
  TempDir dir;
  const std::string gone = dir / "gone";
  ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
  ProcessOptions options;
  options.cwd = gone;
  options.in_child = [&gone] { return rmdir(gone.c_str()) == 0; };
  expect_failure(run_process({IMAGE_EXPORT_PATH}, options), line("fopen error", ENOENT), "");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

// With descriptors 0 to 2 taken and a limit of 3 the open has none left. A
// dynamically linked build (the sanitizer one) cannot even load under that
// limit: its loader needs a descriptor of its own.
TEST(ImageExportFaults, NoDescriptorLeftIsAnOpenError) {
  if (!DEVICE_BITMAPS_STATIC) GTEST_SKIP() << "image_export is linked dynamically: its loader needs a descriptor";
  TempDir dir;
  ProcessOptions options;
  options.cwd = dir.path();
  options.limits = {{RLIMIT_NOFILE, 3}};
  expect_failure(run_process({IMAGE_EXPORT_PATH}, options), line("fopen error", EMFILE), "");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

// The file is complete; only the report is lost. A caller cannot tell what
// happened without the line, so the run fails, and says why on standard
// error. With SIGPIPE at its default, a gone reader ends the process by that
// signal, as it does any program.
TEST(ImageExportFaults, ASuccessLineThatCannotBeWrittenIsAFailure) {
  using Output = ProcessOptions::Output;
  const struct {
    const char* name;
    Output output;
    bool ignore_sigpipe;
    int error;  // 0: ended by SIGPIPE
  } cases[] = {
      {"standard output closed", Output::closed, false, EBADF},
      {"standard output on a full device", Output::file, false, ENOSPC},
      {"a pipe nobody reads, SIGPIPE ignored", Output::reader_gone, true, EPIPE},
      {"a pipe nobody reads", Output::reader_gone, false, 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ProcessOptions options;
    options.cwd = dir.path();
    options.stdout_as = c.output;
    options.stdout_file = "/dev/full";
    if (c.ignore_sigpipe) options.ignored_signals = {SIGPIPE};
    const ProcessResult r = run_process({IMAGE_EXPORT_PATH}, options);
    if (c.error) {
      expect_failure(r, line("printf error", c.error), c.name);
    } else {
      EXPECT_EQ(r.signal, SIGPIPE) << c.name;
      EXPECT_EQ(r.err, "") << c.name;
    }
    EXPECT_EQ(read_file(dir / "image_data.bin"), testing_support::image_data_bytes()) << c.name;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"image_data.bin"}) << c.name;
  }
}

// The write errors themselves, through a build of the same program whose C
// library fails the call asked for (support/stdio_faults.c). Each error is
// reported before the file is closed ("<fclose>" marks the close on standard
// error), and what was written stays.
TEST(ImageExportFaults, EachWriteErrorIsReportedBeforeTheCloseAndKeepsWhatWasWritten) {
  const std::string bytes = testing_support::image_data_bytes();
  const struct {
    const char* fault;  // STDIO_FAULT: which call fails
    std::string err;
    std::string left;  // image_data.bin afterwards
  } cases[] = {
      // Half of the 216 bytes reach the disk.
      {"fwrite:1", line("fwrite error", ENOSPC) + "<fclose>\n", bytes.substr(0, 108)},
      // All of the first block and half of the second.
      {"fwrite:2", line("fwrite error", ENOSPC) + "<fclose>\n", bytes.substr(0, 220)},
      // The flush fails; the close still writes the buffered bytes.
      {"fflush:1", line("fwrite error", EIO) + "<fclose>\n", bytes},
      // Only the close fails: reported after it, since it is the close.
      {"fclose:1", "<fclose>\n" + line("fwrite error", EIO), bytes},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "image_data.bin", std::string(1000, 'Z'));
    ProcessOptions options;
    options.cwd = dir.path();
    setenv("STDIO_FAULT", c.fault, 1);
    const ProcessResult r = run_process({IMAGE_EXPORT_STDIO_FAULTS_PATH}, options);
    unsetenv("STDIO_FAULT");
    expect_failure(r, c.err, c.fault);
    EXPECT_EQ(read_file(dir / "image_data.bin"), c.left) << c.fault;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"image_data.bin"}) << c.fault;
  }
  // With no fault asked for, the build runs as the program does.
  TempDir dir;
  const ProcessResult r = run_process({IMAGE_EXPORT_STDIO_FAULTS_PATH}, dir.path());
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "File write success: 216 bytes\n");
  EXPECT_EQ(r.err, "<fclose>\n");
  EXPECT_EQ(read_file(dir / "image_data.bin"), bytes);
}

}  // namespace
