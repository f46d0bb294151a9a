// The launch from start to end on the in-memory Windows: stage order,
// the install folder, and the last-error box.
#include "launcher/launch_sequence.h"

#include <algorithm>
#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "recording_observer.h"

namespace {

using LaunchSequenceTest = LauncherTest;

TEST_F(LaunchSequenceTest, CompleteLaunchRunsEveryStageOnceInOrderAndExitsZero) {
  setUpWorkingMachine();
  RecordingObserver observer;
  setLaunchObserver(&observer);

  EXPECT_EQ(launch(), 0);

  // Each stage tells its beginning and its decisions, in order.
  EXPECT_EQ(observer.events,
            (std::vector<std::string>{
                "stage 1", "guard held", "stage 2", "stage 3", "stage 4",
                "runtime vendor key C:\\Java\\jre6 C:\\Java\\jre6\\bin\\client\\jvm.dll 1.6",
                "stage 5", "stage 6", "policy written C:\\Temp\\Veltrana.exe.policy 0", "stage 7",
                "scan C:\\Apps\\Veltrana\\lib\\ entered 0 revisited 0 unreadable 1 seen 0 "
                "unnamed 0 without status 0 added 0 split 0",
                "stage 8", "current folder C:\\Users\\ann", "stage 9", "stage 10", "exit 0"}));

  // One marker call per stage, each made once, in the order of the stages.
  const std::vector<std::string> stages = {
      "createMutex Veltrana.jar",
      "createThread",
      "getModuleFileName",
      "regOpenKey SOFTWARE\\Orrindale",
      std::string("regOpenKey ") + paths::kVendorKey,
      std::string("loadLibrary ") + paths::kVendorVm,
      std::string("regOpenKey ") + paths::kQuickTimeKey,
      "unlinkFile C:\\Temp\\Veltrana.exe.policy",
      "openFile C:\\Temp\\Veltrana.exe.policy wb",
      "openDirectory C:\\Apps\\Veltrana\\lib\\",
      "setCurrentDirectory C:\\Users\\ann",
      "JNI_CreateJavaVM",
      "FindClass com/kvn/vt/Veltrana",
      "CallStaticVoidMethod com/kvn/vt/Veltrana",
      "DestroyJavaVM",
      "releaseCommandLine",
  };
  int previous = -1;
  for (const std::string& stage : stages) {
    int at = fake::eventIndex(stage);
    EXPECT_GT(at, previous) << stage;
    EXPECT_EQ(std::count(fake::events().begin(), fake::events().end(), stage), 1) << stage;
    previous = at;
  }
  EXPECT_EQ(fake::events().front(), "createMutex Veltrana.jar");
  EXPECT_EQ(fake::events().back(), "releaseCommandLine");
  EXPECT_TRUE(fake::messageBoxes().empty());
  EXPECT_FALSE(fake::fileExists(paths::kSessionLog));
}

TEST_F(LaunchSequenceTest, InstallFolderIsTheExecutablesFolder) {
  struct Case {
    std::string modulePath;
    std::string currentDirectory;
    std::string installDir;
    std::string box{};
  };
  const std::string deep = "D:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
  const Case cases[] = {
      {"C:\\Apps\\Veltrana\\Veltrana.exe", "C:\\Work", "C:\\Apps\\Veltrana"},
      // Longer than the 259 characters of a classic path buffer.
      {deep + "\\Veltrana.exe", "C:\\Work", deep},
      {"C:\\Veltrana.exe", "C:\\Work", "C:"},
      // No folder in the path: the current folder, with no separator at the end.
      {"Veltrana.exe", "D:\\Work", "D:\\Work"},
      {"Veltrana.exe", "D:\\", "D:"},
      // ';' would split every class-path entry built on the folder: its short
      // form, and without one it counts as a path with no usable form.
      {"C:\\Apps\\A;B\\Veltrana.exe", "C:\\Work", "C:\\Apps\\AB~1"},
      {"C:\\Apps\\C;D\\Veltrana.exe", "C:\\Work", "C:\\Work", "Error 1113 text"},
  };
  for (const Case& c : cases) {
    startOver();
    fake::addFile("C:\\Apps\\A;B\\Veltrana.exe", "MZ");
    fake::addFile("C:\\Apps\\C;D\\Veltrana.exe", "MZ");
    fake::setShortName("C:\\Apps\\A;B", "AB~1");
    fake::setModulePath(c.modulePath);
    fake::setCurrentDirectoryValue(c.currentDirectory);
    // An error left over from an earlier call is no failure of this one.
    platform::setLastError(5);

    EXPECT_EQ(findInstallDir(), c.installDir) << c.modulePath;
    EXPECT_EQ(fake::messageBoxes().empty() ? "" : fake::messageBoxes().at(0).text, c.box)
        << c.modulePath;
  }
}

TEST_F(LaunchSequenceTest, FailedPathLookupShowsTheSystemTextAndTheLaunchGoesOn) {
  setUpWorkingMachine();
  fake::failModulePath(5);

  EXPECT_EQ(launch(), 0);

  ASSERT_EQ(fake::messageBoxes().size(), 1u);
  EXPECT_EQ(fake::messageBoxes()[0].caption, "Error");
  EXPECT_EQ(fake::messageBoxes()[0].text, "Error 5 text");
  // Nothing is logged for it, and the launch reaches main.
  EXPECT_FALSE(fake::fileExists(paths::kSessionLog));
  EXPECT_TRUE(fakejni::mainCall().called);
  // With no path at all, the install folder is the current folder.
  EXPECT_EQ(vmOption(0).rfind("-Djava.class.path=C:\\Work\\Veltrana.jar;", 0), 0u);
}

TEST_F(LaunchSequenceTest, CutPathStillGivesItsFolderAfterTheBox) {
  setUpWorkingMachine();
  fake::failModulePath(122, "C:\\Apps\\Veltrana\\Velt");

  EXPECT_EQ(launch(), 0);

  ASSERT_EQ(fake::messageBoxes().size(), 1u);
  EXPECT_EQ(fake::messageBoxes()[0].text, "Error 122 text");
  EXPECT_EQ(vmOption(0).rfind("-Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;", 0), 0u);
}

TEST_F(LaunchSequenceTest, PathsTheCodePageCannotCarryReachTheVmInTheirShortForm) {
  // Chinese and Polish names under code page 1252, reached by the A calls
  // under their short names; "café" is carried as it is.
  const std::u16string install = u"C:\\Apps\\\u5E94\u7528\\Veltrana";
  const std::u16string profile = u"C:\\Users\\\u0141ukasz";
  struct Case {
    const char* what;
    bool shortNames;
    std::string classPathStart;
    std::string libraryPath;
    std::string policyOption;
    std::string errorFileOption;
  };
  const Case cases[] = {
      {"short names", true, "-Djava.class.path=C:\\Apps\\E5BA~1\\Veltrana\\Veltrana.jar;",
       "-Djava.library.path=\".;C:\\Apps\\E5BA~1\\Veltrana\\lib;C:\\Tools;C:\\5DE5~1;C:\\Windows;"
       "C:\\Programmes caf\xE9\\QuickTime\\QTSystem\\\"",
       "-Djava.security.policy=file:/C:/Users/UKASZ~1/Temp/Veltrana.exe.policy",
       "-XX:ErrorFile=C:\\Users\\UKASZ~1\\Logs\\Veltrana.exe_error%p.log"},
      // Without short names each path counts as unknown or unset: the install
      // folder is the current one (after the box).
      {"no short names", false, "-Djava.class.path=C:\\Work\\Veltrana.jar;",
       "-Djava.library.path=\".;C:\\Work\\lib;C:\\Tools;C:\\Windows;"
       "C:\\Programmes caf\xE9\\QuickTime\\QTSystem\\\"",
       "", "-XX:ErrorFile=\\Logs\\Veltrana.exe_error%p.log"},
  };
  for (const Case& c : cases) {
    startOver();
    setUpWorkingMachine();
    // Named in UTF-8; the A calls reach them by their short names only.
    fake::addFile("C:\\Apps\\应用\\Veltrana\\Veltrana.exe", "MZ");
    fake::addFolder("C:\\Users\\Łukasz\\Temp");
    fake::addFolder("C:\\工具");
    fake::setWideOnlyName("C:\\Apps\\应用", c.shortNames ? "E5BA~1" : "");
    fake::setWideOnlyName("C:\\Users\\Łukasz", c.shortNames ? "UKASZ~1" : "");
    fake::setWideOnlyName("C:\\工具", c.shortNames ? "5DE5~1" : "");
    fake::setModulePathWide(install + u"\\Veltrana.exe");
    fake::setEnvWide("USERPROFILE", profile);
    fake::setEnvWide("TEMP", profile + u"\\Temp");
    fake::setEnvWide("PATH", u"C:\\Tools;C:\\\u5DE5\u5177;D:\\\u5E93;C:\\Windows");
    fake::setEnvWide("ProgramFiles", u"C:\\Programmes caf\u00E9");

    EXPECT_EQ(launch(), 0) << c.what;

    EXPECT_EQ(vmOption(0).rfind(c.classPathStart, 0), 0u) << c.what << ": " << vmOption(0);
    EXPECT_EQ(vmOption(1), c.libraryPath) << c.what;
    if (!c.policyOption.empty()) {
      EXPECT_EQ(vmOption(3), c.policyOption) << c.what;
    }
    EXPECT_EQ(vmOption(4), c.errorFileOption) << c.what;
    if (c.shortNames) {
      EXPECT_TRUE(fake::messageBoxes().empty());
      EXPECT_NE(fake::fileContents("C:\\Users\\UKASZ~1\\Temp\\Veltrana.exe.policy")
                    .find("grant codeBase \"file:/C:/Apps/E5BA~1/Veltrana/-\""),
                std::string::npos);
    } else {
      EXPECT_EQ(fake::messageBoxes().at(0).text, "Error 1113 text");
    }
  }
}

TEST_F(LaunchSequenceTest, DoubleByteCharactersStayWholeInEveryStage) {
  // Second byte 0x5C in code page 932: ソ 83 5C, 表 95 5C, 能 94 5C, 十 8F 5C.
  // (Under 1252 each 0x5C is a separator: see the ansi_text tests.)
  const std::string so = "\x83\x5C", hyo = "\x95\x5C", no = "\x94\x5C", ju = "\x8F\x5C";
  fake::setAnsiCodePage(932);
  setUpWorkingMachine();
  // The executable renamed 表.exe in the folder ソ, with the maker's key
  // naming a folder that is gone and a runtime in the Java folder beside.
  fake::setModulePath("C:\\Apps\\" + so + "\\" + hyo + ".exe");
  fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", "C:\\Gone");
  fakejni::installVmLibrary("C:\\Apps\\Java\\jre1.6.0_02\\bin\\client\\jvm.dll");
  fake::addFile("C:\\Apps\\" + so + "\\lib\\" + ju + "\\a.jar");
  fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "D:\\" + no + "\\");
  fake::setEnv("PATH", "C:\\Windows;C:\\Tools\\" + hyo);
  fake::addFolder("C:\\" + hyo + no);
  fake::setEnv("TEMP", "C:\\" + hyo + no);
  fake::addFolder("C:\\" + ju + so);
  fake::setEnv("USERPROFILE", "C:\\" + ju + so);

