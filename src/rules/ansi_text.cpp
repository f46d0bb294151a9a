#include "rules/ansi_text.h"

namespace ansi_text {

std::size_t characterLength(const std::string& text, std::size_t at, LeadByteTest isLeadByte) {
  // A lead byte at the very end has lost its second byte: it stands alone.
  return at + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
}

std::size_t lastSeparator(const std::string& text, char separator, LeadByteTest isLeadByte) {
  std::size_t found = std::string::npos;
  for (std::size_t at = 0; at < text.size(); at += characterLength(text, at, isLeadByte)) {
    if (text[at] == separator) {
      found = at;
    }
  }
  return found;
}

bool beforeLastSeparator(const std::string& text, char separator, LeadByteTest isLeadByte,
                         std::string& before) {
  std::size_t last = lastSeparator(text, separator, isLeadByte);
  if (last == std::string::npos) {
    return false;
  }
  before = text.substr(0, last);
  return true;
}

bool endsWithSeparator(const std::string& text, char separator, LeadByteTest isLeadByte) {
  std::size_t last = lastSeparator(text, separator, isLeadByte);
  return last != std::string::npos && last + 1 == text.size();
}

void trimTrailingSeparators(std::string& text, char separator, std::size_t keep,
                            LeadByteTest isLeadByte) {
  // The end of the last character that is not a separator.
  std::size_t end = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = characterLength(text, at, isLeadByte);
    if (text[at] != separator) {
      end = at + length;
    }
    at += length;
  }
  // Everything after end is single separator bytes, so cutting at keep
  // cannot split a character.
  if (text.size() > keep) {
    text.resize(end > keep ? end : keep);
  }
}

}  // namespace ansi_text
