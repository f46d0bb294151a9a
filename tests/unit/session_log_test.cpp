// The session log and the fatal-error report.
#include "diag/session_log.h"

#include <string>

#include "launcher_fixture.h"
#include "platform/trace_outlet.h"
#include "trace/launch_trace.h"

namespace {

class SessionLogTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    fake::addFolder(paths::kProfile);
    fake::setEnv("USERPROFILE", paths::kProfile);
  }
};

// One entry as it lands on disk through a text-mode stream: every "\r\n"
// written becomes CR CR LF, the time's own "\n" becomes CR LF.
std::string entryOnDisk(const std::string& errorText) {
  return "\r\r\n##### Tue Dec 08 07:00:00 2026\r\n\r\r\n" + errorText +
         "\r\r\n\r\r\n##############################\r\r\n\r\r\n";
}

TEST_F(SessionLogTest, FatalErrorWritesTheEntryThenShowsTheBoxThenExitsOne) {
  EXPECT_EQ(exitCodeOf([] { logLaunchError("Error loading JVM", true); }), 1);

  EXPECT_TRUE(fake::folderExists("C:\\Users\\ann\\Logs"));
  EXPECT_EQ(sessionLog(),
            "\r\r\n##### Tue Dec 08 07:00:00 2026\r\n\r\r\n"
            "Fatal Error Launching: Error loading JVM\r\r\n\r\r\n"
            "##############################\r\r\n\r\r\n");
  ASSERT_EQ(fake::messageBoxes().size(), 1u);
  EXPECT_EQ(fake::messageBoxes()[0].caption, "Veltrana.exe");
  EXPECT_EQ(fake::messageBoxes()[0].text, "Fatal Error Launching: Error loading JVM");
  int closed = fake::eventIndex(std::string("closeFile ") + paths::kSessionLog);
  int shown = fake::eventIndex("messageBox Veltrana.exe");
  int ended = fake::eventIndex("exitProcess 1");
  EXPECT_LT(closed, shown);
  EXPECT_LT(shown, ended);
  EXPECT_GE(closed, 0);
}

TEST_F(SessionLogTest, NonFatalErrorsAreAppendedAfterWhatTheLogHeld) {
  fake::addFile(paths::kSessionLog, "earlier entries\r\n");

  EXPECT_EQ(exitCodeOf([] {
              logLaunchError("first", false);
              logLaunchError("second", false);
            }),
            kReturned);

  EXPECT_EQ(sessionLog(), "earlier entries\r\n" + entryOnDisk("Error Launching: first") +
                              entryOnDisk("Error Launching: second"));
  EXPECT_TRUE(fake::messageBoxes().empty());
}

TEST_F(SessionLogTest, PercentSignsInAMessageAreWrittenAsThemselves) {
  logLaunchError("100% %s %n %%", false);

  EXPECT_EQ(sessionLog(), entryOnDisk("Error Launching: 100% %s %n %%"));
}

TEST_F(SessionLogTest, WithoutAProfileFolderTheBoxAndExitCodeStillHappen) {
  // An empty value names no folder either: the log, and the launch trace
  // beside it, would land at the root.
  for (bool empty : {false, true}) {
    SCOPED_TRACE(empty);
    startOver();
    if (empty) {
      fake::setEnv("USERPROFILE", "");
    } else {
      fake::unsetEnv("USERPROFILE");
    }
    fake::setEnv("VELTRANA_TRACE", "1");
    EXPECT_EQ(startLaunchTrace(), nullptr);
    EXPECT_FALSE(platform::traceOutputOpen());

    EXPECT_EQ(exitCodeOf([] { logLaunchError("Error loading JVM", true); }), 1);

    EXPECT_EQ(fake::countEvents("makeDirectory"), 0);
    EXPECT_EQ(fake::countEvents("openFile"), 0);
    ASSERT_EQ(fake::messageBoxes().size(), 1u);
    EXPECT_EQ(fake::messageBoxes()[0].text, "Fatal Error Launching: Error loading JVM");
  }
}

TEST_F(SessionLogTest, LogPathMustFitInTheLogPathBuffer) {
  // "\Logs\Veltrana Session Log.txt" adds 30 characters to the profile; the
  // whole path and its terminator must fit in 1024 bytes.
  const std::string fits = "C:\\" + std::string(990, 'p');     // path of 1023
  const std::string tooLong = "C:\\" + std::string(991, 'q');  // path of 1024
  fake::addFolder(fits);
  fake::addFolder(tooLong);

  fake::setEnv("USERPROFILE", fits);
  EXPECT_EQ(exitCodeOf([] { logLaunchError("A", true); }), 1);
  EXPECT_EQ(fake::fileContents(fits + "\\Logs\\Veltrana Session Log.txt"),
            entryOnDisk("Fatal Error Launching: A"));

  fake::setEnv("USERPROFILE", tooLong);
  EXPECT_EQ(exitCodeOf([] { logLaunchError("B", true); }), 1);
  EXPECT_FALSE(fake::folderExists(tooLong + "\\Logs"));
  EXPECT_FALSE(fake::fileExists(tooLong + "\\Logs\\Veltrana Session Log.txt"));
  EXPECT_EQ(fake::messageBoxes().size(), 2u);
}

TEST_F(SessionLogTest, LogThatCannotBeOpenedIsSkipped) {
  fake::addFolder("C:\\Users\\ann\\Logs");
  fake::failOpening(paths::kSessionLog);

  EXPECT_EQ(exitCodeOf([] { logLaunchError("Error loading JVM", true); }), 1);

  EXPECT_FALSE(fake::fileExists(paths::kSessionLog));
  EXPECT_EQ(fake::messageBoxes().size(), 1u);
}

}  // namespace