  EXPECT_EQ(launch(), 0);

  const std::string install = "C:\\Apps\\" + so, lib = install + "\\lib\\";
  EXPECT_EQ(vmOption(0), "-Djava.class.path=" + install + "\\Veltrana.jar;D:\\" + no +
                             "\\QTJava.zip;C:\\Apps\\Java\\jre1.6.0_02;" + install + "\\;" + lib +
                             ";" + lib + ju + "\\a.jar;");
  EXPECT_EQ(vmOption(1), "-Djava.library.path=\".;" + install + "\\lib;C:\\Windows;C:\\Tools\\" +
                             hyo + ";D:\\" + no + "\\\"");
  EXPECT_EQ(vmOption(3), "-Djava.security.policy=file:/C:/" + hyo + no + "/Veltrana.exe.policy");
  EXPECT_EQ(vmOption(4), "-XX:ErrorFile=C:\\" + ju + so + "\\Logs\\Veltrana.exe_error%p.log");
  EXPECT_EQ(fake::currentDirectory(), "C:\\" + ju + so);
  const std::string policy = fake::fileContents("C:\\" + hyo + no + "\\Veltrana.exe.policy");
  EXPECT_NE(policy.find("\"file:/C:/Apps/" + so + "/-\""), std::string::npos);
  EXPECT_NE(policy.find("\"file:/D:/" + no + "/-\""), std::string::npos);
}

}  // namespace
