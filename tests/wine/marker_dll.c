/* A library that does nothing but note in the stub VM's report that it was
 * loaded ("loaded=<its path>"). The tests use it as a runtime's
 * msvcr71.dll (with an atexit and exit of its own, runtime_crt.def), and as
 * a VM library that lacks JNI_CreateJavaVM. */
#include <stdio.h>
#include <windows.h>

__declspec(dllexport) int markerPresent(void) { return 1; }

static void(__cdecl* handlers[32])(void);
static int handlerCount;

int __cdecl runtimeAtExit(void(__cdecl* handler)(void)) {
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
