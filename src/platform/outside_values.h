// The folders the environment names, as the stages may use them: judged by
// the rule for paths from outside, so that a stage is handed an absolute,
// usable folder or nothing. A relative TEMP or USERPROFILE ("tmp",
// "C:tmp", "\x") would otherwise be resolved against the folder the user
// started from, or the current drive's root, where someone else may have
// planted a file of the launcher's. No stage reads these folders raw.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "rules/outside_path.h"

namespace platform {

// A folder as one of the platform's folder readers (a function or a
// closure, with getEnvironmentVariable's contract) gives it, when it fits capacity bytes and may
// be used. False leaves folder untouched.
template <typename Read>
inline bool judgedFolder(Read read, std::size_t capacity, std::string& folder) {
  std::string buffer(capacity, '\0');
  unsigned long length = read(&buffer[0], static_cast<unsigned long>(capacity));
  if (length == 0 || length >= capacity) {
    return false;
  }
  buffer.resize(length);
  if (outside_path::judgePath(buffer, conventions::kPathStyle) != outside_path::Refusal::None) {
    return false;
  }
  folder.swap(buffer);
  return true;
}

// The path an environment variable names (TEMP, TMPDIR, HOME, JAVA_HOME
// ...), when it is set to an absolute, usable path; empty otherwise: unset,
// empty, relative or otherwise refused alike. why (when not null) receives
// the refusal, None for a usable or an unset value. Every reader of a path
// from the environment goes through here.
inline std::string judgedPathVariable(const char* name, outside_path::Refusal* why = nullptr) {
  const char* value = getEnv(name);
  outside_path::Refusal refusal = value == nullptr
                                      ? outside_path::Refusal::None
                                      : outside_path::judgePath(value, conventions::kPathStyle);
  if (why != nullptr) {
    *why = refusal;
  }
  return value == nullptr || refusal != outside_path::Refusal::None ? std::string() : value;
}

// The user's profile folder (USERPROFILE; HOME on POSIX), when it is set
// to an absolute, usable folder; empty otherwise, as when it is unset.
inline std::string profileFolder() { return judgedPathVariable(conventions::kProfileVariable); }

// A path from the environment and the rule's verdict on it. A stage builds
// only on one judged None, or ListSeparator through a form without the
// separator; Empty also stands for unset.
struct JudgedPath {
  std::string path;
  outside_path::Refusal refusal = outside_path::Refusal::Empty;
};

inline JudgedPath judged(const std::string& path) {
  return {path, outside_path::judgePath(path, conventions::kPathStyle)};
}

// The search path's entries (PATH), each judged: the whole value's trailing
// backslashes cut, then split as the platform splits a path list (on
// Windows a quoted entry keeps its ';' and loses its quotes).
inline std::vector<JudgedPath> searchPathEntries() {
  const char* value = getEnv("PATH");
  std::string list = value != nullptr ? value : "";
  ansi_text::trimTrailingSeparators(list, '\\', 0, isLeadByte);
  std::vector<JudgedPath> entries;
  for (const std::string& entry : outside_path::splitPathList(list, conventions::kPathStyle)) {
    entries.push_back(judged(entry));
  }
  return entries;
}

// The program files folder (ProgramFiles), judged; Empty when it is unset
// or does not fit capacity bytes with its terminator.
inline JudgedPath programFilesFolder(std::size_t capacity) {
  std::string buffer(capacity, '\0');
  unsigned long length =
      getEnvironmentVariable("ProgramFiles", &buffer[0], static_cast<unsigned long>(capacity));
  if (length == 0 || length >= capacity) {
    return JudgedPath();
  }
  buffer.resize(length);
  return judged(buffer);
}

}  // namespace platform
