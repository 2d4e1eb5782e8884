// Where catalogue's bytes end up, by what the name given names: a file is
// replaced and keeps its mode, a link stays a link and its target takes the
// bytes, a device node or FIFO is written in place and stays what it was, a
// directory or a link to nothing is refused, and "-" is standard output.
// Device nodes, FIFOs and links are made in a scratch folder; the machine's
// own /dev is never written.
#include <fcntl.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bitmaps.h"
#include "expect_failure.h"
#include "catalogue_process.h"
#include "process.h"

namespace {

using namespace testing_support;  // the tests' own scaffolding
using Names = std::vector<std::string>;

// What a name is, without following a link: "file 644 0:0" (6755 with
// setuid and setgid), "link to t",
// "char 1,3", "block", "fifo", "directory", "nothing".
std::string kind(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "nothing";
  const std::string mode = (st.st_mode & 07000 ? std::to_string((st.st_mode >> 9) & 7) : "") +
                           std::to_string((st.st_mode >> 6) & 7) + std::to_string((st.st_mode >> 3) & 7) +
                           std::to_string(st.st_mode & 7);
  if (S_ISREG(st.st_mode)) return "file " + mode + " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return "link to " + std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
  }
  if (S_ISCHR(st.st_mode)) return "char " + std::to_string(major(st.st_rdev)) + "," + std::to_string(minor(st.st_rdev));
  if (S_ISBLK(st.st_mode)) return "block";
  if (S_ISFIFO(st.st_mode)) return "fifo";
  if (S_ISDIR(st.st_mode)) return "directory";
  return "other";
}

void make_link(const std::string& target, const std::string& at) {
  if (symlink(target.c_str(), at.c_str()) != 0) throw std::runtime_error("symlink " + at + ": " + std::strerror(errno));
}

void make_dir(const std::string& path, mode_t mode = 0755) {
  if (mkdir(path.c_str(), mode) != 0 || chmod(path.c_str(), mode) != 0)
    throw std::runtime_error("mkdir " + path + ": " + std::strerror(errno));
}

// A scratch folder the nobody user can reach.
struct Scratch : TempDir {
  Scratch() { chmod(path().c_str(), 0755); }
};

// A shell command run in dir; throws when it fails.
void shell(const std::string& dir, const std::string& command) {
  const ProcessResult r = testing_support::run_process({"/bin/sh", "-c", "cd \"$0\" && " + command, dir});
  if (r.exit_status != 0) throw std::runtime_error(command + ": " + r.err);
}

// The tools that set and read ACLs and extended attributes (packages acl
// and attr), or the first one missing.
std::string missing_attribute_tool() {
  for (const char* tool : {"setfacl", "getfacl", "setfattr", "getfattr"})
    if (testing_support::run_process({"/bin/sh", "-c", std::string("command -v ") + tool}).exit_status != 0)
      return tool;
  return "";
}

// The ACL and the user and security attributes of a file, as the tools
// print them.
std::string attributes(const std::string& dir, const std::string& name) {
  return testing_support::run_process(
             {"/bin/sh", "-c", "cd \"$0\" && getfacl -cp \"$1\" && getfattr -d -m '^(user|security)\\.' \"$1\"", dir,
              name})
      .out;
}

ino_t inode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Folders of 250 bytes each, 16 deep, and in the deepest a file whose name
// brings the path to 4,090 bytes, within the 4,095 allowed.
const std::string kFolder(250, 'd');
std::string longest_path() {
  std::string path;
  for (int i = 0; i < 16; ++i) path += kFolder + "/";
  return path + std::string(4090 - path.size(), 'f');
}

void make_longest_path(const std::string& dir) {
  shell(dir, "for i in $(seq 16); do mkdir " + kFolder + " && cd " + kFolder + " || exit; done; echo old >" +
                 longest_path().substr(longest_path().rfind('/') + 1));
}

