// Watching for the process to end: through the runtime library's exit, and
// through _exit, which HotSpot calls when it cannot start (it runs no exit
// handler on that road).

#include <sys/syscall.h>
#include <unistd.h>

#include "platform/common/process_end_watch.h"
#include "platform/platform.h"

// The executable exports this _exit, so a library loaded later (the VM's)
// calls it rather than the C library's. It ends the process exactly as the
// C library's does; only a watched end calls the watcher first. A child
// between fork and exec may land here too: reading the atomic and the system
// call are all it does then.
extern "C" void _exit(int status) {
  platform::callProcessEndWatcher();
  for (;;) {
    syscall(SYS_exit_group, status);
  }
}

namespace platform {

void watchProcessEnd(void (*handler)()) { setProcessEndWatcher(handler); }

void unwatchProcessEnd() { setProcessEndWatcher(nullptr); }

}  // namespace platform
