// POSIX entry point. The arguments reach the application through the
// platform layer, which keeps its own copy of argv.
#include "launcher/launch_sequence.h"
#include "platform/process_start_posix.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  platform::setCommandLine(argc, argv);
  return runLauncher();
}
