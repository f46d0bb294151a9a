#include "platform/posix/registry/registry_export_parser.h"

#include <vector>

#include "platform/platform.h"
#include "rules/blank_text.h"
#include "rules/utf8_text.h"

namespace registry {

namespace {

using platform::trimBlanks;

constexpr unsigned long kRegMultiSz = 7;

// UTF-16LE bytes (from offset start) as UTF-8, the narrow text of the POSIX
// layer. A lone surrogate becomes U+FFFD; an odd last byte is dropped.
std::string utf16leToUtf8(const std::string& bytes, std::size_t start) {
  std::u16string units;
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return utf8_text::encodeUtf8(units);
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::size_t length = end - start;
    if (length > 0 && text[end - 1] == '\r') {
      --length;
    }
    lines.push_back(text.substr(start, length));
    start = end + 1;
  }
  return lines;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// One to eight hex digits, as regedit writes a DWORD or a type number.
bool parseHexNumber(const std::string& digits, unsigned long& value) {
  if (digits.empty() || digits.size() > 8) {
    return false;
  }
  value = 0;
  for (char c : digits) {
    int digit = hexDigit(c);
    if (digit < 0) {
      return false;
    }
    value = value * 16 + static_cast<unsigned long>(digit);
  }
  return true;
}

// "01,ff,2a": bytes of one or two hex digits, separated by commas; empty
// text is an empty value.
bool parseHexBytes(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (trimBlanks(text).empty()) {
    return true;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    std::string item =
        trimBlanks(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (item.empty() || item.size() > 2) {
      return false;
    }
    unsigned long value = 0;
    if (!parseHexNumber(item, value)) {
      return false;
    }
    bytes += static_cast<char>(value);
    if (comma == std::string::npos) {
      return true;
    }
    start = comma + 1;
  }
}

// Reads a quoted string starting at line[at] (the opening quote). The only
// escapes are a doubled backslash and a backslash before a double quote.
// On success at is just past the closing quote.
bool parseQuoted(const std::string& line, std::size_t& at, std::string& text) {
  if (at >= line.size() || line[at] != '"') {
    return false;
  }
  text.clear();
  for (++at; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\') {
      ++at;
      if (at >= line.size() || (line[at] != '\\' && line[at] != '"')) {
        return false;
      }
      c = line[at];
    }
    text += c;
  }
  return false;  // no closing quote
}

// "[HKEY_LOCAL_MACHINE\...]" or "[-HKEY_LOCAL_MACHINE\...]": the key's path
// below the root, and whether the section deletes it.
bool parseSectionLine(const std::string& line, std::string& path, bool& deletion) {
  if (line.size() < 2 || line.back() != ']') {
    return false;
  }
  std::string inner = line.substr(1, line.size() - 2);
  deletion = !inner.empty() && inner[0] == '-';
  if (deletion) {
    inner.erase(0, 1);
  }
  const std::string root = "hkey_local_machine";
  std::string head = lowerAscii(inner.substr(0, root.size() + 1));
  if (head == root) {
    path.clear();
    return true;
  }
  if (head != root + "\\") {
    return false;
  }
  path = inner.substr(root.size() + 1);
  return !path.empty();
}

struct ParseState {
  const std::vector<std::string>& lines;
  bool wideText;  // version 5: text inside hex(...) values is UTF-16LE
  Key* current;   // the section's key, null before any section
  bool skipping;  // inside a deleting section: its value lines do nothing
};

// Collects a value's text and the lines it continues onto: a line ending in
// a backslash goes on with the next line. i is left at the last line used.
std::string joinContinuations(const ParseState& state, std::size_t& i, std::string text) {
  while (!text.empty() && text.back() == '\\' && i + 1 < state.lines.size()) {
    text.pop_back();
    ++i;
    text += trimBlanks(state.lines[i]);
  }
  return text;
}

// The value's name up to and with its "=": "@" for the key's default
// value (an empty name), else a quoted name. at ends after the "=".
bool parseValueName(const std::string& line, std::size_t& at, std::string& name) {
  at = 0;
  if (line[0] == '@') {
    at = 1;
  } else if (!parseQuoted(line, at, name)) {
    return false;
  }
  if (at >= line.size() || line[at] != '=') {
    return false;
  }
  ++at;
  return true;
}

// "text": a text value, nothing but blanks after it.
bool parseTextData(const std::string& rest, unsigned long& type, std::string& bytes) {
  std::size_t end = 0;
  std::string text;
  if (!parseQuoted(rest, end, text) || !trimBlanks(rest.substr(end)).empty()) {
    return false;
  }
  type = platform::kRegSz;
  bytes = text + '\0';  // stored with its terminator, as the registry returns text
  return true;
}

// dword:hhhhhhhh
bool parseDwordData(const std::string& rest, unsigned long& type, std::string& bytes) {
  unsigned long value = 0;
  if (!parseHexNumber(trimBlanks(rest.substr(6)), value)) {
    return false;
  }
  type = platform::kRegDword;
  for (int b = 0; b < 4; ++b) {  // little-endian, whatever the machine
    bytes += static_cast<char>((value >> (8 * b)) & 0xFF);
  }
  return true;
}

// hex:bytes or hex(type):bytes, the list perhaps continued on the lines
// after it (i moves past them).
bool parseHexData(const ParseState& state, std::size_t& i, const std::string& rest,
                  unsigned long& type, std::string& bytes) {
  std::size_t colon = rest.find(':');
  if (colon == std::string::npos) {
    return false;
  }
  std::string form = rest.substr(3, colon - 3);
  if (form.empty()) {
    type = platform::kRegBinary;
  } else if (form.size() < 3 || form.front() != '(' || form.back() != ')' ||
             !parseHexNumber(form.substr(1, form.size() - 2), type)) {
    return false;
  }
  std::string list = joinContinuations(state, i, rest.substr(colon + 1));
  if (!parseHexBytes(list, bytes)) {
    return false;
  }
  bool textType = type == platform::kRegSz || type == platform::kRegExpandSz || type == kRegMultiSz;
  if (textType && state.wideText) {
    // Version 5 writes these as UTF-16; the narrow registry calls return
    // them in the narrow text of the system.
    bytes = utf16leToUtf8(bytes, 0);
  }
  return true;
}

// "Name"=..., @=...: a value, or its deletion with "-".
bool parseValueLine(ParseState& state, std::size_t& i, const std::string& line) {
  std::size_t at = 0;
  std::string name;
  if (!parseValueName(line, at, name)) {
    return false;
  }
  std::string rest = line.substr(at);
  unsigned long type = 0;
  std::string bytes;
  bool remove = false;
  bool parsed = false;
  if (!rest.empty() && rest[0] == '"') {
    parsed = parseTextData(rest, type, bytes);
  } else if (trimBlanks(rest) == "-") {
    parsed = remove = true;
  } else if (rest.compare(0, 6, "dword:") == 0) {
    parsed = parseDwordData(rest, type, bytes);
  } else if (rest.compare(0, 3, "hex") == 0) {
    parsed = parseHexData(state, i, rest, type, bytes);
  }
  if (!parsed) {
    return false;
  }
  if (state.skipping) {
    return true;
  }
  if (remove) {
    deleteValue(*state.current, name);
  } else {
    setValue(*state.current, name, type, bytes);
  }
  return true;
}

}  // namespace

int parseRegistryExport(const std::string& bytes, Tree& tree) {
  clearTree(tree);
  std::string text;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    text = utf16leToUtf8(bytes, 2);
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = bytes.substr(3);
  } else {
    text = bytes;
  }
  std::vector<std::string> lines = splitLines(text);
  text.clear();
  if (lines.empty()) {
    return 1;
  }
  std::string header = trimBlanks(lines[0]);
  bool version5 = header == "Windows Registry Editor Version 5.00";
  if (header != "REGEDIT4" && !version5) {
    return 1;
  }
  ParseState state{lines, version5, nullptr, false};
  for (std::size_t i = 1; i < lines.size(); ++i) {
    int lineNumber = static_cast<int>(i + 1);
    std::string line = trimBlanks(lines[i]);
    if (line.empty() || line[0] == ';') {
      continue;
    }
    if (line[0] == '[') {
      std::string path;
      bool deletion = false;
      if (!parseSectionLine(line, path, deletion)) {
        return lineNumber;
      }
      // An empty name in the path makes the line a bad one.
      if (deletion) {
        if (!deleteKey(tree, path)) {
          return lineNumber;
        }
        state.current = nullptr;
      } else {
        state.current = addKey(tree, path);
        if (state.current == nullptr) {
          return lineNumber;
        }
      }
      state.skipping = deletion;
    } else if ((state.current == nullptr && !state.skipping) || !parseValueLine(state, i, line)) {
      return lineNumber;
    }
  }
  return 0;
}

}  // namespace registry
