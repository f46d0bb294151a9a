// The folders the environment names, as the stages may use them: judged by
// the rule for paths from outside, so that a stage is handed an absolute,
// usable folder or nothing. A relative TEMP or USERPROFILE ("tmp",
// "C:tmp", "\x") would otherwise be resolved against the folder the user
// started from, or the current drive's root, where someone else may have
// planted a file of the launcher's. No stage reads these folders raw.
#pragma once

#include <string>

#include "platform/platform.h"
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

}  // namespace platform
