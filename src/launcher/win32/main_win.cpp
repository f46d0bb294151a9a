// Windows entry point: a GUI program with no window of its own.
#include <windows.h>

#include "launcher/launch_sequence.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return runLauncher(); }
