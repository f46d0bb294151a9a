// The one rule for paths that come from outside the launcher: a registry
// value, an environment variable, a name in a folder listing. Each of them
// is judged here before any stage builds on it, so that a hostile or broken
// value can never make the launcher look somewhere other than it means to:
// in the current folder, on a search path, on a network host, at a device,
// or in a second class-path entry.
//
// Windows and POSIX differ in what makes a path absolute and in which
// characters split a path list; the rules take the style as a parameter so
// that both can be checked on any machine.
#pragma once

#include <string>
#include <vector>

namespace outside_path {

enum class Style { Windows, Posix };

// Why a path or name was refused, or None when it may be used.
enum class Refusal {
  None,
  Empty,               // nothing to build on
  Relative,            // would be resolved against the current folder or a search path
  ListSeparator,       // would be split into two entries of a path list
  DeviceName,          // CON, PRN, AUX, NUL, COM1-9, LPT1-9: opening it reaches a device
  TrailingDotOrSpace,  // Windows strips them, so the name names something else
  NotUtf8,             // a POSIX name the VM cannot open by its text
  NotAFile,            // a folder, pipe or device where a regular file belongs
  NotWrittenInFull,    // a file the launcher writes there lost some of its bytes
  NotTrusted,          // someone other than the user or the system could change it
};

// A short text for the trace: "relative", "holds the path-list separator"...
const char* refusalText(Refusal refusal);

// Absolute: on Windows "X:\..." or "\\server\share\..." (not "\x", not
// "X:x", not "\\server" alone); on POSIX anything starting with "/".
bool isAbsolute(const std::string& path, Style style);

// The character that splits a path list: ';' on Windows, ':' on POSIX.
char listSeparator(Style style);
bool holdsListSeparator(const std::string& path, Style style);

// A reserved Windows device name, in any case and with any extension:
// "NUL.jar", "com1.jar", "Aux.tar.gz". The name is one listing entry, not a
// path.
bool isDeviceName(const std::string& name);

// A name ending in '.' or ' ', which Win32 strips when it opens the path.
bool endsInDotOrSpace(const std::string& name);

// Strict UTF-8, as the VM needs a POSIX name to be to open it.
bool isUtf8(const std::string& text);

// The entries of a path list such as PATH, in order. On Windows a double
// quote starts or ends a quoted stretch, in which the list separator belongs
// to the entry (a folder's name may hold one), and the quotes are no part of
// the entry; on POSIX a quote is an ordinary character and every separator
// splits.
std::vector<std::string> splitPathList(const std::string& list, Style style);

// The whole rule for a folder or file path read from the registry or the
// environment: None, Empty, Relative or ListSeparator (in that order).
Refusal judgePath(const std::string& path, Style style);

// The whole rule for one name in a folder listing: None, Empty,
// ListSeparator, DeviceName, TrailingDotOrSpace (Windows), NotUtf8 (POSIX).
Refusal judgeListedName(const std::string& name, Style style);

}  // namespace outside_path
