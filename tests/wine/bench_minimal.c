/* The floor of the launcher's own work before the VM: a program that makes
 * only the calls any launcher of this kind must, in the launcher's order,
 * and stops where the launcher would call JNI_CreateJavaVM. Prints the
 * microseconds from the start of its main, for ./scripts/bench to set
 * beside the launcher's own time.
 *
 *   bench_minimal JVM_DLL SUPPORT_DLL|- POLICY_FILE */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

static DWORD WINAPI holdName(LPVOID mutex) {
  Sleep(30000);
  ReleaseMutex((HANDLE)mutex);
  return 0;
}

/* One registry text value, asked for its size and then read. */
static void readValue(const char* key, const char* name, char* buffer, DWORD size) {
  HKEY opened;
  DWORD type, needed = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return;
  }
  RegQueryValueExA(opened, name, NULL, &type, NULL, &needed);
  if (needed <= size) {
    RegQueryValueExA(opened, name, NULL, &type, (BYTE*)buffer, &needed);
  }
}

int main(int argc, char** argv) {
  static const char policy[] =
      "grant codeBase \"file:/C:/vtbench/app/-\" {\r\n"
      "  permission java.security.AllPermission;\r\n};\r\n";
  LARGE_INTEGER frequency, started, ended;
  char module[MAX_PATH], home[1024] = "", quickTime[1024] = "";
  struct _stat status;
  HANDLE mutex, file;
  DWORD written;
  HMODULE vm;
  if (argc != 4) {
    fputs("usage: bench_minimal JVM_DLL SUPPORT_DLL|- POLICY_FILE\n", stderr);
    return 2;
  }
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);

  mutex = CreateMutexA(NULL, TRUE, "Veltrana.jar");
  if (mutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS) {
    return 1;
  }
  CloseHandle(CreateThread(NULL, 0, holdName, mutex, 0, NULL));
  GetModuleFileNameA(NULL, module, sizeof module);
  readValue("SOFTWARE\\Orrindale", "JAVA_HOME", home, sizeof home);
  if (_stat(argv[1], &status) != 0) {
    return 1;
  }
  if (strcmp(argv[2], "-") != 0) {
    LoadLibraryA(argv[2]);
  }
  vm = LoadLibraryA(argv[1]);
  if (vm == NULL || GetProcAddress(vm, "JNI_CreateJavaVM") == NULL) {
    return 1;
  }
  readValue("SOFTWARE\\Apple Computer, Inc.\\QuickTime", "QTExtDir", quickTime, sizeof quickTime);
  DeleteFileA(argv[3]);
  file = CreateFileA(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE || !WriteFile(file, policy, sizeof policy - 1, &written, NULL)) {
    return 1;
  }
  CloseHandle(file);

  QueryPerformanceCounter(&ended);
  printf("%ld us\n", (long)((ended.QuadPart - started.QuadPart) * 1000000 / frequency.QuadPart));
  return 0;
}
