// The VM's options, its working folder, and a failed creation.
#include "vm/vm_creation.h"

#include <string>
#include <vector>

#include "launcher_fixture.h"

namespace {

using VmCreationTest = LauncherTest;

TEST_F(VmCreationTest, VmReceivesTheSevenOptionsInTheProfileFolder) {
  setUpWorkingMachine();

  ASSERT_EQ(launch(), 0);

  const fakejni::Creation& creation = fakejni::creation();
  EXPECT_EQ(creation.calls, 1);
  EXPECT_EQ(creation.version, 0x00010004);
  EXPECT_EQ(creation.nOptions, 7);
  EXPECT_EQ(creation.ignoreUnrecognized, JNI_TRUE);
  EXPECT_EQ(creation.options,
            (std::vector<std::string>{
                "-Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;"
                "C:\\Program Files\\QuickTime\\QTSystem\\QTJava.zip;C:\\Java\\jre6;"
                "C:\\Apps\\Veltrana\\;C:\\Apps\\Veltrana\\lib\\;",
                "-Djava.library.path=\".;C:\\Apps\\Veltrana\\lib;C:\\Windows\\system32;"
                "C:\\Windows;C:\\Program Files\\QuickTime\\QTSystem\\\"",
                "-Djava.security.manager",
                "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy",
                "-XX:ErrorFile=C:\\Users\\ann\\Logs\\Veltrana.exe_error%p.log",
                "-Xms256m",
                "-Xmx512m",
            }));
  EXPECT_EQ(creation.extraInfoSet, std::vector<bool>(7, false));
  EXPECT_EQ(creation.currentDirectory, "C:\\Users\\ann");
  // The error-file option does not create the Logs folder.
  EXPECT_FALSE(fake::folderExists("C:\\Users\\ann\\Logs"));

  // Creation hands over as many options as it is given.
  startOver();
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  createJavaVm(fakejni::createJavaVmEntry(), {"-Da=1", "-Db=2", "-Dc=3"}, &vm, &env);
  EXPECT_EQ(fakejni::creation().nOptions, 3);
  EXPECT_EQ(fakejni::creation().options, (std::vector<std::string>{"-Da=1", "-Db=2", "-Dc=3"}));
}

TEST_F(VmCreationTest, ProfileFolderThatIsUnsetTooLongOrMissing) {
  struct Case {
    const char* what;
    bool set;
    std::string profile;
    bool folder;
    std::string errorFileOption;
    std::string directoryAtCreation;
  };
  const std::string longest = "C:\\" + std::string(256, 'u');  // 259 characters
  const Case cases[] = {
      // Not at the drive's root: in the folder that took the policy file.
      {"unset", false, "", false, "-XX:ErrorFile=C:\\Temp\\Veltrana.exe_error%p.log", "C:\\Work"},
      {"empty", true, "", false, "-XX:ErrorFile=C:\\Temp\\Veltrana.exe_error%p.log", "C:\\Work"},
      // Relative: below the start folder; counts as unset.
      {"relative", true, "prof", false, "-XX:ErrorFile=C:\\Temp\\Veltrana.exe_error%p.log",
       "C:\\Work"},
      {"259 characters", true, longest, true,
       "-XX:ErrorFile=" + longest + "\\Logs\\Veltrana.exe_error%p.log", longest},
      // Too long for the working-folder buffer, but the option takes it all.
      {"260 characters", true, longest + "u", true,
       "-XX:ErrorFile=" + longest + "u\\Logs\\Veltrana.exe_error%p.log", "C:\\Work"},
      {"missing folder", true, "C:\\Users\\gone", false,
       "-XX:ErrorFile=C:\\Users\\gone\\Logs\\Veltrana.exe_error%p.log", "C:\\Work"},
      // The VM expands "%p" anywhere in the option: a "%" of the folder is doubled.
      {"percent signs", true, "C:\\Users\\p%p%%", true,
       "-XX:ErrorFile=C:\\Users\\p%%p%%%%\\Logs\\Veltrana.exe_error%p.log", "C:\\Users\\p%p%%"},
  };
  for (const Case& c : cases) {
    startOver();
    setUpWorkingMachine();
    if (c.set) {
      fake::setEnv("USERPROFILE", c.profile);
    } else {
      fake::unsetEnv("USERPROFILE");
    }
    if (c.folder) {
      fake::addFolder(c.profile);
    }

    EXPECT_EQ(launch(), 0) << c.what;

    EXPECT_EQ(vmOption(4), c.errorFileOption) << c.what;
    EXPECT_EQ(fakejni::creation().currentDirectory, c.directoryAtCreation) << c.what;
  }
}

TEST_F(VmCreationTest, RefusedCreationIsFatalAndTheVmIsNotTouched) {
  // A negative result, or success with a null VM or a null environment.
  struct Case {
    jint result;
    bool vmNull;
    bool envNull;
  };
  for (const Case& c :
       {Case{JNI_ERR, false, false}, Case{JNI_ENOMEM, false, false}, Case{JNI_EINVAL, false, false},
        Case{JNI_OK, true, false}, Case{JNI_OK, false, true}}) {
    const jint result = c.result;
    startOver();
    setUpWorkingMachine();
    fakejni::behaviour().createResult = c.result;
    fakejni::behaviour().createLeavesVmNull = c.vmNull;
    fakejni::behaviour().createLeavesEnvNull = c.envNull;

    EXPECT_EQ(launch(), 1) << result;

    EXPECT_TRUE(fakejni::calls().empty()) << result;
    ASSERT_EQ(fake::messageBoxes().size(), 1u);
    EXPECT_EQ(fake::messageBoxes()[0].text, "Fatal Error Launching: Can't create Java VM ");
    EXPECT_NE(sessionLog().find("\r\r\nFatal Error Launching: Can't create Java VM \r\r\n"),
              std::string::npos);
  }
}

TEST_F(VmCreationTest, PositiveCreationResultCountsAsSuccess) {
  setUpWorkingMachine();
  fakejni::behaviour().createResult = 1;

  EXPECT_EQ(launch(), 0);
  EXPECT_TRUE(fakejni::mainCall().called);
}

}  // namespace