TEST(CatalogueTargets, AFileOrWhatALinkNamesIsReplacedAndKeepsItsMode) {
  const struct {
    const char* name;
    std::function<void(const Scratch&)> prepare;  // makes out.bin, and what it leads to
    std::string holder;                           // the file that must hold the bytes
    std::string holder_kind;                      // what it must be afterwards
    Names others;                                 // names that stay as they were: "name=kind"
    bool as_nobody = false;
    bool in_place = false;        // the holder keeps its inode
    std::string holder_attributes = "";  // its ACL and attributes afterwards, when set
  } cases[] = {
      {"nothing there", [](const Scratch&) {}, "out.bin", "file 644 0:0", {}},
      {"a file of mode 600",
       [](const Scratch& d) {
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0600);
       },
       "out.bin", "file 600 0:0", {}},
      {"a read-only file",
       [](const Scratch& d) {
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0444);
       },
       "out.bin", "file 444 0:0", {}},
      {"another user's file, group-readable",
       [](const Scratch& d) {
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0640);
         if (chown((d / "out.bin").c_str(), 65534, 65534) != 0) throw std::runtime_error("chown");
       },
       "out.bin", "file 640 65534:65534", {}},
      // The group is one the user cannot give: the file is written in
      // place, and keeps it.
      {"the user's file with a group not theirs, written by the user",
       [](const Scratch& d) {
         if (chown(d.path().c_str(), 65534, 65534) != 0) throw std::runtime_error("chown");
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0640);
         if (chown((d / "out.bin").c_str(), 65534, 0) != 0) throw std::runtime_error("chown");
       },
       "out.bin", "file 640 65534:0", {}, true, true},
      // The ACL's mask is the mode's group bits: the group itself may do
      // nothing, and no one else may either, the new file included.
      {"a file with an ACL and an extended attribute",
       [](const Scratch& d) {
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0600);
         shell(d.path(), "setfacl -m u:nobody:rw-,g::--- out.bin && setfattr -n user.note -v kept out.bin");
       },
       "out.bin", "file 660 0:0", {}, false, false,
       "user::rw-\nuser:nobody:rw-\ngroup::---\nmask::rw-\nother::---\n\n# file: out.bin\nuser.note=\"kept\"\n\n"},
      // The new file takes the folder's default ACL when it is made, then
      // exactly the old file's: none, or its own.
      {"a file without an ACL in a folder with a default ACL",
       [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chmod 664 out.bin && setfacl -dm u:nobody:rw-,g::- ."); },
       "out.bin", "file 664 0:0", {}, false, false, "user::rw-\ngroup::rw-\nother::r--\n\n"},
      {"a file with an ACL in a folder with a default ACL",
       [](const Scratch& d) {
         shell(d.path(), "echo old >out.bin && chmod 640 out.bin && setfacl -m u:daemon:r out.bin && "
                         "setfacl -dm u:nobody:rw-,g::- .");
       },
       "out.bin", "file 640 0:0", {}, false, false, "user::rw-\nuser:daemon:r--\ngroup::r--\nmask::r--\nother::---\n\n"},
      // An attribute only root may set cannot go on a new file of the
      // user's: the file is written in place, and keeps it.
      {"the user's file with an attribute only root may set, written by the user",
       [](const Scratch& d) {
         if (chown(d.path().c_str(), 65534, 65534) != 0) throw std::runtime_error("chown");
         write_file(d / "out.bin", kOld);
         if (chown((d / "out.bin").c_str(), 65534, 65534) != 0) throw std::runtime_error("chown");
         shell(d.path(), "setfattr -n security.note -v kept out.bin");
       },
       "out.bin", "file 644 65534:65534", {}, true, true,
       "user::rw-\ngroup::r--\nother::r--\n\n# file: out.bin\nsecurity.note=\"kept\"\n\n"},
      // A write clears setuid and setgid (group-executable) for an owner
      // without CAP_FSETID, and a file capability for anyone.
      {"the user's setuid and setgid file, written by the user",
       [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chown 65534:65534 . out.bin && chmod 6755 out.bin"); },
       "out.bin", "file 755 65534:65534", {}, true},
      // Root keeps them, as cp does; the sticky bit no write clears.
      {"another user's setuid and setgid file, written by root",
       [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chown 65534:65534 out.bin && chmod 6755 out.bin"); },
       "out.bin", "file 6755 65534:65534", {}},
      {"a sticky file, written by root", [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chmod 1644 out.bin"); },
       "out.bin", "file 1644 0:0", {}},
      {"the user's sticky file, written by the user",
       [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chown 65534:65534 . out.bin && chmod 1644 out.bin"); },
       "out.bin", "file 1644 65534:65534", {}, true},
      {"a file with a capability",
       [](const Scratch& d) {
         shell(d.path(), "echo old >out.bin && setfattr -n security.capability -v "
                         "0x0000000200200000000000000000000000000000 out.bin");  // cap_net_raw=p
       },
       "out.bin", "file 644 0:0", {}, false, false, "user::rw-\ngroup::r--\nother::r--\n\n"},
      // A folder that lets no name go (append-only), or where nothing may be
      // made (immutable, EPERM): cp writes these, in place.
      {"a file in an append-only folder", [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chattr +a ."); },
       "out.bin", "file 644 0:0", {}, false, true},
      {"a file in an immutable folder", [](const Scratch& d) { shell(d.path(), "echo old >out.bin && chattr +i ."); },
       "out.bin", "file 644 0:0", {}, false, true},
      // cp writes these, in place.
      {"a file the user may write in a folder they may not",
       [](const Scratch& d) {
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0666);
       },
       "out.bin", "file 666 0:0", {}, true, true},
      {"another user's file the user may write, in a sticky folder",
       [](const Scratch& d) {
         chmod(d.path().c_str(), 01777);
         write_file(d / "out.bin", kOld);
         chmod((d / "out.bin").c_str(), 0666);
       },
       "out.bin", "file 666 0:0", {}, true, true},
      {"a link to a file whose name is as long as names go",
       [](const Scratch& d) {
         write_file(d / std::string(255, 'n'), kOld);
         make_link(std::string(255, 'n'), d / "out.bin");
       },
       std::string(255, 'n'), "file 644 0:0", {"out.bin=link to " + std::string(255, 'n')}},
      // Read through the link: the path is too long to be given whole.
      {"a link to a file whose path is as long as paths go",
       [](const Scratch& d) {
         make_longest_path(d.path());
         make_link(longest_path(), d / "out.bin");
       },
       "out.bin", "link to " + longest_path(), {}},
      {"a link",
       [](const Scratch& d) {
         write_file(d / "target.bin", kOld);
         chmod((d / "target.bin").c_str(), 0600);
         make_link("target.bin", d / "out.bin");
       },
       "target.bin", "file 600 0:0", {"out.bin=link to target.bin"}},
      // Each relative target counts from its own link's folder.
      {"a chain of links across folders",
       [](const Scratch& d) {
         make_dir(d / "a");
         make_dir(d / "b");
         write_file(d / "b/t.bin", kOld);
         make_link("a/l1", d / "out.bin");
         make_link("../b/t.bin", d / "a/l1");
       },
       "b/t.bin", "file 644 0:0", {"out.bin=link to a/l1", "a/l1=link to ../b/t.bin", "a=directory"}},
  };
  if (!testing_support::running_as_root()) GTEST_SKIP() << "the cases of other users' files need root";
  const std::string missing_tool = missing_attribute_tool();
  for (const auto& c : cases) {
    if (!c.holder_attributes.empty() && !missing_tool.empty()) continue;
    Scratch dir;
    c.prepare(dir);
    const Names before = list_dir(dir.path());
    const ino_t old_inode = inode(dir / c.holder);
    ProcessOptions options = in_dir(dir.path());
    if (c.as_nobody) options = testing_support::as_ordinary_user(options);
    const ProcessResult r = run_catalogue({"export", "269", "out.bin"}, options);
    EXPECT_EQ(r.exit_status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, "out.bin: 216 bytes written\n") << c.name;
    EXPECT_TRUE(read_file(dir / c.holder) == pixels(bitmap_table[269])) << c.name;
    EXPECT_EQ(kind(dir / c.holder), c.holder_kind) << c.name;
    if (old_inode) {
      EXPECT_EQ(inode(dir / c.holder) == old_inode, c.in_place) << c.name << ": written in place";
    }
    if (!c.holder_attributes.empty()) {
      EXPECT_EQ(attributes(dir.path(), c.holder), c.holder_attributes) << c.name;
    }
    for (const std::string& other : c.others) {
      const std::string name = other.substr(0, other.find('='));
      EXPECT_EQ(name + "=" + kind(dir / name), other) << c.name;
    }
    Names expected = before;
    if (expected.empty()) expected = {"out.bin"};
    EXPECT_EQ(list_dir(dir.path()), expected) << c.name << ": nothing else is left beside it";
    if (c.holder == "b/t.bin") {
      EXPECT_EQ(list_dir(dir / "b"), Names{"t.bin"}) << c.name;
    }
    testing_support::run_process({"/usr/bin/chattr", "-ai", dir.path()});  // so that the folder can go
  }
  if (!missing_tool.empty()) GTEST_SKIP() << "the cases of ACLs and attributes need " << missing_tool;
}

// What a link names is replaced like any file: a write that fails midway
// (a file-size limit standing in for a full disk) leaves it as it was.
TEST(CatalogueTargets, ALinksTargetIsReplacedWholeOrNotAtAll) {
  Scratch dir;
  write_file(dir / "target.bin", kOld);
  make_link("target.bin", dir / "out.bin");
  ProcessOptions options = in_dir(dir.path());
  options.limits = {{RLIMIT_FSIZE, 1 << 20}};
  options.ignored_signals = {SIGXFSZ};
  expect_failure(run_catalogue({"flash-image", "out.bin"}, options),
                 std::string("catalogue: out.bin: ") + std::strerror(EFBIG) + "\n", "");
  EXPECT_EQ(read_file(dir / "target.bin"), kOld);
  EXPECT_EQ(kind(dir / "out.bin"), "link to target.bin");
  EXPECT_EQ(list_dir(dir.path()), (Names{"out.bin", "target.bin"}));
}

// A hard link is a second name of the same file: written in place, as cp
// writes it, both names hold the new bytes.
TEST(CatalogueTargets, AHardLinkedFileIsWrittenThrough) {
  Scratch dir;
  write_file(dir / "out.bin", std::string(1000, 'x'));
  ASSERT_EQ(link((dir / "out.bin").c_str(), (dir / "other.bin").c_str()), 0);
  const ProcessResult r = run_catalogue({"export", "269", "out.bin"}, in_dir(dir.path()));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(read_file(dir / "other.bin") == pixels(bitmap_table[269]));
  EXPECT_EQ(inode(dir / "out.bin"), inode(dir / "other.bin"));
}

// A file mounted over a name, as a container's volume is, cannot be
// renamed over: the file mounted there is written in place, and nothing is
// left beside it. Mounted from a small file system, it fills midway; longer
// than the new bytes, it is cut after them.
TEST(CatalogueTargets, AFileMountedOverItsNameIsWrittenInPlace) {
  if (!testing_support::running_as_root()) GTEST_SKIP() << "mounting needs root";
  const struct {
    bool small;
    std::vector<std::string> args;
    std::string old;
    std::string expected;  // what the volume must hold
  } cases[] = {
      {false, {"flash-image", "out.bin"}, "old\n", expected_flash_image()},
      {true, {"flash-image", "out.bin"}, "old\n", expected_flash_image()},  // a prefix of it
      {false, {"export", "269", "out.bin"}, std::string(1000, 'x'), pixels(bitmap_table[269])},
  };
  for (const auto& [small, args, old, expected] : cases) {
    Scratch dir;
    make_dir(dir / "volume");
    const std::string volume = dir / "volume/file.bin";
    write_file(dir / "out.bin", "");
    const std::string tmpfs = small ? "mount -t tmpfs -o size=65536 tmpfs \"${1%/*}\" && " : "";
    const ProcessResult mounted = testing_support::run_process(
        {"/bin/sh", "-c", tmpfs + "printf %s \"$2\" >\"$1\" && mount --bind \"$1\" \"$0\"", dir / "out.bin", volume,
         old});
    const ProcessResult r = run_catalogue(args, in_dir(dir.path()));
    const std::string written = read_file(volume);
    const ProcessResult unmounted = testing_support::run_process(
        {"/bin/sh", "-c", "umount \"$0\"; ! mountpoint -q \"$1\" || umount \"$1\"", dir / "out.bin", dir / "volume"});
    if (mounted.exit_status != 0) GTEST_SKIP() << "no bind mount here: " << mounted.err;
    ASSERT_EQ(unmounted.exit_status, 0) << unmounted.err;
    if (small) {
      expect_failure(r, "catalogue: out.bin: " + std::string(std::strerror(ENOSPC)) + " (out.bin is now incomplete)\n",
                     "a small volume");
      EXPECT_TRUE(written.size() < expected.size() && expected.compare(0, written.size(), written) == 0);
    } else {
      EXPECT_EQ(r.exit_status, 0) << r.err;
      EXPECT_TRUE(written == expected);
    }
    EXPECT_EQ(read_file(dir / "out.bin"), "");
    EXPECT_EQ(list_dir(dir.path()), (Names{"out.bin", "volume"}));
  }
}

// Links into /proc/self/fd reach what the descriptor is: bytes and nothing
// else, the report going to standard error when it would mix with them.
TEST(CatalogueTargets, ALinkToAnOpenDescriptorReachesWhatItNames) {
  const std::string image = expected_flash_image();
  {
    Scratch dir;  // a pipe
    const ProcessResult r = run_catalogue({"flash-image", "/dev/stdout"}, in_dir(dir.path()));
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_TRUE(r.out == image) << r.out.size() << " bytes";
    EXPECT_EQ(r.err, "/dev/stdout: 5892556 bytes written\n");
    EXPECT_TRUE(list_dir(dir.path()).empty());
  }
  {
    Scratch dir;  // a file, longer than the bytes: written from its start, and cut there
    write_file(dir / "out.bin", std::string(1000, 'x'));
    const ino_t old_inode = inode(dir / "out.bin");
    ProcessOptions options = in_dir(dir.path());
    options.stdout_as = ProcessOptions::Output::file;
    options.stdout_file = dir / "out.bin";
    const ProcessResult r = run_catalogue({"export", "269", "/dev/fd/1"}, options);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "/dev/fd/1: 216 bytes written\n");
    EXPECT_TRUE(read_file(dir / "out.bin") == pixels(bitmap_table[269]));
    EXPECT_EQ(inode(dir / "out.bin"), old_inode);
    EXPECT_EQ(list_dir(dir.path()), Names{"out.bin"});
  }
  Scratch dir;  // bash's process substitution
  const ProcessResult r = testing_support::run_process(
      {"/bin/bash", "-c", "\"$0\" flash-image >(cat >got.bin) && wait $!", CATALOGUE_PATH}, in_dir(dir.path()));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.find(':')), ": 5892556 bytes written\n");
  EXPECT_TRUE(read_file(dir / "got.bin") == image);
  EXPECT_EQ(list_dir(dir.path()), Names{"got.bin"});
}

