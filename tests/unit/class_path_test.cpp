// The class path: fixed entries, then every archive below lib, depth first
// in listing order.
#include "vmconfig/class_path.h"

#include <algorithm>
#include <string>

#include "launcher_fixture.h"

namespace {

const char* const kQuickTime = "C:\\Program Files\\QuickTime\\QTSystem\\";
const char* const kLib = "C:\\Apps\\Veltrana\\lib";
// Everything before the archives found below lib.
const std::string kFixedEntries =
    "-Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;"
    "C:\\Program Files\\QuickTime\\QTSystem\\QTJava.zip;C:\\Java\\jre6;"
    "C:\\Apps\\Veltrana\\;C:\\Apps\\Veltrana\\lib\\;";

class ClassPathTest : public LauncherTest {
 protected:
  std::string build(const std::string& installDir = paths::kInstallDir,
                    const std::string& quickTimeDir = kQuickTime,
                    const char* javaHome = paths::kVendorHome) {
    buildClassPath(installDir, quickTimeDir, javaHome);
    return classPath;
  }

  // The entries after the fixed ones.
  std::string archives() {
    std::string all = build();
    EXPECT_EQ(all.rfind(kFixedEntries, 0), 0u) << all;
    return all.substr(std::min(all.size(), kFixedEntries.size()));
  }
};

TEST_F(ClassPathTest, ArchivesBelowLibFollowTheFixedEntries) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\a.jar");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\sub\\b.zip");

  EXPECT_EQ(build(), kFixedEntries +
                         "C:\\Apps\\Veltrana\\lib\\a.jar;"
                         "C:\\Apps\\Veltrana\\lib\\sub\\b.zip;");
}

TEST_F(ClassPathTest, SubfolderArchivesStandWhereTheSubfolderIsListed) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\z.jar");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\a\\m.zip");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\b.jar");

  EXPECT_EQ(archives(),
            "C:\\Apps\\Veltrana\\lib\\z.jar;C:\\Apps\\Veltrana\\lib\\a\\m.zip;"
            "C:\\Apps\\Veltrana\\lib\\b.jar;");
}

TEST_F(ClassPathTest, ArchiveMarkIsCaseSensitiveAndMayStandAnywhere) {
  for (const char* name : {"D.JAR", "E.Zip", "readme.txt", "e.jar.bak", "notes.zip.txt"}) {
    fake::addFile(std::string(kLib) + "\\" + name);
  }
  // A folder named like an archive is entered, never added itself; the
  // mark in its name makes every file below it count.
  fake::addFile("C:\\Apps\\Veltrana\\lib\\x.jar\\inner.txt");

  EXPECT_EQ(archives(),
            "C:\\Apps\\Veltrana\\lib\\e.jar.bak;C:\\Apps\\Veltrana\\lib\\notes.zip.txt;"
            "C:\\Apps\\Veltrana\\lib\\x.jar\\inner.txt;");
}

TEST_F(ClassPathTest, MarkInTheInstallFolderAddsEveryFile) {
  fake::addFile("C:\\Old.zip.d\\Veltrana\\lib\\readme.txt");
  fake::addFile("C:\\Old.zip.d\\Veltrana\\lib\\data\\table.dat");

  EXPECT_EQ(build("C:\\Old.zip.d\\Veltrana"),
            "-Djava.class.path=C:\\Old.zip.d\\Veltrana\\Veltrana.jar;"
            "C:\\Program Files\\QuickTime\\QTSystem\\QTJava.zip;C:\\Java\\jre6;"
            "C:\\Old.zip.d\\Veltrana\\;C:\\Old.zip.d\\Veltrana\\lib\\;"
            "C:\\Old.zip.d\\Veltrana\\lib\\readme.txt;"
            "C:\\Old.zip.d\\Veltrana\\lib\\data\\table.dat;");
}

TEST_F(ClassPathTest, MissingOrEmptyLibEndsWithTheLibEntry) {
  EXPECT_EQ(build(), kFixedEntries);

  startOver();
  fake::addFolder(kLib);
  EXPECT_EQ(build(), kFixedEntries);
}

TEST_F(ClassPathTest, QuickTimeFolderAndRuntimeHomeAreTakenAsGiven) {
  EXPECT_EQ(build(paths::kInstallDir, "D:\\QT\\QTSystem", ""),
            "-Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;D:\\QT\\QTSystemQTJava.zip;;"
            "C:\\Apps\\Veltrana\\;C:\\Apps\\Veltrana\\lib\\;");
}

TEST_F(ClassPathTest, FlatLibIsListedOnceWithNoDescent) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\a.jar");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\b.jar");

  EXPECT_EQ(archives(), "C:\\Apps\\Veltrana\\lib\\a.jar;C:\\Apps\\Veltrana\\lib\\b.jar;");
  // "." and ".." lead nowhere.
  EXPECT_EQ(fake::listingsOpened(), std::vector<std::string>{"C:\\Apps\\Veltrana\\lib\\"});
}

TEST_F(ClassPathTest, FolderLinkBackToAnAncestorEndsTheDescent) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\a.jar");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\sub\\b.jar");
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\sub\\up", kLib);
  // Links elsewhere are followed like any folder, even to a folder the
  // scan has already been through.
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\again", "C:\\Apps\\Veltrana\\lib\\sub");
  fake::addFile("D:\\Shared\\s.jar");
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\shared", "D:\\Shared");

  EXPECT_EQ(archives(),
            "C:\\Apps\\Veltrana\\lib\\a.jar;C:\\Apps\\Veltrana\\lib\\sub\\b.jar;"
            "C:\\Apps\\Veltrana\\lib\\again\\b.jar;"
            "C:\\Apps\\Veltrana\\lib\\shared\\s.jar;");
}

TEST_F(ClassPathTest, UnlistableSubfolderAndVanishedEntries) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\locked\\hidden.jar");
  fake::denyListing("C:\\Apps\\Veltrana\\lib\\locked");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\b.jar");
  // Entries that are gone by the time they are looked at count as files.
  fake::setListing(kLib, {"locked", "gone.jar", "gone", "b.jar"});

  EXPECT_EQ(archives(), "C:\\Apps\\Veltrana\\lib\\gone.jar;C:\\Apps\\Veltrana\\lib\\b.jar;");
}

}  // namespace
