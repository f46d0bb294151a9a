// The security policy file in the temporary folder and the two security
// options.
#include "vmconfig/policy_file.h"

#include <string>

#include "launcher_fixture.h"
#include "recording_observer.h"

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

TEST_F(PolicyFileTest, QuickTimeFolderWithoutTrailingBackslashOrWithoutAFolder) {
  writeAndBuild("C:\\Apps\\Veltrana", "D:\\QT\\QTSystem");

  EXPECT_EQ(fake::fileContents(paths::kPolicyFile),
            policyFor("C:/Apps/Veltrana/", "D:/QT/QTSystem"));

  // No folder, no grant: the install folder's grant stays as it was.
  writeAndBuild("C:\\Apps\\Veltrana", "");
  const std::string full = policyFor("C:/Apps/Veltrana/", "");
  EXPECT_EQ(fake::fileContents(paths::kPolicyFile), full.substr(0, full.find("//Give QuickTime")));
}

TEST_F(PolicyFileTest, PercentHashAndDollarAreEncodedInTheGrantsAndTheOption) {
  // Raw, the VM's policy parser would read them as escapes, a fragment and
  // a property to expand, and the grant would never match.
  const std::string temp = "C:\\T%1 #${tmp}";
  fake::addFolder(temp);
  fake::setEnv("TEMP", temp);

  writeAndBuild("C:\\100%s %n\\%%dir", "D:\\#1\\${user.home}\\");

  EXPECT_EQ(fake::fileContents(temp + "\\Veltrana.exe.policy"),
            policyFor("C:/100%25s%20%25n/%25%25dir/", "D:/%231/%24{user.home}/"));
  EXPECT_EQ(policyOption,
            "-Djava.security.policy=file:/C:/T%251%20%23%24{tmp}/Veltrana.exe.policy");
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

TEST_F(PolicyFileTest, UnusableTempFallsBackToTheSystemTempFolder) {
  // GetTempPath's folder is TMP here; "-" leaves TEMP unset, and the last
  // case cannot create the file in TEMP.
  const std::string long260 = "C:\\" + std::string(257, 't');
  // Relative folders ("tmprel", "C:tmprel", "\\x\\rooted") would be met in
  // the start folder while the option names the drive's root.
  for (const std::string temp : {"-", "", long260.c_str(), "C:\\AFile", "C:\\Gone", paths::kTemp,
                                 "tmprel", "C:tmprel", "\\x\\rooted"}) {
    startOver();
    fake::addFile("C:\\AFile");
    fake::failOpening(paths::kPolicyFile);
    fake::addFolder("C:\\Tmp");
    fake::setEnv("TMP", "C:\\Tmp\\");
    temp == "-" ? fake::unsetEnv("TEMP") : fake::setEnv("TEMP", temp);

    writeAndBuild(kProgramFilesInstall, kQuickTime);
    EXPECT_EQ(fake::fileContents("C:\\Tmp\\Veltrana.exe.policy"),
              policyFor("C:/Program%20Files/Veltrana/", "C:/Program%20Files/QuickTime/QTSystem/"))
        << temp;
    EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Tmp/Veltrana.exe.policy") << temp;
  }
}

TEST_F(PolicyFileTest, FileThatCannotBeWrittenAnywhereIsLoggedAndTheLaunchGoesOn) {
  fake::addFolder(paths::kProfile);
  fake::setEnv("USERPROFILE", paths::kProfile);
  fake::failOpening(paths::kPolicyFile);
  fake::failOpening("C:\\Tmp\\Veltrana.exe.policy");
  fake::addFolder("C:\\Tmp");
  fake::setEnv("TMP", "C:\\Tmp");
  RecordingObserver observer;
  setLaunchObserver(&observer);

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  EXPECT_EQ(observer.events,
            (std::vector<std::string>{
                "policy not written C:\\Temp\\Veltrana.exe.policy 5",
                "policy not written C:\\Tmp\\Veltrana.exe.policy 5",
                "policy named unwritten C:\\Temp\\Veltrana.exe.policy 0",
                "report Error Launching: Can't write security policy file in C:\\Tmp"}));

  EXPECT_NE(
      sessionLog().find("\r\r\nError Launching: Can't write security policy file in C:\\Tmp\r"),
      std::string::npos)
      << sessionLog();
  EXPECT_TRUE(fake::messageBoxes().empty());
  // The option names the first place tried, as it would have been written.
  EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy");
}

TEST_F(PolicyFileTest, FolderThatCannotTakeTheWholeFileGivesWayToTheNext) {
  for (int failure = 0; failure < 3; ++failure) {
    startOver();
    fake::addFolder("C:\\Tmp");
    fake::setEnv("TMP", "C:\\Tmp");
    failure == 0   ? fake::fillDisk(paths::kTemp)
    : failure == 1 ? fake::failClosing(paths::kPolicyFile)
                   : fake::addFolder(paths::kPolicyFile);

    writeAndBuild(kProgramFilesInstall, kQuickTime);

    EXPECT_FALSE(fake::fileExists(paths::kPolicyFile)) << failure;  // no partial file
    EXPECT_EQ(fake::fileContents("C:\\Tmp\\Veltrana.exe.policy"),
              policyFor("C:/Program%20Files/Veltrana/", "C:/Program%20Files/QuickTime/QTSystem/"));
    EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Tmp/Veltrana.exe.policy");
  }
}

TEST_F(PolicyFileTest, FileThatCannotBeOpenedGetsNothingWritten) {
  fake::failOpening(paths::kPolicyFile);

  writeAndBuild(kProgramFilesInstall, kQuickTime);

  // A write to the failed stream would show as a misuse of the fake.
  EXPECT_FALSE(fake::fileExists(paths::kPolicyFile));
  EXPECT_EQ(policyOption, "-Djava.security.policy=file:/C:/Temp/Veltrana.exe.policy");
}

TEST(FileUrlPathTest, BackslashesBecomeSlashesAndUrlCharactersAreEncoded) {
  struct Case {
    std::string path;
    std::string url;
  };
  const Case cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"C:", "C:"},
      {"C:\\Program Files\\Veltrana\\", "C:/Program%20Files/Veltrana/"},
      {"\\\\server\\share\\Temp\\", "///server/share/Temp/"},  // as File.toURI writes it
      {"C:\\a   b", "C:/a%20%20%20b"},
      {" \\ ", "%20/%20"},
      {"D:\\50% off\\", "D:/50%25%20off/"},
      {"C:\\a#b$c%20", "C:/a%23b%24c%2520"},
      {"C:\\${user.home}\\\"q\"", "C:/%24{user.home}/\"q\""},
      // A line end would cut the grant in two.
      {"\n\t\x01\x1f\x7f~\x80", "%0A%09%01%1F%7F~\x80"},
  };
  for (const Case& c : cases) {
    std::string url = c.path;
    toFileUrlPath(url);
    EXPECT_EQ(url, c.url) << c.path;
  }
}

}  // namespace
