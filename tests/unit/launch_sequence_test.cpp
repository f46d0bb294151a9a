// The launch from start to end on the in-memory Windows: stage order,
// the install folder, and the last-error box.
#include "launcher/launch_sequence.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "platform/trace_output.h"

namespace {

using LaunchSequenceTest = LauncherTest;

TEST_F(LaunchSequenceTest, CompleteLaunchRunsEveryStageOnceInOrderAndExitsZero) {
  setUpWorkingMachine();

  EXPECT_EQ(launch(), 0);

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
    unsigned codePage = 1252;
  };
  const std::string so = "\x83\x5C";  // ソ in 932, "ƒ\\" in 1252
  const std::string deep = "D:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
  const Case cases[] = {
      {"C:\\Apps\\Veltrana\\Veltrana.exe", "C:\\Work", "C:\\Apps\\Veltrana"},
      // Longer than the 259 characters of a classic path buffer.
      {deep + "\\Veltrana.exe", "C:\\Work", deep},
      {"C:\\Veltrana.exe", "C:\\Work", "C:"},
      // No folder in the path: the current folder, with no separator at the end.
      {"Veltrana.exe", "D:\\Work", "D:\\Work"},
      {"Veltrana.exe", "D:\\", "D:"},
      // In 932 a second byte 0x5C belongs to its character: no separator.
      {"C:\\" + so + ".exe", "C:\\Work", "C:", 932},
      {"Veltrana.exe", "D:\\" + so + "\\", "D:\\" + so, 932},
  };
  for (const Case& c : cases) {
    startOver();
    fake::setAnsiCodePage(c.codePage);
    fake::setModulePath(c.modulePath);
    fake::setCurrentDirectoryValue(c.currentDirectory);
    // An error left over from an earlier call is no failure of this one.
    platform::setLastError(5);

    EXPECT_EQ(findInstallDir(), c.installDir) << c.modulePath;
    EXPECT_TRUE(fake::messageBoxes().empty()) << c.modulePath;
  }
}

// ';' in the install folder would split every class-path entry built on
// it: the executable's path comes in its short form, which holds none, and
// without one it counts as a path with no usable form.
TEST_F(LaunchSequenceTest, InstallFolderHoldingTheListSeparatorIsItsShortForm) {
  fake::addFile("C:\\Apps\\A;B\\Veltrana.exe", "MZ");
  fake::setShortName("C:\\Apps\\A;B", "AB~1");
  fake::setModulePath("C:\\Apps\\A;B\\Veltrana.exe");
  EXPECT_EQ(findInstallDir(), "C:\\Apps\\AB~1");
  EXPECT_TRUE(fake::messageBoxes().empty());

  fake::addFile("C:\\Apps\\C;D\\Veltrana.exe", "MZ");
  fake::setModulePath("C:\\Apps\\C;D\\Veltrana.exe");
  EXPECT_EQ(findInstallDir(), "C:\\Work");
  EXPECT_EQ(fake::messageBoxes().at(0).text, "Error 1113 text");
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
  // The same bytes under 1252 are "ƒ\", "•\", "”\" and a control and "\":
  // there every 0x5C is a separator, as it always was.
  const std::string so = "\x83\x5C", hyo = "\x95\x5C", no = "\x94\x5C", ju = "\x8F\x5C";
  struct Case {
    unsigned codePage;
    std::string installDir;
    std::string javaHome;
    std::string searchPath;
    std::string policyDir;  // the TEMP folder as a file URL
    std::string installGrant;
    std::string quickTimeGrant;
    std::string archives;    // found in lib
    std::string workingDir;  // the profile folder, as the machine names it
  };
  const Case cases[] = {
      {932, "C:\\Apps\\" + so, "C:\\Apps\\Java\\jre1.6.0_02", "C:\\Windows;C:\\Tools\\" + hyo,
       "C:/" + hyo + no, "C:/Apps/" + so + "/", "D:/" + no + "/",
       "C:\\Apps\\" + so + "\\lib\\" + ju + "\\a.jar;", "C:\\" + ju + so},
      // Under 1252 the folders are ƒ\•, •\”\ and so on: no lib folder there.
      {1252, "C:\\Apps\\" + so + "\\\x95", paths::kVendorHome, "C:\\Windows;C:\\Tools\\\x95",
       "C:/\x95/\x94/", "C:/Apps/\x83//\x95/", "D:/\x94//", "", "C:\\\x8F\\\x83"},
  };
  for (const Case& c : cases) {
    startOver();
    fake::setAnsiCodePage(c.codePage);
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

    EXPECT_EQ(launch(), 0) << c.codePage;

    const std::string lib = c.installDir + "\\lib\\";
    EXPECT_EQ(vmOption(0), "-Djava.class.path=" + c.installDir + "\\Veltrana.jar;D:\\" + no +
                               "\\QTJava.zip;" + c.javaHome + ";" + c.installDir + "\\;" + lib +
                               ";" + c.archives)
        << c.codePage;
    EXPECT_EQ(vmOption(1), "-Djava.library.path=\".;" + c.installDir + "\\lib;" + c.searchPath +
                               ";D:\\" + no + "\\\"")
        << c.codePage;
    EXPECT_EQ(vmOption(3), "-Djava.security.policy=file:/" + c.policyDir + "/Veltrana.exe.policy")
        << c.codePage;
    EXPECT_EQ(vmOption(4), "-XX:ErrorFile=C:\\" + ju + so + "\\Logs\\Veltrana.exe_error%p.log")
        << c.codePage;
    EXPECT_EQ(fake::currentDirectory(), c.workingDir) << c.codePage;
    const std::string policy = fake::fileContents("C:\\" + hyo + no + "\\Veltrana.exe.policy");
    EXPECT_NE(policy.find("\"file:/" + c.installGrant + "-\""), std::string::npos) << c.codePage;
    EXPECT_NE(policy.find("\"file:/" + c.quickTimeGrant + "-\""), std::string::npos) << c.codePage;
  }
}