TEST(CatalogueTargets, ADirectoryIsRefused) {
  const struct {
    std::string path;
    std::string cwd;  // under the scratch folder
  } cases[] = {{".", ""}, {"..", "sub"}, {"sub", ""}, {"sub/", ""}, {"to_sub", ""}, {"to_sub/", ""}};
  for (const auto& c : cases) {
    for (const char* command : {"export", "flash-image"}) {
      Scratch dir;
      make_dir(dir / "sub");
      make_link("sub", dir / "to_sub");
      std::vector<std::string> args{command, c.path};
      if (args[0] == "export") args.insert(args.begin() + 1, "3");
      const std::string shown = std::string(command) + " '" + c.path + "'";
      expect_failure(run_catalogue(args, in_dir(dir / c.cwd)), "catalogue: " + c.path + ": Is a directory\n", shown);
      EXPECT_EQ(list_dir(dir.path()), (Names{"sub", "to_sub"})) << shown;
      EXPECT_TRUE(list_dir(dir / "sub").empty()) << shown;
    }
  }
}

// A link to nothing says the user meant a file somewhere else than they
// think: nothing is made, there or beside the link. A link the system will
// not follow (another user's, in a sticky folder, where fs.protected_symlinks
// is set) is refused as cp refuses it, even to root.
TEST(CatalogueTargets, ALinkToNothingIsRefusedAndNothingIsMade) {
  const struct {
    const char* name;
    std::function<void(const Scratch&)> prepare;
    std::string err;
    bool protected_link = false;
  } cases[] = {
      {"a dangling link", [](const Scratch& d) { make_link("missing.bin", d / "out.bin"); },
       "catalogue: out.bin: dangling symbolic link to missing.bin\n"},
      {"a chain ending nowhere",
       [](const Scratch& d) {
         make_dir(d / "sub");
         make_link("sub/l", d / "out.bin");
         make_link("gone.bin", d / "sub/l");
       },
       "catalogue: out.bin: dangling symbolic link to sub/gone.bin\n"},
      {"a link into a folder that is not there", [](const Scratch& d) { make_link("gone/x.bin", d / "out.bin"); },
       "catalogue: out.bin: dangling symbolic link to gone/x.bin\n"},
      {"a link into a file",
       [](const Scratch& d) {
         write_file(d / "plain", kOld);
         make_link("plain/x.bin", d / "out.bin");
       },
       std::string("catalogue: out.bin: ") + std::strerror(ENOTDIR) + "\n"},
      {"a loop",
       [](const Scratch& d) {
         make_link("back.bin", d / "out.bin");
         make_link("out.bin", d / "back.bin");
       },
       std::string("catalogue: out.bin: ") + std::strerror(ELOOP) + "\n"},
      {"a link another user planted in a sticky folder",
       [](const Scratch& d) {
         chmod(d.path().c_str(), 01777);
         write_file(d / "target.bin", kOld);
         make_link("target.bin", d / "out.bin");
         if (lchown((d / "out.bin").c_str(), 65534, 65534) != 0) throw std::runtime_error("lchown");
       },
       std::string("catalogue: out.bin: ") + std::strerror(EACCES) + "\n", true},
  };
  const bool links_protected = testing_support::running_as_root() &&
                               read_file("/proc/sys/fs/protected_symlinks").substr(0, 1) == "1";
  for (const auto& c : cases) {
    if (c.protected_link && !links_protected) continue;
    Scratch dir;
    c.prepare(dir);
    const Names before = list_dir(dir.path());
    expect_failure(run_catalogue({"export", "3", "out.bin"}, in_dir(dir.path())), c.err, c.name);
    EXPECT_EQ(list_dir(dir.path()), before) << c.name;
    if (before.size() > 1 && before[1] == "sub") {
      EXPECT_EQ(list_dir(dir / "sub"), Names{"l"}) << c.name;
    }
  }
  if (!links_protected) GTEST_SKIP() << "the case of a protected link needs root and fs.protected_symlinks=1";
}

