// The search path, QuickTime's folder and the native library path.
#include "vmconfig/search_path.h"

#include <string>

#include "launcher_fixture.h"
#include "vmconfig/library_path.h"

namespace {

using SearchPathTest = LauncherTest;

TEST_F(SearchPathTest, PathLosesItsTrailingBackslashesAndItsQuotes) {
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Windows;C:\\Tools\\\\\\", "C:\\Windows;C:\\Tools"},
      {"C:\\A\\;C:\\B", "C:\\A\\;C:\\B"},  // only the end of the whole value
      {"C:\\A;C:\\B;", "C:\\A;C:\\B;"},
      {"\\", ""},
      {"\\\\\\", ""},
      {"", ""},
      // Each quote becomes a blank; the length stays.
      {"C:\\x;\"C:\\Program Files\\y\"", "C:\\x; C:\\Program Files\\y "},
      // The cut comes first, so a backslash before a final quote stays.
      {"C:\\x\\\"", "C:\\x\\ "},
  };
  for (const Case& c : cases) {
    fake::setEnv("PATH", c.path);
    EXPECT_EQ(readSearchPath(), c.expected) << c.path;
  }
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
  };
  for (const Case& c : cases) {
    startOver();
    fake::setEnv("ProgramFiles", "C:\\Program Files");
    c.arrange();

    EXPECT_EQ(findQuickTimeDir(), "C:\\Program Files\\QuickTime\\QTSystem\\") << c.what;
  }
}

TEST_F(SearchPathTest, WithoutAnAbsoluteBaseThereIsNoQuickTimeFolder) {
  const std::string longest = "C:\\" + std::string(256, 'p');  // 259 characters
  const std::string tooLong = longest + "p";
  struct Case {
    const char* qtExtDir;      // null: no key
    const char* programFiles;  // null: unset
    std::string expected;
  };
  const Case cases[] = {
      {nullptr, longest.c_str(), longest + "\\QuickTime\\QTSystem\\"},
      {nullptr, tooLong.c_str(), ""},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
      // Relative bases would name a folder of the current drive, or a host.
      {nullptr, "Program Files", ""},
      {nullptr, "\\Program Files", ""},
      {nullptr, "C:Program Files", ""},
      {"", "C:\\Program Files", "C:\\Program Files\\QuickTime\\QTSystem\\"},
      {"QT\\", "C:\\Program Files", "C:\\Program Files\\QuickTime\\QTSystem\\"},
      {"\\QT\\", nullptr, ""},
      {"", nullptr, ""},
      {"\\\\server\\qt\\", nullptr, "\\\\server\\qt\\"},
  };
  for (const Case& c : cases) {
    startOver();
    if (c.qtExtDir != nullptr) {
      fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", c.qtExtDir);
    }
    if (c.programFiles != nullptr) {
      fake::setEnv("ProgramFiles", c.programFiles);
    }
    EXPECT_EQ(findQuickTimeDir(), c.expected)
        << (c.qtExtDir ? c.qtExtDir : "-") << " " << (c.programFiles ? c.programFiles : "-");
  }
}

TEST_F(SearchPathTest, QuickTimeFolderWithTheListSeparatorTakesItsShortFormOrIsLeftOut) {
  for (bool shortName : {true, false}) {
    startOver();
    fake::addFolder("D:\\QT;x\\QTSystem");
    if (shortName) {
      fake::setShortName("D:\\QT;x", "QTX~1");
    }
    fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "D:\\QT;x\\QTSystem\\");
    EXPECT_EQ(findQuickTimeDir(), shortName ? "D:\\QTX~1\\QTSystem\\" : "") << shortName;

    startOver();
    fake::addFolder("C:\\Prog;s\\QuickTime\\QTSystem");
    if (shortName) {
      fake::setShortName("C:\\Prog;s", "PROGS~1");
    }
    fake::setEnv("ProgramFiles", "C:\\Prog;s");
    EXPECT_EQ(findQuickTimeDir(), shortName ? "C:\\PROGS~1\\QuickTime\\QTSystem\\" : "")
        << shortName;
  }
}

TEST_F(SearchPathTest, LibraryPathIsCurrentFolderLibSearchPathAndQuickTime) {
  fake::setEnv("PATH", "C:\\Windows\\system32;C:\\Windows\\");

  EXPECT_EQ(buildLibraryPath(paths::kInstallDir, readSearchPath(),
                             "C:\\Program Files\\QuickTime\\QTSystem\\"),
            "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;C:\\Windows\\system32;C:\\Windows;"
            "C:\\Program Files\\QuickTime\\QTSystem\\\"");
}

TEST_F(SearchPathTest, NoQuickTimeFolderGivesNoEntry) {
  fake::setEnv("PATH", "C:\\Windows\\system32;C:\\Windows\\");

  EXPECT_EQ(buildLibraryPath(paths::kInstallDir, readSearchPath(), ""),
            "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;C:\\Windows\\system32;C:\\Windows\"");
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
