// The class path: fixed entries, then every archive below lib, depth first
// in listing order.
#include "vmconfig/class_path.h"

#include <algorithm>
#include <string>

#include "launcher_fixture.h"
#include "recording_observer.h"

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

  // No QuickTime folder: no entry. A home with the list separator: its
  // short form, else nothing, never two entries.
  for (const std::string home : {"", "D:\\RT~1;"}) {
    startOver();
    fake::addFolder("D:\\R;t");
    if (!home.empty()) {
      fake::setShortName("D:\\R;t", "RT~1");
    }
    EXPECT_EQ(build(paths::kInstallDir, "", "D:\\R;t"),
              "-Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;" + home +
                  "C:\\Apps\\Veltrana\\;C:\\Apps\\Veltrana\\lib\\;");
  }
  // An archive whose path still holds it (here through the install folder)
  // is skipped, and counted.
  startOver();
  fake::addFile("C:\\A;B\\lib\\x.jar");
  RecordingObserver observer;
  setLaunchObserver(&observer);
  EXPECT_EQ(build("C:\\A;B", "", ""),
            "-Djava.class.path=C:\\A;B\\Veltrana.jar;;C:\\A;B\\;C:\\A;B\\lib\\;");
  ASSERT_FALSE(observer.events.empty());
  EXPECT_NE(observer.events.back().find(" split 1"), std::string::npos) << observer.events.back();
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
  // Links elsewhere are followed like any folder, but a folder the scan
  // has already been through is not entered again.
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\again", "C:\\Apps\\Veltrana\\lib\\sub");
  fake::addFile("D:\\Shared\\s.jar");
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\shared", "D:\\Shared");
  // A plain folder first entered once a link has been met is known too.
  fake::addFile("C:\\Apps\\Veltrana\\lib\\later\\c.jar");
  fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\tolater", "C:\\Apps\\Veltrana\\lib\\later");

  EXPECT_EQ(archives(),
            "C:\\Apps\\Veltrana\\lib\\a.jar;C:\\Apps\\Veltrana\\lib\\sub\\b.jar;"
            "C:\\Apps\\Veltrana\\lib\\shared\\s.jar;C:\\Apps\\Veltrana\\lib\\later\\c.jar;");
}

TEST_F(ClassPathTest, OnlyRegularFilesAreAddedAndOnlyLinksNeedTheirStatus) {
  const std::string lib = std::string(kLib) + "\\";
  fake::addFile(lib + "a.jar");
  fake::addSpecialFile(lib + "pipe.jar");  // opening it would block the VM
  fake::addFile("D:\\Jars\\real.jar");
  fake::addFolderLink(lib + "link.jar", "D:\\Jars\\real.jar");
  fake::addFolderLink(lib + "dangling.jar", "D:\\Jars\\gone.jar");
  // Status that cannot be read (a path too long for the ANSI calls): a
  // folder the listing names is still entered; a link is left alone.
  fake::addFile(lib + "deep.jar.d\\in.jar");
  fake::failStatus(lib + "deep.jar.d");
  fake::addFile("D:\\Far\\far.jar");
  fake::addFolderLink(lib + "far.jar.d", "D:\\Far");
  fake::failStatus("D:\\Far");

  EXPECT_EQ(archives(), lib + "a.jar;" + lib + "link.jar;" + lib + "deep.jar.d\\in.jar;");
  EXPECT_EQ(fake::pathsStatted(),
            (std::vector<std::string>{lib + "link.jar", lib + "dangling.jar", lib + "far.jar.d"}));
}

// A listed name the code page cannot hold, a device name (any case, any
// extension), a name Win32 would strip of its final dot or blank, or one
// holding ';' would make the entry name nothing or reach something else: it
// is given by its short name when that is free of all this, else left out
// and counted as unnamed.
TEST_F(ClassPathTest, ListedNamesArriveAsThemselvesAsShortNamesOrNotAtAll) {
  const std::string lib = std::string(kLib) + "\\";
  fake::addFile(lib + "caf\xe9.jar");  // held by the code page: as it is
  fake::addFile(lib + "\xe4\xb8\xad\xe6\x96\x87.jar");
  fake::setWideOnlyName(lib + "\xe4\xb8\xad\xe6\x96\x87.jar", "4E2D~1.JAR");
  fake::addFile(lib + "\xe6\x97\xa5\xe6\x9c\xac\\x.jar");
  fake::setWideOnlyName(lib + "\xe6\x97\xa5\xe6\x9c\xac", "65E5~1");
  fake::addFile(lib + "\xed\x95\x9c.jar");
  fake::setWideOnlyName(lib + "\xed\x95\x9c.jar", "");  // no short name
  // The mark is looked for in the long name, with its case.
  fake::addFile(lib + "\xe4\xb8\xad.JAR");
  fake::setWideOnlyName(lib + "\xe4\xb8\xad.JAR", "4E2D~2.JAR");
  for (const char* name : {"NUL.jar", "com1.jar", "Aux.tar.zip", "lpt9.JAR.jar", "trail2.jar ",
                           "c;d.jar", "con.jar"}) {
    fake::addFile(lib + name);
  }
  fake::setShortName(lib + "con.jar", "CON.JAR");  // still a device
  fake::addFile(lib + "trail.jar.");
  fake::setShortName(lib + "trail.jar.", "TRAIL~1.JAR");
  fake::addFile(lib + "a;b.jar");
  fake::setShortName(lib + "a;b.jar", "AB~1.JAR");
  fake::addFile(lib + "x;y\\in.jar");
  fake::setShortName(lib + "x;y", "XY~1");
  fake::addFile(lib + "same.jar.");
  fake::setShortName(lib + "same.jar.", "same.jar.");  // no other form
  RecordingObserver observer;
  setLaunchObserver(&observer);

  EXPECT_EQ(archives(), lib + "caf\xe9.jar;" + lib + "4E2D~1.JAR;" + lib + "65E5~1\\x.jar;" + lib +
                            "TRAIL~1.JAR;" + lib + "AB~1.JAR;" + lib + "XY~1\\in.jar;");
  ASSERT_EQ(observer.events.size(), 1u);
  EXPECT_NE(observer.events[0].find(" unnamed 9 "), std::string::npos) << observer.events[0];
}

TEST_F(ClassPathTest, UnlistableSubfolderAndVanishedEntries) {
  fake::addFile("C:\\Apps\\Veltrana\\lib\\locked\\hidden.jar");
  fake::denyListing("C:\\Apps\\Veltrana\\lib\\locked");
  fake::addFile("C:\\Apps\\Veltrana\\lib\\b.jar");
  // Entries that are gone by the time they are looked at count as files.
  fake::setListing(kLib, {"locked", "gone.jar", "gone", "b.jar"});
  RecordingObserver observer;
  setLaunchObserver(&observer);

  EXPECT_EQ(archives(), "C:\\Apps\\Veltrana\\lib\\gone.jar;C:\\Apps\\Veltrana\\lib\\b.jar;");
  // The scan hands what it met to the observer.
  EXPECT_EQ(observer.events, std::vector<std::string>{
                                 "scan C:\\Apps\\Veltrana\\lib\\ entered 1 revisited 0 "
                                 "unreadable 1 seen 6 unnamed 0 without status 0 added 2 split 0"});
}

}  // namespace
