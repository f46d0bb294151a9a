#include "rules/utf8_text.h"

namespace utf8_text {

namespace {

void appendUtf16(std::u16string& out, unsigned long codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

void appendUtf8(std::string& out, unsigned long codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// What a sequence's first byte says: how many bytes it has, the bits it
// gives the character, and the range its second byte must fall in.
struct SequenceStart {
  int length = 0;
  unsigned long codePoint = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

// False for a byte that starts no sequence (a continuation byte, C0, C1,
// F5 and above).
bool readLead(unsigned char lead, SequenceStart& start) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    start.length = 2;
    start.codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    start.length = 3;
    start.codePoint = lead & 0x0F;
    if (lead == 0xE0) {
      start.low = 0xA0;  // no overlong forms
    } else if (lead == 0xED) {
      start.high = 0x9F;  // no surrogates
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    start.length = 4;
    start.codePoint = lead & 0x07;
    if (lead == 0xF0) {
      start.low = 0x90;
    } else if (lead == 0xF4) {
      start.high = 0x8F;  // nothing above U+10FFFF
    }
  } else {
    return false;
  }
  return true;
}

// Appends the character whose sequence starts at text[at], or one U+FFFD
// for an invalid or incomplete one; returns where the next one starts.
std::size_t decodeCharacter(const std::string& text, std::size_t at, std::u16string& out) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  SequenceStart start;
  if (lead < 0x80) {
    out += static_cast<char16_t>(lead);
    return at + 1;
  }
  if (!readLead(lead, start)) {
    out += u'\uFFFD';
    return at + 1;
  }
  std::size_t next = at + 1;
  int taken = 1;
  unsigned long codePoint = start.codePoint;
  while (taken < start.length && next < text.size()) {
    unsigned char byte = static_cast<unsigned char>(text[next]);
    unsigned char min = taken == 1 ? start.low : 0x80;
    unsigned char max = taken == 1 ? start.high : 0xBF;
    if (byte < min || byte > max) {
      break;
    }
    codePoint = (codePoint << 6) | (byte & 0x3F);
    ++next;
    ++taken;
  }
  if (taken == start.length) {
    appendUtf16(out, codePoint);
  } else {
    out += u'\uFFFD';
  }
  return next;
}

}  // namespace

std::string encodeUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned long unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
  }
  return out;
}

bool isValidUtf8(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) {
      continue;
    }
    SequenceStart start;
    if (!readLead(lead, start)) {
      return false;
    }
    for (int taken = 1; taken < start.length; ++taken, ++at) {
      if (at >= text.size()) {
        return false;
      }
      unsigned char byte = static_cast<unsigned char>(text[at]);
      if (byte < (taken == 1 ? start.low : 0x80) || byte > (taken == 1 ? start.high : 0xBF)) {
        return false;
      }
    }
  }
  return true;
}

std::u16string decodeUtf8(const std::string& text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    i = decodeCharacter(text, i, out);
  }
  return out;
}

}  // namespace utf8_text
