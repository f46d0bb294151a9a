// The message box on Linux: a line on standard error and, where a desktop is
// running, a dialog from zenity or kdialog that the launcher waits for.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "rules/product_names.h"

extern char** environ;

namespace platform {

namespace {

// Runs program with args, no shell between, and waits for it to end. Its
// own output is dropped so that our standard error stays one line per box.
void runAndWait(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    return;
  }
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child;
  int result = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    return;
  }
  int status;
  while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
  }
}

bool hasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

}  // namespace

void messageBox(const char* text, const char* caption) {
  if (text == nullptr) {
    text = "";
  }
  if (caption == nullptr) {
    caption = "";
  }
  // Standard error always gets the text, prefixed with the launcher's name
  // as a command-line tool would name itself. The caption is left out of
  // that line: it is the launcher's name anyway, except for the start-up
  // "Error" box, whose text says what went wrong just as well.
  std::string line = std::string(product::kExecutableName) + ": " + text + "\n";
  std::fflush(stderr);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);

  if (!hasDisplay()) {
    return;
  }
  std::string program = findOnPath("zenity");
  if (!program.empty()) {
    runAndWait(program, {"zenity", "--error", std::string("--title=") + caption,
                         std::string("--text=") + text, "--no-markup"});
    return;
  }
  program = findOnPath("kdialog");
  if (!program.empty()) {
    runAndWait(program, {"kdialog", "--title", caption, "--error", text});
  }
}

}  // namespace platform
