#include "rules/outside_path.h"

#include <cctype>

#include "rules/utf8_text.h"

namespace outside_path {

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "\\server\share\...": a server and a share, each at least one character.
bool isUncPath(const std::string& path) {
  if (path.size() < 5 || path[0] != '\\' || path[1] != '\\') {
    return false;
  }
  std::size_t serverEnd = path.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) {
    return false;
  }
  return serverEnd + 1 < path.size() && path[serverEnd + 1] != '\\';
}

}  // namespace

const char* refusalText(Refusal refusal) {
  switch (refusal) {
    case Refusal::None:
      return "usable";
    case Refusal::Empty:
      return "empty";
    case Refusal::Relative:
      return "not an absolute path";
    case Refusal::ListSeparator:
      return "holds the path-list separator";
    case Refusal::DeviceName:
      return "a reserved device name";
    case Refusal::TrailingDotOrSpace:
      return "ends in a dot or a space";
    case Refusal::NotUtf8:
      return "not UTF-8";
    case Refusal::NotAFile:
      return "not a regular file";
    case Refusal::NotWrittenInFull:
      return "could not be written in full";
    case Refusal::NotTrusted:
      return "others could change it";
  }
  return "refused";
}

bool isAbsolute(const std::string& path, Style style) {
  if (style == Style::Posix) {
    return !path.empty() && path[0] == '/';
  }
  if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
    return true;
  }
  return isUncPath(path);
}

char listSeparator(Style style) { return style == Style::Windows ? ';' : ':'; }

bool holdsListSeparator(const std::string& path, Style style) {
  return path.find(listSeparator(style)) != std::string::npos;
}

bool isDeviceName(const std::string& name) {
  // The device is named by what stands before the first dot, blanks at its
  // end ignored: "nul .txt" is NUL too.
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') {
    base.pop_back();
  }
  for (char& c : base) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* reserved : kNames) {
    if (base == reserved) {
      return true;
    }
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

bool endsInDotOrSpace(const std::string& name) {
  return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

// Every name a scan lists is checked, so it is validated in place rather
// than decoded and encoded again.
bool isUtf8(const std::string& text) { return utf8_text::isValidUtf8(text); }

std::vector<std::string> splitPathList(const std::string& list, Style style) {
  std::vector<std::string> entries(1);
  bool quoted = false;
  for (char c : list) {
    if (c == '"' && style == Style::Windows) {
      quoted = !quoted;
    } else if (c == listSeparator(style) && !quoted) {
      entries.emplace_back();
    } else {
      entries.back() += c;
    }
  }
  return entries;
}

Refusal judgePath(const std::string& path, Style style) {
  if (path.empty()) {
    return Refusal::Empty;
  }
  if (!isAbsolute(path, style)) {
    return Refusal::Relative;
  }
  if (holdsListSeparator(path, style)) {
    return Refusal::ListSeparator;
  }
  return Refusal::None;
}

Refusal judgeListedName(const std::string& name, Style style) {
  if (name.empty()) {
    return Refusal::Empty;
  }
  if (holdsListSeparator(name, style)) {
    return Refusal::ListSeparator;
  }
  if (style == Style::Windows) {
    if (isDeviceName(name)) {
      return Refusal::DeviceName;
    }
    if (endsInDotOrSpace(name)) {
      return Refusal::TrailingDotOrSpace;
    }
    return Refusal::None;
  }
  return isUtf8(name) ? Refusal::None : Refusal::NotUtf8;
}

}  // namespace outside_path