// Why device nodes cannot be made and opened in a scratch folder here, or
// "" when they can.
std::string device_nodes_unusable() {
  if (!testing_support::running_as_root()) return "making device nodes needs root";
  Scratch dir;
  const std::string probe = dir / "probe";
  if (mknod(probe.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) return std::string("mknod: ") + std::strerror(errno);
  const int fd = open(probe.c_str(), O_WRONLY);
  if (fd < 0) return std::string("a node made here cannot be opened (nodev?): ") + std::strerror(errno);
  close(fd);
  return "";
}

void make_node(const std::string& path, unsigned minor_number, mode_t mode = 0666) {
  if (mknod(path.c_str(), S_IFCHR | mode, makedev(1, minor_number)) != 0 || chmod(path.c_str(), mode) != 0)
    throw std::runtime_error("mknod " + path + ": " + std::strerror(errno));
}

TEST(CatalogueTargets, ADeviceNodeIsWrittenInPlaceAndStaysANode) {
  const std::string unusable = device_nodes_unusable();
  if (!unusable.empty()) GTEST_SKIP() << unusable;
  const std::string image = expected_flash_image();
  const struct {
    const char* name;
    std::function<void(const Scratch&)> prepare;  // makes node and what leads to it
    std::string path;
    bool as_nobody;
    std::string err;  // empty: written
    Names kinds;      // "name=kind" afterwards
  } cases[] = {
      {"a null device", [](const Scratch& d) { make_node(d / "null", 3); }, "null", false, "", {"null=char 1,3"}},
      {"a full device", [](const Scratch& d) { make_node(d / "full", 7); }, "full", false,
       std::string("catalogue: full: ") + std::strerror(ENOSPC) + "\n", {"full=char 1,7"}},
      {"a link to a null device",
       [](const Scratch& d) {
         make_node(d / "null", 3);
         make_link("null", d / "out.bin");
       },
       "out.bin", false, "", {"null=char 1,3", "out.bin=link to null"}},
      // The user may write the node but not its folder: nothing needs making.
      {"a null device in a folder only root may write, by nobody",
       [](const Scratch& d) { make_node(d / "null", 3); }, "null", true, "", {"null=char 1,3"}},
      {"a null device nobody may write, by nobody", [](const Scratch& d) { make_node(d / "null", 3, 0644); },
       "null", true, std::string("catalogue: null: ") + std::strerror(EACCES) + "\n", {"null=char 1,3"}},
  };
  for (const auto& c : cases)
    for (const auto& [args, bytes] : {std::pair<std::vector<std::string>, size_t>{{"export", "269", c.path}, 216},
                                      {{"flash-image", c.path}, image.size()}}) {
      Scratch dir;
      c.prepare(dir);
      const Names before = list_dir(dir.path());
      ProcessOptions options = in_dir(dir.path());
      if (c.as_nobody) options = testing_support::as_ordinary_user(options);
      const std::string shown = args[0] + ", " + c.name;
      const ProcessResult r = run_catalogue(args, options);
      if (c.err.empty()) {
        EXPECT_EQ(r.exit_status, 0) << shown << ": " << r.err;
        EXPECT_EQ(r.out, c.path + ": " + std::to_string(bytes) + " bytes written\n") << shown;
      } else {
        expect_failure(r, c.err, shown);
      }
      EXPECT_EQ(list_dir(dir.path()), before) << shown << ": nothing is made beside the node";
      for (const std::string& k : c.kinds) {
        const std::string name = k.substr(0, k.find('='));
        EXPECT_EQ(name + "=" + kind(dir / name), k) << shown;
      }
    }
}

TEST(CatalogueTargets, AFifosReaderGetsExactlyTheBytes) {
  const std::string image = expected_flash_image();  // far more than a pipe holds
  for (const auto& [args, expected] :
       {std::pair<std::vector<std::string>, std::string>{{"flash-image", "fifo"}, image},
        {{"export", "farewell", "fifo"}, pixels(&farewell_bitmap)}}) {
    Scratch dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    // The reading end is open before the run, without waiting for a
    // writer, so that a run that never opens the FIFO cannot leave the test
    // waiting: the reader reads as the bytes come, and once the run is over
    // takes what is left.
    const int fd = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    std::string received;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
      char buffer[65536];
      for (;;) {
        const bool last = finished;
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, size_t(n));
        if (last) break;
        usleep(1000);
      }
    });
    const ProcessResult r = run_catalogue(args, in_dir(dir.path()));
    finished = true;
    reader.join();
    close(fd);
    EXPECT_EQ(r.exit_status, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(received.size(), expected.size()) << args[0];
    EXPECT_TRUE(received == expected) << args[0];
    EXPECT_EQ(kind(dir / "fifo"), "fifo");
    EXPECT_EQ(list_dir(dir.path()), Names{"fifo"});
  }
}

