// catalogue on a system that will not let it finish: every failed write or
// report ends with "catalogue: <what>: <reason>" and status 1, and a file
// written through a temporary name is either complete under its final name
// or not there: an old file stays as it was, and no temporary file is left.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "apng_reader.h"
#include "bitmap_runs.h"
#include "bitmaps.h"
#include "expect_failure.h"
#include "catalogue_process.h"
#include "process.h"

namespace {

using namespace testing_support;  // the tests' own scaffolding
using Names = std::vector<std::string>;

std::string failure(const std::string& what, int error) {
  return "catalogue: " + what + ": " + std::strerror(error) + "\n";
}

// dir/out.bin with the old contents, and options to run in dir. In place:
// the user nobody may write the file but not the folder, so the file cannot
// be replaced and is written in place.
ProcessOptions with_old_file(const TempDir& dir, bool in_place) {
  write_file(dir / "out.bin", kOld);
  ProcessOptions options = in_dir(dir.path());
  if (in_place) {
    chmod((dir / "out.bin").c_str(), 0666);
    chmod(dir.path().c_str(), 0555);
    options = testing_support::as_ordinary_user(options);
  }
  return options;
}

// A full disk, as far as one process can make one: the kernel takes bytes
// up to the limit and refuses the rest with EFBIG (SIGXFSZ ignored). Whether
// the refusal comes at the first byte, midway or at the last, the old file
// stays.
TEST(CatalogueFaults, AFileSizeLimitLeavesTheOldFileAndNoTemporary) {
  const std::string image = expected_flash_image();
  const unsigned long long image_size = image.size();
  const struct {
    std::vector<std::string> args;
    unsigned long long limit;
    std::string written;  // empty: the write fails
    bool in_place = false;  // the folder may not be written, the file may
  } cases[] = {
      {{"flash-image", "out.bin"}, 0, ""},
      {{"flash-image", "out.bin"}, 1 << 20, ""},
      {{"flash-image", "out.bin"}, image_size - 1, ""},  // only the last byte is refused
      {{"flash-image", "out.bin"}, image_size, image},   // it fits: the rows above fail by the limit alone
      {{"export", "3", "out.bin"}, 100, ""},
      {{"export", "269", "out.bin"}, 216, pixels(bitmap_table[269])},
      // Written in place, the file holds what fitted, and the message says so.
      {{"flash-image", "out.bin"}, 1 << 20, image.substr(0, 1 << 20), true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ProcessOptions options = with_old_file(dir, c.in_place);
    options.limits = {{RLIMIT_FSIZE, c.limit}};
    options.ignored_signals = {SIGXFSZ};
    const ProcessResult r = run_catalogue(c.args, options);
    const std::string shown = c.args[0] + " limit " + std::to_string(c.limit);
    if (c.in_place) {
      expect_failure(r, "catalogue: out.bin: " + std::string(std::strerror(EFBIG)) + " (out.bin is now incomplete)\n",
                     shown);
      EXPECT_TRUE(read_file(dir / "out.bin") == c.written) << shown;
    } else if (c.written.empty()) {
      expect_failure(r, failure("out.bin", EFBIG), shown);
      EXPECT_EQ(read_file(dir / "out.bin"), kOld) << shown;
    } else {
      EXPECT_EQ(r.exit_status, 0) << shown << ": " << r.err;
      EXPECT_TRUE(read_file(dir / "out.bin") == c.written) << shown;
    }
    EXPECT_EQ(list_dir(dir.path()), Names{"out.bin"}) << shown;
  }
}

// A signal midway through the write (raised by the test build at the
// 100th piece; SIGXFSZ also sent by the kernel at a size limit) ends the
// process by that signal, as it would have, and the old file stays whole
// with nothing beside it: an unnamed temporary file goes with the process,
// even killed; a named one (where the file system has no unnamed ones) is
// removed first. Until then the new file is the writer's alone, mode 600,
// whatever the old one's. A SIGKILL leaves a named one, saying whose it is:
// partial midway, complete once an unnamed one is named for the rename.
TEST(CatalogueFaults, AnInterruptedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string image = expected_flash_image();
  const struct {
    int signal;
    bool named;      // the file system has no unnamed temporary files
    bool by_kernel;  // SIGXFSZ at a size limit, by the real program
    bool at_rename = false;  // raised just before the rename, not midway
    std::string left = "";   // what .out.bin.tmp?????? holds afterwards: "part", "all" of the image
  } cases[] = {
      {SIGINT, false, false},  {SIGINT, true, false},  {SIGTERM, false, false}, {SIGTERM, true, false},
      {SIGHUP, false, false},  {SIGHUP, true, false},  {SIGPIPE, false, false}, {SIGPIPE, true, false},
      {SIGXFSZ, false, false}, {SIGXFSZ, true, false}, {SIGXFSZ, false, true},  {SIGKILL, false, false},
      {SIGTERM, false, false, true}, {SIGKILL, true, false, false, "part"}, {SIGKILL, false, false, true, "all"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "out.bin", kOld);
    chmod((dir / "out.bin").c_str(), 0666);
    ProcessOptions options = in_dir(dir.path());
    const std::string shown =
        std::string(strsignal(c.signal)) + (c.named ? ", named" : "") + (c.at_rename ? ", at the rename" : "");
    if (c.by_kernel) options.limits = {{RLIMIT_FSIZE, 1 << 20}};
    setenv("STDIO_SIGNAL", (std::to_string(c.signal) + (c.at_rename ? ":rename" : ":100")).c_str(), 1);
    if (c.named) setenv("NO_TMPFILE", "1", 1);
    const ProcessResult r =
        testing_support::run_process({c.by_kernel ? CATALOGUE_PATH : CATALOGUE_STDIO_FAULTS_PATH, "flash-image", "out.bin"}, options);
    unsetenv("STDIO_SIGNAL");
    unsetenv("NO_TMPFILE");
    EXPECT_EQ(r.signal, c.signal) << shown << ": " << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err, c.by_kernel || c.at_rename ? "" : "<mode 600>\n") << shown;
    EXPECT_EQ(read_file(dir / "out.bin"), kOld) << shown;
    Names left = list_dir(dir.path());
    if (!c.left.empty()) {
      ASSERT_EQ(left.size(), 2u) << shown;
      EXPECT_TRUE(left[0].rfind(".out.bin.tmp", 0) == 0 && left[0].size() == 18) << shown << ": " << left[0];
      const std::string held = read_file(dir / left[0]);
      EXPECT_EQ(held.size() == image.size(), c.left == "all") << shown << ": " << held.size() << " bytes";
      left.erase(left.begin());
    }
    EXPECT_EQ(left, Names{"out.bin"}) << shown;
  }
}

// The test build's writev takes 16 KiB a call, as the system may take fewer
// bytes than asked: the rest follows, in order. A close that fails (as on a
// network file system, which may report a write error only then) is a
// failure: a file written in place says so; a file to be replaced stays as
// it was, the new one never taking its name. A new file in an append-only
// folder, where no unnamed one can be made, is made under its own name: a
// temporary name could never go again. A temporary name found taken gives
// way to another.
TEST(CatalogueFaults, WritesWhatTheSystemTookInPartAndChecksTheClose) {
  const struct {
    const char* fault;  // STDIO_FAULT
    std::string err;    // empty: the image is written
    bool in_place;
    bool new_in_append_only = false;
    bool named = false;  // made under a temporary name, no unnamed file
  } cases[] = {
      {"", "", false},
      {"close:1", "catalogue: out.bin: " + std::string(std::strerror(EIO)) + " (out.bin is now incomplete)\n", true},
      {"close:1", "catalogue: out.bin: " + std::string(std::strerror(EIO)) + "\n", false},
      {"close:1", "catalogue: out.bin: " + std::string(std::strerror(EIO)) + " (out.bin is now incomplete)\n", true,
       true},
      {"openat:1", "", false, false, true},  // the first temporary name taken: another is made
  };
  for (const auto& c : cases) {
    if (c.new_in_append_only && !testing_support::running_as_root()) continue;  // chattr needs root
    TempDir dir;
    ProcessOptions options = c.new_in_append_only ? in_dir(dir.path()) : with_old_file(dir, c.in_place);
    if (c.new_in_append_only) {
      ASSERT_EQ(testing_support::run_process({"/usr/bin/chattr", "+a", dir.path()}).exit_status, 0);
    }
    if (c.new_in_append_only || c.named) setenv("NO_TMPFILE", "1", 1);
    setenv("STDIO_FAULT", c.fault, 1);
    const ProcessResult r = testing_support::run_process({CATALOGUE_STDIO_FAULTS_PATH, "flash-image", "out.bin"}, options);
    unsetenv("STDIO_FAULT");
    unsetenv("NO_TMPFILE");
    testing_support::run_process({"/usr/bin/chattr", "-a", dir.path()});
    if (c.err.empty()) {
      EXPECT_EQ(r.exit_status, 0) << r.err;
      EXPECT_TRUE(read_file(dir / "out.bin") == expected_flash_image());
    } else {
      expect_failure(r, c.err, c.fault);
      if (!c.in_place) {
        EXPECT_TRUE(read_file(dir / "out.bin") == kOld) << c.fault << ": the old file is replaced";
      }
    }
    EXPECT_EQ(list_dir(dir.path()), Names{"out.bin"}) << c.fault;
  }
}

// Where the file is to go, prepared by a case, and what the directory holds
// afterwards: the same as before.
struct Target {
  std::string path;  // as passed to catalogue
  ProcessOptions options;
  std::string dir;  // listed before and after
};

struct TargetCase {
  const char* name;
  int error;
  std::function<Target(const TempDir&)> prepare;
  bool needs_root = false;
};

const std::vector<TargetCase>& target_cases() {
  static const std::vector<TargetCase> cases = {
      {"a parent that is a regular file", ENOTDIR,
       [](const TempDir& dir) {
         write_file(dir / "plain", kOld);
         return Target{dir / "plain/out.bin", in_dir(dir.path()), dir.path()};
       }},
      {"a working directory removed before the run", ENOENT,
       [](const TempDir& dir) {
         const std::string gone = dir / "gone";
         mkdir(gone.c_str(), 0755);
         ProcessOptions options = in_dir(gone);
         options.in_child = [gone] { return rmdir(gone.c_str()) == 0; };
         return Target{"out.bin", options, gone};
       }},
      {"a directory the user cannot write", EACCES,
       [](const TempDir& dir) {
         write_file(dir / "out.bin", kOld);
         chmod(dir.path().c_str(), 0555);
         return Target{dir / "out.bin", testing_support::as_ordinary_user(in_dir(dir.path())), dir.path()};
       }},
      // The folder is theirs, but the file is not for writing: cp refuses.
      {"the user's own read-only file", EACCES,
       [](const TempDir& dir) {
         write_file(dir / "out.bin", kOld);
         chmod((dir / "out.bin").c_str(), 0444);
         if (chown(dir.path().c_str(), 65534, 65534) != 0 || chown((dir / "out.bin").c_str(), 65534, 65534) != 0)
           throw std::runtime_error("chown");
         return Target{dir / "out.bin", testing_support::as_ordinary_user(in_dir(dir.path())), dir.path()};
       },
       true},
      // In a sticky directory, as /tmp is, nobody may replace another user's
      // file, and this one they may not write either.
      {"another user's file in a sticky directory", EACCES,
       [](const TempDir& dir) {
         write_file(dir / "out.bin", kOld);
         chmod(dir.path().c_str(), 01777);
         return Target{dir / "out.bin", testing_support::as_ordinary_user(in_dir(dir.path())), dir.path()};
       },
       true},
  };
  return cases;
}

TEST(CatalogueFaults, ATargetThatCannotBeWrittenSaysWhyAndChangesNothing) {
  for (const TargetCase& c : target_cases()) {
    if (c.needs_root && !testing_support::running_as_root()) continue;  // needs a file of another user
    for (const char* command : {"flash-image", "export"}) {
      TempDir dir;
      chmod(dir.path().c_str(), 0755);  // the ordinary user must reach it
      const Target target = c.prepare(dir);
      const Names before = list_dir(target.dir);
      std::vector<std::string> args{command, target.path};
      if (args[0] == "export") args.insert(args.begin() + 1, "3");
      const std::string shown = std::string(command) + ", " + c.name;
      expect_failure(run_catalogue(args, target.options), failure(target.path, c.error), shown);
      EXPECT_EQ(list_dir(target.dir), before) << shown;
      for (const std::string& name : before) EXPECT_EQ(read_file(target.dir + "/" + name), kOld) << shown;
    }
  }
}

TEST(CatalogueFaults, APreviewDirectoryThatCannotBeMadeOrWrittenSaysWhy) {
  const char* first = bitmap_runs[0].name;
  const struct {
    const char* name;
    std::function<Target(const TempDir&)> prepare;
    std::string what;  // the name in the message, under the case's directory
    int error;
  } cases[] = {
      {"a regular file",
       [](const TempDir& dir) {
         write_file(dir / "plain", kOld);
         return Target{dir / "plain", in_dir(dir.path()), dir.path()};
       },
       "plain", ENOTDIR},
      {"under a regular file",
       [](const TempDir& dir) {
         write_file(dir / "plain", kOld);
         return Target{dir / "plain/sub", in_dir(dir.path()), dir.path()};
       },
       "plain/sub", ENOTDIR},
      {"new in a directory the user cannot write",
       [](const TempDir& dir) {
         chmod(dir.path().c_str(), 0555);
         return Target{dir / "new", testing_support::as_ordinary_user(in_dir(dir.path())), dir.path()};
       },
       "new", EACCES},
      {"existing, and the user cannot write it",
       [](const TempDir& dir) {
         chmod(dir.path().c_str(), 0555);
         return Target{dir.path(), testing_support::as_ordinary_user(in_dir(dir.path())), dir.path()};
       },
       std::string(first) + ".png", EACCES},
  };
  for (const auto& c : cases) {
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    const Target target = c.prepare(dir);
    const Names before = list_dir(target.dir);
    expect_failure(run_catalogue({"preview", target.path}, target.options), failure(dir / c.what, c.error), c.name);
    EXPECT_EQ(list_dir(target.dir), before) << c.name;
  }

  TempDir dir;  // a relative name in a directory that is gone
  const std::string gone = dir / "gone";
  ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
  ProcessOptions options = in_dir(gone);
  options.in_child = [gone] { return rmdir(gone.c_str()) == 0; };
  expect_failure(run_catalogue({"preview", "out"}, options), failure("out", ENOENT), "removed working directory");
  EXPECT_TRUE(list_dir(dir.path()).empty());
}

// "" when a file that preview writes is whole: a PNG that decodes, or the
// page (index.html), which ends as it should.
std::string preview_file_fault(const std::string& name, const std::string& bytes) {
  if (name == "index.html")
    return bytes.size() > 8 && bytes.compare(bytes.size() - 8, 8, "</html>\n") == 0 ? "" : "the page is cut short";
  testing_support::DecodedPng png;
  return testing_support::decode_png(bytes, png);
}

// What a preview run left in dir, against the lines it printed: every line
// names a file that is there, whole, and every file there was printed.
void expect_printed_files_intact(const std::string& dir, const std::string& out, const Names& others,
                                 const std::string& shown) {
  Names printed;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string prefix = dir + "/";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << shown << ": " << line;
    const std::string name = line.substr(prefix.size(), line.find(": ") - prefix.size());
    printed.push_back(name);
    EXPECT_EQ(preview_file_fault(name, read_file(dir + "/" + name)), "") << shown << ": " << name;
  }
  Names expected = printed;
  expected.insert(expected.end(), others.begin(), others.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(list_dir(dir), expected) << shown;
}

// A name the run comes to after writing others is taken by a directory:
// the rename onto it fails, the run stops there, and what was written
// before stays, complete.
TEST(CatalogueFaults, APreviewNameTakenByADirectoryStopsTheRunThere) {
  TempDir dir;
  const std::string taken = std::string(bitmap_runs[1].name) + ".png";
  ASSERT_EQ(mkdir((dir / taken).c_str(), 0755), 0);
  const ProcessResult r = run_catalogue({"preview", dir.path()}, in_dir(dir.path()));
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, failure(dir / taken, EISDIR));
  EXPECT_NE(r.out, "") << "stopped before the first run's pictures";
  expect_printed_files_intact(dir.path(), r.out, {taken}, "");
  EXPECT_TRUE(list_dir(dir / taken).empty());
}

