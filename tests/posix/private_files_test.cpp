// Files and folders: the private temporary folder, the never-through-a-link
// policy file, directory listings and the lib scan over folder links.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "diag/session_log.h"
#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "posix_test_support.h"
#include "vmconfig/class_path.h"
#include "vmconfig/policy_file.h"

namespace {

using PrivateFilesTest = PosixLayerTest;

std::string tempFolderName() { return "veltrana-" + std::to_string(geteuid()); }

// getTempFolder's answer, or "<refused>".
std::string tempFolder() {
  char buffer[1024];
  unsigned long length = platform::getTempFolder(buffer, sizeof buffer);
  if (length == 0) {
    return "<refused>";
  }
  EXPECT_LT(length, sizeof buffer);
  return std::string(buffer, length);
}

TEST_F(PrivateFilesTest, TempFolderIsCreatedForTheUserAlone) {
  EXPECT_EQ(tempFolder(), path(tempFolderName()));
  struct stat status;
  ASSERT_EQ(lstat(path(tempFolderName()).c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(status.st_uid, geteuid());
  // Asked again, the same folder serves.
  EXPECT_EQ(tempFolder(), path(tempFolderName()));
}

TEST_F(PrivateFilesTest, TempFolderFollowsTheSizeContract) {
  std::string expected = path(tempFolderName());
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(platform::getTempFolder(buffer, sizeof buffer), expected.size() + 1);
  EXPECT_EQ(buffer[0], 'x');

  std::vector<char> exact(expected.size() + 1);
  EXPECT_EQ(platform::getTempFolder(exact.data(), exact.size()), expected.size());
  EXPECT_STREQ(exact.data(), expected.c_str());
}

TEST_F(PrivateFilesTest, TempFolderThatOthersCouldTamperWithIsRefused) {
  std::string folder = path(tempFolderName());
  // No other private place to fall back on.
  setEnv("HOME", nullptr);

  // A link planted in its place, even to a folder of ours.
  makeFolder("elsewhere");
  chmod(path("elsewhere").c_str(), 0700);
  ASSERT_EQ(symlink(path("elsewhere").c_str(), folder.c_str()), 0);
  EXPECT_EQ(tempFolder(), "<refused>");
  unlink(folder.c_str());

  // A file in its place.
  writeText(folder, "not a folder");
  EXPECT_EQ(tempFolder(), "<refused>");
  unlink(folder.c_str());

  // A folder others may write to.
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  chmod(folder.c_str(), 0777);
  EXPECT_EQ(tempFolder(), "<refused>");
  chmod(folder.c_str(), 0720);
  EXPECT_EQ(tempFolder(), "<refused>");
  chmod(folder.c_str(), 0755);  // readable by others is fine
  EXPECT_EQ(tempFolder(), folder);

  // A folder of another user.
  chmod(folder.c_str(), 0700);
  EXPECT_FALSE(platform::isPrivateFolder(folder.c_str(), geteuid() + 1));
  if (geteuid() == 0) {
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(tempFolder(), "<refused>");
  }
}

TEST_F(PrivateFilesTest, TempFolderTakenOrTooLongFallsBackToAFolderOfTheUsersOwn) {
  // Someone else's file where our folder belongs: the runtime folder serves.
  writeText(path(tempFolderName()), "taken");
  makeFolder("runtime");
  chmod(path("runtime").c_str(), 0700);
  setEnv("XDG_RUNTIME_DIR", path("runtime").c_str());
  EXPECT_EQ(tempFolder(), path("runtime"));
  // Without one, a folder under HOME, made for the user alone.
  setEnv("XDG_RUNTIME_DIR", nullptr);
  EXPECT_EQ(tempFolder(), path("home/.veltrana"));
  struct stat status;
  ASSERT_EQ(lstat(path("home/.veltrana").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(writePolicyFile("/opt/V", "/opt/qt/"), path("home/.veltrana/Veltrana.exe.policy"));

  // Our folder is there but too long for the caller: the shorter one serves.
  unlink(path(tempFolderName()).c_str());
  setEnv("XDG_RUNTIME_DIR", path("runtime").c_str());
  std::vector<char> buffer(path("runtime").size() + 1);
  EXPECT_EQ(platform::getTempFolder(buffer.data(), buffer.size()), path("runtime").size());
  EXPECT_EQ(std::string(buffer.data()), path("runtime"));
}

TEST_F(PrivateFilesTest, PrivateFileIsNeverWrittenThroughALink) {
  writeText(path("victim"), "precious");
  ASSERT_EQ(symlink(path("victim").c_str(), path("planted").c_str()), 0);
  EXPECT_EQ(platform::createPrivateFile(path("planted").c_str()), nullptr);
  EXPECT_EQ(readText(path("victim")), "precious");

  // A dangling link must not create its target either.
  ASSERT_EQ(symlink(path("not-yet").c_str(), path("dangling").c_str()), 0);
  EXPECT_EQ(platform::createPrivateFile(path("dangling").c_str()), nullptr);
  EXPECT_NE(access(path("not-yet").c_str(), F_OK), 0);
}

TEST_F(PrivateFilesTest, PrivateFileReplacesOldContentAndIsOwnerOnly) {
  writeText(path("policy"), "an old and much longer content");
  platform::FileHandle file = platform::createPrivateFile(path("policy").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(platform::writeFile(file, "a\r\nb", 4));
  EXPECT_TRUE(platform::closeFile(file));
  EXPECT_EQ(readText(path("policy")), "a\r\nb");

  // A full device: the buffered bytes cannot reach it, and closing says so.
  platform::FileHandle full = platform::openFile("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  platform::writeFile(full, "a", 1);
  EXPECT_FALSE(platform::closeFile(full));

  platform::FileHandle fresh = platform::createPrivateFile(path("fresh").c_str());
  ASSERT_NE(fresh, nullptr);
  platform::closeFile(fresh);
  struct stat status;
  ASSERT_EQ(stat(path("fresh").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0077, 0u);
}

TEST_F(PrivateFilesTest, PolicyFileLandsInThePrivateTempFolder) {
  std::string policyPath = writePolicyFile("/opt/Veltrana", "/opt/qt/");
  EXPECT_EQ(policyPath, path(tempFolderName() + "/Veltrana.exe.policy"));
  EXPECT_NE(readText(policyPath).find("grant codeBase \"file:/opt/Veltrana/-\" {\r\n"),
            std::string::npos);

  // A double quote would end the quoted grant, and a backslash is part of
  // the name here, not a separator.
  writePolicyFile("/opt/a\"b\\c %#${x}", "/opt/qt/");
  EXPECT_NE(readText(policyPath).find("\"file:/opt/a%22b%5Cc%20%25%23%24{x}/-\""),
            std::string::npos)
      << readText(policyPath);
}

// Runs a shell command with the system's own PATH, not the test's.
int shell(const std::string& command) {
  return system(("PATH=/usr/sbin:/usr/bin:/sbin:/bin; " + command).c_str());
}

TEST_F(PrivateFilesTest, PolicyFileTriesEachPrivateFolderInTurn) {
  // The private temp folder on a full file system, where the file could
  // only be cut short; then a folder in its place in the runtime folder.
  makeFolder("full");
  bool mounted =
      geteuid() == 0 && shell("mount -t tmpfs -o size=16k tmpfs " + path("full") + " 2>&1") == 0;
  if (mounted) {
    setEnv("TMPDIR", path("full").c_str());
    makeFolder("full/" + tempFolderName());
    chmod(path("full/" + tempFolderName()).c_str(), 0700);
    shell("dd if=/dev/zero of=" + path("full/fill") + " bs=4k count=8 2>/dev/null");
  } else {
    makeFolder(tempFolderName() + "/Veltrana.exe.policy/taken");
  }
  makeFolder("runtime/Veltrana.exe.policy/taken");
  chmod(path("runtime").c_str(), 0700);
  setEnv("XDG_RUNTIME_DIR", path("runtime").c_str());
  EXPECT_EQ(writePolicyFile("/opt/V", "/opt/qt/"), path("home/.veltrana/Veltrana.exe.policy"));
  EXPECT_NE(readText(path("home/.veltrana/Veltrana.exe.policy")).find("file:/opt/V/-"),
            std::string::npos);
  if (mounted) {
    EXPECT_NE(access(path("full/" + tempFolderName() + "/Veltrana.exe.policy").c_str(), F_OK), 0);
    shell("umount " + path("full"));
  }
}

TEST_F(PrivateFilesTest, SessionLogIsTheUsersAloneAndNeverFollowsALink) {
  // Under umask 000 the Logs folder would otherwise be open to all, and a
  // link planted in it would carry the entry into another file.
  mode_t umaskBefore = umask(0);
  logLaunchError("first", false);
  struct stat status;
  ASSERT_EQ(lstat(path("home/Logs").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  std::string log = path("home/Logs/Veltrana Session Log.txt");
  ASSERT_EQ(stat(log.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_NE(readText(log).find("first"), std::string::npos);

  writeText(path("home/.profile"), "precious");
  unlink(log.c_str());
  ASSERT_EQ(symlink(path("home/.profile").c_str(), log.c_str()), 0);
  logLaunchError("through the link", false);
  EXPECT_EQ(readText(path("home/.profile")), "precious");

  // A Logs folder others may write to takes no entry.
  unlink(log.c_str());
  chmod(path("home/Logs").c_str(), 0777);
  logLaunchError("into a shared folder", false);
  EXPECT_NE(access(log.c_str(), F_OK), 0);
  umask(umaskBefore);
}

TEST_F(PrivateFilesTest, ListingHasDotEntriesAndRefusesNonFolders) {
  makeFolder("list/sub");
  writeText(path("list/a.jar"), "");
  platform::DirectoryHandle listing = platform::openDirectory(path("list/").c_str());
  ASSERT_NE(listing, nullptr);
  std::vector<std::string> names;
  platform::DirectoryEntry entry;
  while (platform::readDirectory(listing, entry)) {
    names.push_back(entry.name);
  }
  platform::closeDirectory(listing);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.jar", "sub"}));

  EXPECT_EQ(platform::openDirectory(path("missing/").c_str()), nullptr);
  EXPECT_EQ(platform::openDirectory(path("list/a.jar/").c_str()), nullptr);

  bool isFolder = false;
  EXPECT_EQ(platform::statPath(path("list/sub").c_str(), &isFolder), 0);
  EXPECT_TRUE(isFolder);
  EXPECT_EQ(platform::statPath(path("list/a.jar").c_str(), &isFolder), 0);
  EXPECT_FALSE(isFolder);
  EXPECT_EQ(platform::statPath(path("list/none").c_str(), &isFolder), -1);
}

TEST_F(PrivateFilesTest, LibScanEndsOnLinkLoopsAndListsEachArchiveOnce) {
  makeFolder("app/lib/sub/deeper");
  writeText(path("app/lib/a.jar"), "");
  writeText(path("app/lib/sub/b.zip"), "");
  writeText(path("app/lib/sub/deeper/c.jar"), "");
  // Links back to the folder itself and to ancestors at several depths.
  ASSERT_EQ(symlink(".", path("app/lib/self").c_str()), 0);
  ASSERT_EQ(symlink("..", path("app/lib/sub/up").c_str()), 0);
  ASSERT_EQ(symlink("../..", path("app/lib/sub/deeper/top").c_str()), 0);
  // A link to an archive counts as the archive; a pipe, or a link whose
  // target is gone, is no archive whatever its name.
  ASSERT_EQ(symlink("a.jar", path("app/lib/alias.jar").c_str()), 0);
  ASSERT_EQ(symlink("missing.jar", path("app/lib/dangling.jar").c_str()), 0);
  ASSERT_EQ(mkfifo(path("app/lib/pipe.jar").c_str(), 0600), 0);
  // A name that is not UTF-8 names nothing the VM can open.
  writeText(path("app/lib/\xff.jar"), "");
  writeText(path("app/lib/sub/caf\xe9.jar"), "");

  classPath.clear();
  addArchivesInDirectory(path("app/lib/"));
  std::string scanned = classPath;
  classPath.clear();

  for (const char* archive : {"a.jar", "alias.jar", "sub/b.zip", "sub/deeper/c.jar"}) {
    std::string entry = path("app/lib/") + archive + ":";
    std::size_t first = scanned.find(entry);
    EXPECT_NE(first, std::string::npos) << archive << " in " << scanned;
    EXPECT_EQ(scanned.find(entry, first + 1), std::string::npos) << archive << " in " << scanned;
  }
  EXPECT_EQ(std::count(scanned.begin(), scanned.end(), ':'), 4) << scanned;
}

}  // namespace
