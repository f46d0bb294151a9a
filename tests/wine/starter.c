/* Starts one program under Wine with an exact command line and environment.
 *
 * `wine prog.exe args` re-quotes the arguments and rebuilds PATH, TEMP and
 * USERPROFILE, so the tests start every launcher run through this program
 * instead. Its one argument names a UTF-8 instructions file, one
 * instruction per line, the value being the rest of the line, verbatim:
 *
 *   program C:\path\to\prog.exe     program to start (required)
 *   cmdline "C:\...\prog.exe" a "b"  the whole command line (may be empty)
 *   directory C:\some\folder        current directory of the new process
 *   set NAME=VALUE                  set a variable in the new environment
 *   unset NAME                      remove a variable from it
 *   result Z:\path\result.txt       where "pid=N" and "exit=N" are written
 *
 * The new environment starts as a copy of this program's own, so Wine's own
 * variables (WINEPREFIX, WINEDEBUG, ...) keep reaching the child; the tests
 * set or unset every variable the launcher reads. Values cannot hold a line
 * break. The exit code of this program is the child's exit code. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#define MAX_VARIABLES 512

static wchar_t* variables[MAX_VARIABLES];
static int variableCount;

static void fail(const char* what) {
  fprintf(stderr, "starter: %s (error %lu)\n", what, (unsigned long)GetLastError());
  exit(120);
}

static wchar_t* widen(const char* text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  wchar_t* wide = (wchar_t*)malloc(sizeof(wchar_t) * (length > 0 ? length : 1));
  if (wide == NULL) fail("out of memory");
  wide[0] = L'\0';
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, length);
  return wide;
}

/* Length of the name part of "NAME=VALUE"; a leading '=' belongs to the
 * name (Windows keeps per-drive folders as "=C:=C:\..."). */
static size_t nameLength(const wchar_t* entry) {
  const wchar_t* equals = wcschr(entry + 1, L'=');
  return equals != NULL ? (size_t)(equals - entry) : wcslen(entry);
}

static void unsetVariable(const wchar_t* name) {
  size_t length = wcslen(name);
  int i;
  for (i = 0; i < variableCount; ++i) {
    if (nameLength(variables[i]) == length && _wcsnicmp(variables[i], name, length) == 0) {
      variables[i] = variables[--variableCount];
      --i;
    }
  }
}

static void setVariable(wchar_t* entry) {
  size_t length = nameLength(entry);
  wchar_t* name = (wchar_t*)calloc(length + 1, sizeof(wchar_t));
  if (name == NULL) fail("out of memory");
  wcsncpy(name, entry, length);
  unsetVariable(name);
  free(name);
  if (variableCount == MAX_VARIABLES) fail("too many variables");
  variables[variableCount++] = entry;
}

static void copyOwnEnvironment(void) {
  wchar_t* block = GetEnvironmentStringsW();
  wchar_t* entry;
  for (entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    if (variableCount == MAX_VARIABLES) fail("too many variables");
    variables[variableCount++] = _wcsdup(entry);
  }
  FreeEnvironmentStringsW(block);
}

/* Windows wants the block sorted by name, case-insensitively. */
static int compareEntries(const void* a, const void* b) {
  return _wcsicmp(*(wchar_t* const*)a, *(wchar_t* const*)b);
}

static wchar_t* buildEnvironmentBlock(void) {
  size_t total = 1;
  int i;
  wchar_t* block;
  wchar_t* at;
  qsort(variables, variableCount, sizeof variables[0], compareEntries);
  for (i = 0; i < variableCount; ++i) total += wcslen(variables[i]) + 1;
  block = (wchar_t*)malloc(total * sizeof(wchar_t));
  if (block == NULL) fail("out of memory");
  at = block;
  for (i = 0; i < variableCount; ++i) {
    size_t length = wcslen(variables[i]) + 1;
    memcpy(at, variables[i], length * sizeof(wchar_t));
    at += length;
  }
  *at = L'\0';
  return block;
}

int wmain(int argc, wchar_t** argv) {
  static char line[65536];
  wchar_t* program = NULL;
  wchar_t* commandLine = NULL;
  wchar_t* directory = NULL;
  wchar_t* resultPath = NULL;
  FILE* instructions;
  STARTUPINFOW startup;
  PROCESS_INFORMATION process;
  DWORD exitCode = 0;
  FILE* result;

  if (argc != 2) {
    fprintf(stderr, "usage: starter INSTRUCTIONS-FILE\n");
    return 120;
  }
  instructions = _wfopen(argv[1], L"rb");
  if (instructions == NULL) fail("cannot open the instructions file");
  copyOwnEnvironment();

  while (fgets(line, sizeof line, instructions) != NULL) {
    char* value;
    size_t length = strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
      line[--length] = '\0';
    }
    if (length == 0) continue;
    value = strchr(line, ' ');
    if (value != NULL) {
      *value++ = '\0';
    } else {
      value = line + length;
    }
    if (strcmp(line, "program") == 0) {
      program = widen(value);
    } else if (strcmp(line, "cmdline") == 0) {
      commandLine = widen(value);
    } else if (strcmp(line, "directory") == 0) {
      directory = widen(value);
    } else if (strcmp(line, "set") == 0) {
      setVariable(widen(value));
    } else if (strcmp(line, "unset") == 0) {
      unsetVariable(widen(value));
    } else if (strcmp(line, "result") == 0) {
      resultPath = widen(value);
    } else {
      fprintf(stderr, "starter: unknown instruction '%s'\n", line);
      return 120;
    }
  }
  fclose(instructions);
  if (program == NULL) fail("no program given");
  if (commandLine == NULL) commandLine = widen("");

  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessW(program, commandLine, NULL, NULL, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      buildEnvironmentBlock(), directory, &startup, &process)) {
    fail("cannot start the program");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &exitCode);

  if (resultPath != NULL) {
    result = _wfopen(resultPath, L"wb");
    if (result == NULL) fail("cannot write the result file");
    fprintf(result, "pid=%lu\nexit=%lu\n", (unsigned long)process.dwProcessId,
            (unsigned long)exitCode);
    fclose(result);
  }
  return (int)exitCode;
}
