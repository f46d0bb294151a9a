// The security policy file in the temporary folder and the two security
// options.
#include "vmconfig/policy_file.h"

#include <string>

#include "launcher_fixture.h"

namespace {

const char* const kProgramFilesInstall = "C:\\Program Files\\Veltrana";
const char* const kQuickTime = "C:\\Program Files\\QuickTime\\QTSystem\\";

std::string policyFor(const std::string& installGrant, const std::string& quickTimeGrant) {
  return "//Give this directory security permissions\r\n"
         "grant codeBase \"file:/" +
         installGrant +
         "-\" {\r\n"
         "\tpermission java.security.AllPermission;\r\n"
         "};\r\n"
         "\r\n"
         "//Give QuickTime security permissions\r\n"
         "grant codeBase \"file:/" +
         quickTimeGrant +
         "-\" {\r\n"
         "\tpermission java.security.AllPermission;\r\n"
         "};\r\n";
}

class PolicyFileTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    fake::addFolder(paths::kTemp);
    fake::setEnv("TEMP", paths::kTemp);
  }

  // Both stages, as the launch runs them.
  void writeAndBuild(const std::string& installDir, const std::string& quickTimeDir) {
    std::string policyFilePath = writePolicyFile(installDir, quickTimeDir);
    buildSecurityOptions(policyFilePath, managerOption, policyOption);
  }

  std::string managerOption;
  std::string policyOption;
};

TEST_F(PolicyFileTest, FileGrantsTheInstallFolderAndQuickTime) {
  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile),
            policyFor("C:/Program%20Files/Veltrana/", "C:/Program%20Files/QuickTime/QTSystem/"));
  EXPECT_EQ(managerOption, "-Djava.security.manager");
  EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy");
}

TEST_F(PolicyFileTest, QuickTimeFolderWithoutTrailingBackslash) {
  writeAndBuild("C:\\Apps\\Veltrana", "D:\\QT\\QTSystem");

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile),
            policyFor("C:/Apps/Veltrana/", "D:/QT/QTSystem"));
}

TEST_F(PolicyFileTest, PercentSignsInFolderNamesReachTheFileAsThemselves) {
  writeAndBuild("C:\\100%s %n\\%%dir", "D:\\%d%x\\");

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile), policyFor("C:/100%s%20%n/%%dir/", "D:/%d%x/"));
}

TEST_F(PolicyFileTest, EarlierFileIsReplacedWhenItCanBeDeleted) {
  fake::addFile(paths::kPolicyFile, policyFor("C:/Old/Place/", "C:/Old/QuickTime/") + "extra");

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile),
            policyFor("C:/Program%20Files/Veltrana/", "C:/Program%20Files/QuickTime/QTSystem/"));
}

TEST_F(PolicyFileTest, UndeletableEarlierFileIsKeptAndStillNamed) {
  const std::string earlier = "grant { permission java.security.AllPermission; };\n";
  fake::addFile(paths::kPolicyFile, earlier);
  fake::makeUndeletable(paths::kPolicyFile);

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile), earlier);
  EXPECT_EQ(fake::countEvents("openFile"), 0);
  // Both ways of deleting were tried.
  EXPECT_LT(fake::eventIndex("unlinkFile C:\\Temp\\Veltrana.exe.policy"),
            fake::eventIndex("removeFile C:\\Temp\\Veltrana.exe.policy"));
  EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy");
}

TEST_F(PolicyFileTest, PolicyOptionForATempFolderWithBlanks) {
  const std::string temp = "C:\\Documents and Settings\\ann\\Local Settings\\Temp";
  fake::addFolder(temp);
  fake::setEnv("TEMP", temp);

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_TRUE(fake::fileExists(temp + "\\Veltrana.exe.policy"));
  EXPECT_EQ(policyOption,
            "-Djava.security.policy=file:/C:/Documents%20and%20Settings/ann/"
            "Local%20Settings/Temp/Veltrana.exe.policy");
}

TEST_F(PolicyFileTest, TempFolderMustFitItsBuffer) {
  const std::string longest = "C:\\" + std::string(256, 't');  // 259 characters
  fake::addFolder(longest);
  fake::addFolder(longest + "t");
  fake::setEnv("TEMP", longest);
  writeAndBuild(kProgramFilesInstall, kQuickTime);
  EXPECT_TRUE(fake::fileExists(longest + "\\Veltrana.exe.policy"));

  fake::setEnv("TEMP", longest + "t");
  writeAndBuild(kProgramFilesInstall, kQuickTime);
  EXPECT_FALSE(fake::fileExists(longest + "t\\Veltrana.exe.policy"));
  EXPECT_EQ(fake::countEvents("openFile"), 1);
}

TEST_F(PolicyFileTest, NoTempFolderMeansNoFile) {
  fake::unsetEnv("TEMP");

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_EQ(fake::countEvents("openFile"), 0);
  EXPECT_EQ(fake::countEvents("unlinkFile"), 0);
  EXPECT_EQ(managerOption, "-Djava.security.manager");
}

TEST_F(PolicyFileTest, FileThatCannotBeOpenedGetsNothingWritten) {
  fake::failOpening(paths::kPolicyFile);

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  // A write to the failed stream would show as a misuse of the fake.
  EXPECT_FALSE(fake::fileExists(paths::kPolicyFile));
  EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy");
}

TEST(FileUrlPathTest, BackslashesAndBlanksOnly) {
  struct Case {
    std::string path;
    std::string single;
    std::string doubled;
  };
  const Case cases[] = {
      {"", "", ""},
      {"abc", "abc", "abc"},
      {"C:", "C:", "C:"},
      {"C:\\Program Files\\Veltrana\\", "C:/Program%20Files/Veltrana/",
       "C:/Program%%20Files/Veltrana/"},
      {"C:\\a   b", "C:/a%20%20%20b", "C:/a%%20%%20%%20b"},
      {" \\ ", "%20/%20", "%%20/%%20"},
      {"D:\\50% off\\", "D:/50%%20off/", "D:/50%%%20off/"},
  };
  for (const Case& c : cases) {
    std::string single = c.path;
    toFileUrlPath(single, false);
    EXPECT_EQ(single, c.single) << c.path;
    std::string doubled = c.path;
    toFileUrlPath(doubled, true);
    EXPECT_EQ(doubled, c.doubled) << c.path;
  }
}

}  // namespace