// What the trace says for a good launch and for each kind of failure. The
// trace is a real file; the launch runs on the in-memory machine.
TEST_F(LaunchSequenceTest, TraceExplainsEachOutcome) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int exitCode;
    std::vector<std::string> lines;
  };
  const std::string vendor = paths::kVendorKey;
  const Case cases[] = {
      {"good launch",
       [] {},
       0,
       {"launcher version ",
        "stage 1 begun: single-instance guard",
        "guard: the name",
        "install folder: C:\\Apps\\Veltrana",
        "registry key SOFTWARE\\Orrindale: not opened, error 2",
        "registry value " + vendor + "\\CurrentVersion: REG_SZ, 4 bytes",
        "registry value " + vendor + "\\CurrentVersion = \"1.6\"",
        "runtime chosen: the Java vendor's key, CurrentVersion \"1.6\"; home \"C:\\Java\\jre6\"",
        "does not exist: C:\\Java\\jre6\\bin\\msvcr71.dll",
        "library loaded: C:\\Java\\jre6\\bin\\client\\jvm.dll",
        "entry point JNI_CreateJavaVM: found",
        "policy file C:\\Temp\\Veltrana.exe.policy: written",
        "class-path scan of C:\\Apps\\Veltrana\\lib\\: 2 folders entered, 9 entries seen, 2 "
        "archives added, 1 folders skipped as already visited, 1 folders unreadable",
        "VM option 1: -Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;",
        "VM option 7: -Xmx512m",
        "JNI_CreateJavaVM returned 0 after ",
        "class com/kvn/vt/Veltrana: found",
        "main returned after ",
        "DestroyJavaVM returned 0",
        "stage 10 ended: exit",
        "exit code 0"}},
      {"name taken",
       [] { fake::takeMutexName("Veltrana.jar"); },
       1,
       {"guard: another launch holds the name", "stage 1 ended", "exit code 1"}},
      {"no vendor key",
       [] { fake::denyRegistryKey(paths::kVendorKey); },
       1,
       {"registry key " + vendor + ": not opened, error 5",
        "message box: Fatal Error Launching: Can't locate JRE[Java Runtime Environment]",
        "stage 4 ends the launch: exit code 1"}},
      {"version too long",
       [] { fake::setRegistryText(paths::kVendorKey, "CurrentVersion", std::string(90, '9')); },
       1,
       {"CurrentVersion: refused, it does not fit its buffer of 80 bytes",
        "Can't locate JRE[CurrentVersion]"}},
      {"VM library fails",
       [] { fake::failLibrary(paths::kVendorVm); },
       1,
       {"library not loaded: C:\\Java\\jre6\\bin\\client\\jvm.dll: error ", "Error loading JVM"}},
      {"policy file kept",
       [] {
         fake::addFile(paths::kPolicyFile);
         fake::makeUndeletable(paths::kPolicyFile);
       },
       0,
       {"policy file C:\\Temp\\Veltrana.exe.policy: kept"}},
      {"refused paths",
       [] {
         fake::failModulePath(122, "C:\\A;B\\Veltrana.exe");  // taken as it is
         fake::addFile("C:\\A;B\\lib\\a.jar");
         fake::setRegistryText(paths::kVendorVersionKey, "JavaHome", "jre6");
         fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "");
         fake::addFolder(paths::kPolicyFile);
       },
       0,
       {"install folder \"C:\\A;B\": holds the path-list separator, which a Java class path "
        "cannot express",
        "refused: JavaHome \"jre6\": not an absolute path", "refused: QTExtDir \"\": empty",
        "refused: policy file \"C:\\Temp\\Veltrana.exe.policy\": not a regular file",
        "refused: class-path entry \"C:\\A;B\\lib\\a.jar\": holds the path-list separator"}},
      {"creation fails",
       [] { fakejni::behaviour().createResult = JNI_ENOMEM; },
       1,
       {"JNI_CreateJavaVM returned -4 after ", "Can't create Java VM ", "stage 8 ends the launch"}},
      {"main class missing",
       [] { fakejni::behaviour().mainClassMissing = true; },
       1,
       {"class com/kvn/vt/Veltrana: not found, pending exception java.lang.NoClassDefFoundError",
        "Failed to find main class"}},
      {"main throws",
       [] { fakejni::behaviour().mainThrows = true; },
       0,
       {"pending exception java.lang.IllegalStateException", "exit code 0"}},
      {"TEMP with no form in the code page",
       [] {
         fake::setWideOnlyName("C:\\\u5DE5", "");
         fake::setEnvWide("TEMP", u"C:\\\u5DE5");
       },
       0,
       {"platform: \"C:\\\u5DE5\" has no form in the ANSI code page, not even a short one: left "
        "out"}},
      {"lib name that reaches a device",
       [] { fake::addFile("C:\\Apps\\Veltrana\\lib\\com1.jar"); },
       0,
       {"platform: left out: com1.jar: a reserved device name"}},
  };
  const std::string tracePath = ::testing::TempDir() + "veltrana_unit_trace.txt";
  for (const Case& c : cases) {
    startOver();
    setUpWorkingMachine();
    fake::addFolder("C:\\Apps\\Veltrana\\lib\\sub");
    fake::addFile("C:\\Apps\\Veltrana\\lib\\a.jar");
    fake::addFile("C:\\Apps\\Veltrana\\lib\\sub\\b.zip");
    fake::denyListing("C:\\Apps\\Veltrana\\lib\\sub\\c");
    fake::addFolder("C:\\Apps\\Veltrana\\lib\\sub\\c");
    fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\sub\\loop", "C:\\Apps\\Veltrana\\lib");
    c.arrange();
    std::remove(tracePath.c_str());
    fake::setEnv("VELTRANA_TRACE", tracePath);

    EXPECT_EQ(launch(), c.exitCode) << c.name;
    platform::closeTraceOutput();

    std::ifstream file(tracePath);
    std::stringstream trace;
    trace << file.rdbuf();
    for (const std::string& line : c.lines) {
      EXPECT_NE(trace.str().find(line), std::string::npos) << c.name << ": " << line << "\n"
                                                           << trace.str();
    }
    // The session log and the box say what they always say.
    if (c.exitCode == 1 && std::string(c.name) != "name taken") {
      EXPECT_EQ(fake::messageBoxes().size(), 1u) << c.name;
    }
  }
  // Only in trace mode does the VM get its print, exit and abort hooks.
  EXPECT_EQ(fakejni::creation().nOptions, 10);
  EXPECT_EQ(vmOption(7), "vfprintf");

  // Unset or empty: nothing written, the seven options alone.
  for (const char* setting : {"", static_cast<const char*>(nullptr)}) {
    startOver();
    setUpWorkingMachine();
    std::remove(tracePath.c_str());
    if (setting != nullptr) {
      fake::setEnv("VELTRANA_TRACE", setting);
    }
    EXPECT_EQ(launch(), 0);
    EXPECT_FALSE(platform::traceOutputOpen());
    EXPECT_FALSE(std::ifstream(tracePath).good());
    EXPECT_EQ(fakejni::creation().nOptions, 7);
  }
}

}  // namespace
