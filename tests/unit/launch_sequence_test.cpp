// The launch from start to end on the in-memory Windows: stage order,
// the install folder, and the last-error box.
#include "launcher/launch_sequence.h"

#include <algorithm>
#include <string>
#include <vector>

#include "launcher_fixture.h"

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
  };
  for (const Case& c : cases) {
    startOver();
    fake::setModulePath(c.modulePath);
    fake::setCurrentDirectoryValue(c.currentDirectory);
    // An error left over from an earlier call is no failure of this one.
    platform::setLastError(5);

    EXPECT_EQ(findInstallDir(), c.installDir) << c.modulePath;
    EXPECT_TRUE(fake::messageBoxes().empty()) << c.modulePath;
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

}  // namespace
