/* A library that does nothing but note in the stub VM's report that it was
 * loaded ("loaded=<its path>"). The tests use it as a runtime's
 * msvcr71.dll, and as a VM library that lacks JNI_CreateJavaVM. As
 * msvcr71.dll it also exports atexit and exit (see runtime_crt.def) with a
 * table of its own, as a runtime's C library apart from the launcher's. */
#include <stdio.h>
#include <windows.h>

__declspec(dllexport) int markerPresent(void) { return 1; }

typedef void(__cdecl* ExitHandler)(void);
static ExitHandler handlers[32];
static int handlerCount;

int __cdecl runtimeAtExit(ExitHandler handler) {
  if (handlerCount == 32) return -1;
  handlers[handlerCount++] = handler;
  return 0;
}

void __cdecl runtimeExit(int code) {
  while (handlerCount > 0) handlers[--handlerCount]();
  ExitProcess((UINT)code);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char reportPath[MAX_PATH];
  char path[MAX_PATH];
  DWORD length;
  FILE* file;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  length = GetEnvironmentVariableA("VELTRANA_STUB_REPORT", reportPath, sizeof reportPath);
  if (length == 0 || length >= sizeof reportPath) return TRUE;
  if (GetModuleFileNameA(instance, path, sizeof path) == 0) path[0] = '\0';
  file = fopen(reportPath, "ab");
  if (file != NULL) {
    fprintf(file, "loaded=%s\n", path);
    fclose(file);
  }
  return TRUE;
}