// With no reader, the run waits for one, as cp does: its deadline ends the
// wait, and the test fails naming the run.
TEST(CatalogueTargets, AFifoNobodyReadsHoldsTheRunUntilItsDeadline) {
  Scratch dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  ProcessOptions options = in_dir(dir.path());
  options.deadline = std::chrono::seconds(1);
  ProcessResult r;
  EXPECT_NONFATAL_FAILURE(r = run_catalogue({"export", "269", "fifo"}, options),
                          CATALOGUE_PATH " export 269 fifo: did not end within ");
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_EQ(list_dir(dir.path()), Names{"fifo"});
}

// A block device of the test's own: a loop device over a file in the
// scratch folder, reached through a node made there.
class LoopDevice {
 public:
  // Over a file of size bytes in dir, on a tmpfs of tmpfs_size bytes
  // mounted there when that is not 0. ok() false: could not be made.
  LoopDevice(const std::string& dir, unsigned long size, unsigned long tmpfs_size = 0) : dir_(dir) {
    std::string script = "set -e; cd \"$0\"; ";
    if (tmpfs_size) {
      script += "mkdir m; mount -t tmpfs -o size=" + std::to_string(tmpfs_size) + " tmpfs m; ";
      mounted_ = true;
    }
    script += "truncate -s " + std::to_string(size) + " " + backing() + "; losetup -f --show " + backing();
    const ProcessResult r = testing_support::run_process({"/bin/sh", "-c", script, dir});
    if (r.exit_status != 0 || r.out.empty()) {
      reason_ = r.err;
      return;
    }
    device_ = r.out.substr(0, r.out.find('\n'));
    struct stat st;
    if (stat(device_.c_str(), &st) != 0 || mknod((dir + "/blk").c_str(), S_IFBLK | 0600, st.st_rdev) != 0)
      reason_ = std::string("no node for ") + device_ + ": " + std::strerror(errno);
  }
  ~LoopDevice() {
    std::string script = "cd \"$0\"; ";
    if (!device_.empty()) script += "losetup -d " + device_ + "; ";
    if (mounted_) script += "umount m; ";
    testing_support::run_process({"/bin/sh", "-c", script, dir_});
  }
  bool ok() const { return reason_.empty(); }
  const std::string& reason() const { return reason_; }
  std::string backing() const { return mounted_ ? "m/back.img" : "back.img"; }

