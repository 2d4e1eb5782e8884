// image_export as a user runs it: a process in a directory of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "known_pixels.h"
#include "process.h"

namespace {

using testing_support::file_exists;
using testing_support::read_file;
using testing_support::run_process;
using testing_support::TempDir;
using testing_support::write_file;

void expect_success(const TempDir& dir, const testing_support::ProcessResult& r) {
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "File write success: 216 bytes\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(dir / "image_data.bin"), testing_support::image_data_bytes());
}

TEST(ImageExport, WritesTheDigitBytesAndReportsTheFirstWrite) {
  TempDir dir;
  auto r = run_process({IMAGE_EXPORT_PATH}, dir.path());
  expect_success(dir, r);
  EXPECT_EQ(read_file(dir / "image_data.bin").size(), 224u);
  EXPECT_EQ(testing_support::list_dir(dir.path()), std::vector<std::string>{"image_data.bin"});
}

TEST(ImageExport, ReplacesAnExistingFileOfAnyLength) {
  for (size_t length : {size_t{0}, size_t{10}, size_t{224}, size_t{100000}}) {
    TempDir dir;
    write_file(dir / "image_data.bin", std::string(length, '\x5A'));
    expect_success(dir, run_process({IMAGE_EXPORT_PATH}, dir.path()));
  }
}

TEST(ImageExport, TwoRunsInARowGiveTheSameFile) {
  TempDir dir;
  expect_success(dir, run_process({IMAGE_EXPORT_PATH}, dir.path()));
  const std::string first = read_file(dir / "image_data.bin");
  expect_success(dir, run_process({IMAGE_EXPORT_PATH}, dir.path()));
  EXPECT_EQ(read_file(dir / "image_data.bin"), first);
}

TEST(ImageExport, IgnoresArguments) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-o", "other.bin"}, {"", "image_data.bin", "x"}}) {
    TempDir dir;
    std::vector<std::string> argv{IMAGE_EXPORT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    expect_success(dir, run_process(argv, dir.path()));
    EXPECT_FALSE(file_exists(dir / "other.bin"));
  }
}

TEST(ImageExport, NameTakenByADirectoryIsAnOpenError) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "image_data.bin").c_str(), 0777), 0);
  auto r = run_process({IMAGE_EXPORT_PATH}, dir.path());
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string("fopen error: ") + std::strerror(EISDIR) + "\n");
  EXPECT_EQ(testing_support::list_dir(dir.path()), std::vector<std::string>{"image_data.bin"});  // nothing else made
  EXPECT_EQ(testing_support::list_dir(dir / "image_data.bin"), std::vector<std::string>{});
}

// The bytes fit the stream's buffer, so the device refuses them only when
// the stream is flushed: that must still be reported, not taken for success.
TEST(ImageExport, ADeviceThatCannotTakeTheBytesIsAWriteError) {
  TempDir dir;
  ASSERT_EQ(symlink("/dev/full", (dir / "image_data.bin").c_str()), 0);
  auto r = run_process({IMAGE_EXPORT_PATH}, dir.path());
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string("fwrite error: ") + std::strerror(ENOSPC) + "\n");
}

}  // namespace
