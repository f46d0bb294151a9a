// The handler a watched process end calls, kept once for both layers: each
// layer only adds the roads by which its process can end.
#pragma once

namespace platform {

// Sets the handler (null: none). The first handler also registers
// callProcessEndWatcher with the launcher's own C library's exit.
void setProcessEndWatcher(void (*handler)());

// Calls the handler, if one is set, once: it is cleared first, so an end
// reached by two roads reports once.
void callProcessEndWatcher();

}  // namespace platform