 private:
  std::string dir_, device_, reason_;
  bool mounted_ = false;
};

TEST(CatalogueTargets, ABlockDeviceIsWrittenInPlaceAndSyncedBeforeSuccess) {
  if (!testing_support::running_as_root()) GTEST_SKIP() << "loop devices need root";
  {
    Scratch dir;
    LoopDevice loop(dir.path(), 1 << 20);
    if (!loop.ok()) GTEST_SKIP() << "no loop device: " << loop.reason();
    const ProcessResult r = run_catalogue({"export", "269", "blk"}, in_dir(dir.path()));
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "blk: 216 bytes written\n");
    EXPECT_EQ(kind(dir / "blk"), "block");
    EXPECT_EQ(list_dir(dir.path()), (Names{"back.img", "blk"}));
    // Synced: the bytes are in the backing file while the device is still set up.
    EXPECT_TRUE(read_file(dir / "back.img").substr(0, 216) == pixels(bitmap_table[269]));

    // The image does not fit the device: the write past its end fails.
    expect_failure(run_catalogue({"flash-image", "blk"}, in_dir(dir.path())),
                   std::string("catalogue: blk: ") + std::strerror(ENOSPC) + "\n", "flash-image on 1 MiB");
    EXPECT_EQ(kind(dir / "blk"), "block");
  }
  // The device takes the bytes into memory; only the sync finds that its
  // backing file, on a full filesystem, cannot hold them.
  Scratch dir;
  LoopDevice loop(dir.path(), 1 << 20, 16384);
  if (!loop.ok()) GTEST_SKIP() << "no loop device on a small tmpfs: " << loop.reason();
  testing_support::run_process({"/bin/sh", "-c", "head -c 1048576 /dev/zero >\"$0\"/m/fill", dir.path()});
  expect_failure(run_catalogue({"export", "3", "blk"}, in_dir(dir.path())),
                 std::string("catalogue: blk: ") + std::strerror(EIO) + "\n", "sync fails");
}

