// The search path, QuickTime's folder and the native library path.
#include "vmconfig/search_path.h"

#include <string>

#include "launcher_fixture.h"
#include "vmconfig/library_path.h"

namespace {

using SearchPathTest = LauncherTest;

TEST_F(SearchPathTest, PathLosesItsTrailingBackslashesQuotesAndRelativeEntries) {
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Windows;C:\\Tools\\\\\\", "C:\\Windows;C:\\Tools"},
      {"C:\\A\\;C:\\B", "C:\\A\\;C:\\B"},  // only the end of the whole value
      {"C:\\A;C:\\B;", "C:\\A;C:\\B"},
      {"\\", ""},
      {"\\\\\\", ""},
      {"", ""},
      // Quotes go; one holding ';' by its short form, else left out.
      {"C:\\x;\"C:\\Program Files\\y\"", "C:\\x;C:\\Program Files\\y"},
      {"C:\\x;\"C:\\t\\a;b\";\"C:\\t\\c;d\";C:\\y", "C:\\x;C:\\t\\AB~1;C:\\y"},
      // The cut comes first, so a backslash before a final quote stays.
      {"C:\\x\\\"", "C:\\x\\"},
      // Relative or empty, an entry would be looked for in the start folder.
      {"bin;C:\\x;;.;C:rel;\\rooted;\\\\srv", "C:\\x"},
  };
  fake::addFolder("C:\\t\\a;b");
  fake::setShortName("C:\\t\\a;b", "AB~1");
  fake::addFolder("C:\\t\\c;d");
  fake::addFolder("C:\\\xe4\xb8\xad;b");
  fake::setShortName("C:\\\xe4\xb8\xad;b", "ZB~1");
  for (const Case& c : cases) {
    fake::setEnv("PATH", c.path);
    EXPECT_EQ(readSearchPath(), c.expected) << c.path;
  }
  // Outside the code page too, where the Windows layer converts each entry.
  fake::setEnvWide("PATH", u"C:\\x;\"C:\\\u4e2d;b\";C:\\y");
  EXPECT_EQ(readSearchPath(), "C:\\x;C:\\ZB~1;C:\\y");
  fake::unsetEnv("PATH");
  EXPECT_EQ(readSearchPath(), "");
}

TEST_F(SearchPathTest, QuickTimeFolderComesFromItsKeyExactlyAsStored) {
  const std::string exactlyFull = "D:\\" + std::string(1020, 'q');  // 1024 bytes with terminator
  for (const std::string& stored :
       {std::string("D:\\QT\\QTSystem\\"), std::string("D:\\QT\\QTSystem"), exactlyFull}) {
    startOver();
    fake::setEnv("ProgramFiles", "C:\\Program Files");
    fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", stored);

    EXPECT_EQ(findQuickTimeDir(), stored);
  }
}

TEST_F(SearchPathTest, QuickTimeFolderFallsBackUnderProgramFiles) {
  struct Case {
    const char* what;
    void (*arrange)();
  };
  const Case cases[] = {
      {"no key", [] {}},
      {"key refused", [] { fake::denyRegistryKey(paths::kQuickTimeKey); }},
      {"no QTExtDir", [] { fake::addRegistryKey(paths::kQuickTimeKey); }},
      {"QTExtDir not text",
       [] {
         fake::setRegistryValue(paths::kQuickTimeKey, "QTExtDir", platform::kRegDword,
                                std::string("\x10\0\0\0", 4));
       }},
      {"QTExtDir larger than its buffer",
       [] {
         fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "D:\\" + std::string(1021, 'q'));
       }},
      // Relative, it would be a folder of the current drive or a network host.
      {"QTExtDir empty", [] { fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", ""); }},
      {"QTExtDir relative",
       [] { fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "QT\\"); }},
  };
  for (const Case& c : cases) {
    startOver();
    fake::setEnv("ProgramFiles", "C:\\Program Files");
    c.arrange();

    EXPECT_EQ(findQuickTimeDir(), "C:\\Program Files\\QuickTime\\QTSystem\\") << c.what;
  }
}

TEST_F(SearchPathTest, ProgramFilesThatIsUnsetTooLongOrRelativeGivesNoFolder) {
  const std::string longest = "C:\\" + std::string(256, 'p');  // 259 characters
  fake::setEnv("ProgramFiles", longest);
  EXPECT_EQ(findQuickTimeDir(), longest + "\\QuickTime\\QTSystem\\");

  for (const std::string& base :
       {longest + "p", std::string("\\Program Files"), std::string("P")}) {
    fake::setEnv("ProgramFiles", base);
    EXPECT_EQ(findQuickTimeDir(), "") << base;
  }
  fake::unsetEnv("ProgramFiles");
  EXPECT_EQ(findQuickTimeDir(), "");

  // A folder whose path holds the list separator: its short form, or none.
  fake::addFolder("C:\\P;s\\QuickTime\\QTSystem");
  fake::setEnv("ProgramFiles", "C:\\P;s");
  EXPECT_EQ(findQuickTimeDir(), "");
  fake::setShortName("C:\\P;s", "PS~1");
  EXPECT_EQ(findQuickTimeDir(), "C:\\PS~1\\QuickTime\\QTSystem\\");
}

TEST_F(SearchPathTest, LibraryPathIsCurrentFolderLibSearchPathAndQuickTime) {
  fake::setEnv("PATH", "C:\\Windows\\system32;C:\\Windows\\");

  EXPECT_EQ(buildLibraryPath(paths::kInstallDir, readSearchPath(),
                             "C:\\Program Files\\QuickTime\\QTSystem\\"),
            "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;C:\\Windows\\system32;C:\\Windows;"
            "C:\\Program Files\\QuickTime\\QTSystem\\\"");
  // No QuickTime folder, no entry.
  EXPECT_EQ(buildLibraryPath(paths::kInstallDir, "C:\\Windows", ""),
            "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;C:\\Windows\"");
}

TEST_F(SearchPathTest, EmptySearchPathLeavesAnEmptyEntry) {
  for (const char* path : {"\\", ""}) {
    fake::setEnv("PATH", path);
    EXPECT_EQ(buildLibraryPath(paths::kInstallDir, readSearchPath(),
                               "C:\\Program Files\\QuickTime\\QTSystem\\"),
              "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;;"
              "C:\\Program Files\\QuickTime\\QTSystem\\\"")
        << path;
  }
}

}  // namespace