// The disk fills midway through the pictures: a size limit that the first
// file fits and a later one does not. The files before it are byte for byte
// those of a run without the limit, the later ones are not there.
TEST(CatalogueFaults, APreviewThatRunsOutOfSpaceMidwayKeepsWhatItFinished) {
  TempDir reference;
  const ProcessResult full = run_catalogue({"preview", "out"}, in_dir(reference.path()));
  ASSERT_EQ(full.exit_status, 0) << full.err;
  std::vector<std::string> lines;
  std::istringstream in(full.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  Names order;  // the files, in the order they were written
  std::vector<unsigned long long> sizes;
  for (const std::string& line : lines) {
    order.push_back(line.substr(4, line.find(": ") - 4));  // after "out/"
    sizes.push_back(read_file(reference / ("out/" + order.back())).size());
  }
  // The first file larger than every one before it fails under a limit of
  // its size less one; all before it fit.
  size_t stop = 1;
  while (stop < sizes.size() && sizes[stop] <= *std::max_element(sizes.begin(), sizes.begin() + long(stop))) ++stop;
  ASSERT_LT(stop, sizes.size()) << "the first picture is the largest: no limit stops the run midway";

  for (const unsigned long long limit : {0ull, sizes[stop] - 1}) {
    const size_t fail_at = limit ? stop : 0;
    TempDir dir;
    ProcessOptions options = in_dir(dir.path());
    options.limits = {{RLIMIT_FSIZE, limit}};
    options.ignored_signals = {SIGXFSZ};
    const ProcessResult r = run_catalogue({"preview", "out"}, options);
    const std::string shown = "limit " + std::to_string(limit);
    EXPECT_EQ(r.exit_status, 1) << shown;
    EXPECT_EQ(r.err, failure("out/" + order[fail_at], EFBIG)) << shown;
    std::string expected_out;
    for (size_t i = 0; i < fail_at; ++i) expected_out += lines[i] + "\n";
    EXPECT_EQ(r.out, expected_out) << shown;
    Names written(order.begin(), order.begin() + long(fail_at));
    std::sort(written.begin(), written.end());
    EXPECT_EQ(list_dir(dir / "out"), written) << shown;
    for (const std::string& name : written)
      EXPECT_TRUE(read_file(dir / ("out/" + name)) == read_file(reference / ("out/" + name))) << shown << ": " << name;
  }
}

// The report of a command cannot be written. For the file commands the file
// is complete (the report comes after the rename); the run still fails,
// since the caller cannot learn the outcome.
TEST(CatalogueFaults, AReportThatCannotBeWrittenIsAFailure) {
  using Output = ProcessOptions::Output;
  const struct {
    const char* name;
    Output output;
    int error;
  } outputs[] = {
      {"standard output closed", Output::closed, EBADF},
      {"a pipe nobody reads, SIGPIPE ignored", Output::reader_gone, EPIPE},
      {"standard output on a full device", Output::file, ENOSPC},
  };
  const struct {
    std::vector<std::string> args;
    std::string written;  // the file out.bin must hold; empty: none made
  } commands[] = {
      {{"list"}, ""},
      {{"table"}, ""},
      {{"--help"}, ""},
      {{"export", "--help"}, ""},
      {{"flash-image", "out.bin"}, expected_flash_image()},
      {{"export", "3", "out.bin"}, pixels(bitmap_table[3])},
  };
  for (const auto& o : outputs)
    for (const auto& c : commands) {
      TempDir dir;
      ProcessOptions options = in_dir(dir.path());
      options.stdout_as = o.output;
      options.stdout_file = "/dev/full";
      options.ignored_signals = {SIGPIPE};
      const std::string shown = c.args[0] + ", " + o.name;
      expect_failure(run_catalogue(c.args, options), failure("standard output", o.error), shown);
      if (c.written.empty()) {
        EXPECT_TRUE(list_dir(dir.path()).empty()) << shown;
      } else {
        EXPECT_EQ(list_dir(dir.path()), Names{"out.bin"}) << shown;
        EXPECT_TRUE(read_file(dir / "out.bin") == c.written) << shown;
      }
    }

  // With SIGPIPE at its default the kernel ends the process, as any.
  ProcessOptions options;
  options.stdout_as = Output::reader_gone;
  const ProcessResult r = run_catalogue({"list"}, options);
  EXPECT_EQ(r.signal, SIGPIPE);
  EXPECT_EQ(r.err, "");
}

// With descriptor 1 closed, the first file opened gets it, and anything
// printed while that file is open would land in it. Every picture must
// still be exactly a picture.
TEST(CatalogueFaults, APreviewWithStandardOutputClosedWritesIntactPictures) {
  TempDir dir;
  ProcessOptions options = in_dir(dir.path());
  options.stdout_as = ProcessOptions::Output::closed;
  expect_failure(run_catalogue({"preview", "out"}, options), failure("standard output", EBADF), "");
  Names sheets;
  for (size_t i = 0; i < bitmap_run_count; ++i) sheets.push_back(std::string(bitmap_runs[i].name) + ".png");
  sheets.push_back("index.html");
  for (const std::string& name : list_dir(dir / "out"))
    EXPECT_EQ(preview_file_fault(name, read_file(dir / ("out/" + name))), "") << name;
  for (const std::string& name : sheets) EXPECT_TRUE(file_exists(dir / ("out/" + name))) << name;
}

TEST(CatalogueFaults, AnEmptyNameIsAUsageError) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"flash-image", ""}, "catalogue: flash-image: FILE must not be empty\n"},
      {{"export", "3", ""}, "catalogue: export: FILE must not be empty\n"},
      {{"preview", ""}, "catalogue: preview: DIR must not be empty\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ProcessResult r = run_catalogue(c.args, in_dir(dir.path()));
    EXPECT_EQ(r.exit_status, 2) << c.args[0];
    EXPECT_EQ(r.err, c.err);
    EXPECT_TRUE(list_dir(dir.path()).empty()) << c.args[0];
  }
}

}  // namespace
