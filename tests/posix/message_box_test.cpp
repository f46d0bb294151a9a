// The message box: always one line on standard error, and a real dialog
// where a desktop is running.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "posix_test_support.h"

namespace {

class MessageBoxTest : public PosixLayerTest {
 protected:
  // Shows the box with standard error sent to a file, and returns what
  // reached it.
  std::string showCapturingStderr(const char* text, const char* caption) {
    std::string capture = path("stderr.txt");
    std::fflush(stderr);
    int saved = dup(2);
    int file = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 2);
    close(file);
    platform::messageBox(text, caption);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return readText(capture);
  }

  // A stand-in dialog program on PATH that records its arguments, one a line.
  void installDialog(const char* name) {
    std::string script = path(std::string("bin/") + name);
    writeText(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + path(name) +
                          ".args\necho noise; echo more noise >&2\n");
    chmod(script.c_str(), 0755);
  }
};

TEST_F(MessageBoxTest, WritesOneLineWithTheLaunchersName) {
  EXPECT_EQ(showCapturingStderr("Fatal Error Launching: Error loading JVM", "Veltrana.exe"),
            "Veltrana.exe: Fatal Error Launching: Error loading JVM\n");
  // The start-up error box has the same form, whatever its caption.
  EXPECT_EQ(showCapturingStderr("No such file or directory", "Error"),
            "Veltrana.exe: No such file or directory\n");
  // Text reaches the line as it is, never read as a format.
  EXPECT_EQ(showCapturingStderr("100% \"$HOME\" %s \\n", "Veltrana.exe"),
            "Veltrana.exe: 100% \"$HOME\" %s \\n\n");
}

TEST_F(MessageBoxTest, WithoutDisplayNoDialogIsStarted) {
  installDialog("zenity");
  showCapturingStderr("text", "Veltrana.exe");
  EXPECT_NE(access(path("zenity.args").c_str(), F_OK), 0);
}

TEST_F(MessageBoxTest, ShowsZenityWithTheTextAsOneArgument) {
  installDialog("zenity");
  installDialog("kdialog");
  setEnv("DISPLAY", ":99");
  std::string text = "Fatal Error Launching: Can't locate JRE[Java Runtime Environment] <b>$x</b>";
  // The line on standard error stays alone: the dialog's own output is dropped.
  EXPECT_EQ(showCapturingStderr(text.c_str(), "Veltrana.exe"), "Veltrana.exe: " + text + "\n");
  // messageBox waits for the dialog, so its record is complete already.
  EXPECT_EQ(readText(path("zenity.args")),
            "--error\n--title=Veltrana.exe\n--text=" + text + "\n--no-markup\n");
  EXPECT_NE(access(path("kdialog.args").c_str(), F_OK), 0);
}

TEST_F(MessageBoxTest, FallsBackToKdialogOnWayland) {
  installDialog("kdialog");
  setEnv("WAYLAND_DISPLAY", "wayland-0");
  showCapturingStderr("it's broken", "Error");
  EXPECT_EQ(readText(path("kdialog.args")), "--title\nError\n--error\nit's broken\n");
}

TEST(PlatformMiscTest, ErrorTextsAndTime) {
  EXPECT_EQ(platform::formatMessage(platform::kErrorAlreadyExists),
            "Cannot create a file when that file already exists.");
  EXPECT_EQ(platform::formatMessage(2), "No such file or directory");

  std::string now = platform::localTimeText();
  ASSERT_EQ(now.size(), 25u) << now;
  EXPECT_EQ(now.back(), '\n');
}

}  // namespace
