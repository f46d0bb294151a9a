/* The floor of the Windows class-path scan: the same tree walked with
 * nothing but FindFirstFileExW (basic level, large fetch, as the launcher
 * asks) and FindNextFileW, entering every folder that is no reparse point.
 * Prints what it saw and the microseconds the walk took, for
 * ./scripts/bench to set beside the launcher's own scan.
 *
 *   bench_walk FOLDER      (FOLDER ends with a backslash) */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

static long entries = 0;
static long folders = 0;
static wchar_t path[32768];

static void walk(size_t length) {
  WIN32_FIND_DATAW data;
  HANDLE find;
  if (length + 2 > sizeof path / sizeof path[0]) {
    return;
  }
  path[length] = L'*';
  path[length + 1] = 0;
  find = FindFirstFileExW(path, FindExInfoBasic, &data, FindExSearchNameMatch, NULL,
                          FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    return;
  }
  ++folders;
  do {
    size_t name = wcslen(data.cFileName);
    ++entries;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0 &&
        length + name + 3 < sizeof path / sizeof path[0]) {
      memcpy(path + length, data.cFileName, name * sizeof(wchar_t));
      path[length + name] = L'\\';
      walk(length + name + 1);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

int wmain(int argc, wchar_t** argv) {
  LARGE_INTEGER frequency, started, ended;
  size_t length;
  if (argc != 2 || (length = wcslen(argv[1])) + 2 > sizeof path / sizeof path[0]) {
    fputs("usage: bench_walk FOLDER\\\n", stderr);
    return 2;
  }
  memcpy(path, argv[1], length * sizeof(wchar_t));
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  walk(length);
  QueryPerformanceCounter(&ended);
  printf("%ld entries, %ld folders, %ld us\n", entries, folders,
         (long)((ended.QuadPart - started.QuadPart) * 1000000 / frequency.QuadPart));
  return 0;
}