TEST(CatalogueTargets, DashIsStandardOutputAndTheReportGoesToStandardError) {
  const struct {
    std::vector<std::string> args;
    std::string bytes;
  } cases[] = {
      {{"export", "269", "-"}, pixels(bitmap_table[269])},
      {{"export", "farewell_measured", "-"}, pixels(&farewell_measured_bitmap)},
      {{"flash-image", "-"}, expected_flash_image()},
  };
  for (const auto& c : cases) {
    Scratch dir;
    const std::string shown = c.args[0] + " " + c.args[1];
    const ProcessResult r = run_catalogue(c.args, in_dir(dir.path()));
    EXPECT_EQ(r.exit_status, 0) << shown << ": " << r.err;
    EXPECT_EQ(r.out.size(), c.bytes.size()) << shown;
    EXPECT_TRUE(r.out == c.bytes) << shown;
    EXPECT_EQ(r.err, "standard output: " + std::to_string(c.bytes.size()) + " bytes written\n") << shown;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << shown << ": a file was made";

    ProcessOptions closed = in_dir(dir.path());
    closed.stdout_as = ProcessOptions::Output::closed;
    expect_failure(run_catalogue(c.args, closed),
                   std::string("catalogue: standard output: ") + std::strerror(EBADF) + "\n", shown + ", closed");

    // Pixel bytes would garble a terminal, and are not what its user meant.
    ProcessOptions terminal = in_dir(dir.path());
    terminal.stdout_as = ProcessOptions::Output::terminal;
    const ProcessResult t = run_catalogue(c.args, terminal);
    EXPECT_EQ(t.exit_status, 2) << shown << ", on a terminal";
    EXPECT_EQ(t.out, "") << shown << ", on a terminal";
    EXPECT_EQ(t.err, "catalogue: " + c.args[0] +
                         ": standard output is a terminal: give a FILE, or redirect standard output\n")
        << shown;
    EXPECT_TRUE(list_dir(dir.path()).empty()) << shown;
  }
}

}  // namespace
