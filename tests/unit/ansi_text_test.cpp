// The separator search over ANSI text, under a single-byte code page (1252:
// no byte leads) and a double-byte one (932).
#include "rules/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool noLeadBytes(unsigned char) { return false; }
bool japaneseLeadBytes(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(AnsiTextTest, SeparatorsAreFoundOnlyWhereACharacterStarts) {
  const std::size_t none = std::string::npos;
  // ソ in 932 is 83 5C; in 1252 the same bytes are "ƒ\".
  const std::string so = "\x83\x5C";
  struct Case {
    std::string text;
    std::size_t last1252, last932;        // lastSeparator
    std::string trimmed1252, trimmed932;  // trimTrailingSeparators, keeping 1 byte
  };
  const Case cases[] = {
      {"", none, none, "", ""},
      {"C:\\Apps\\\\", 8, 8, "C:\\Apps", "C:\\Apps"},
      {"\\\\", 1, 1, "\\", "\\"},
      {"C:\\" + so, 4, 2, "C:\\\x83", "C:\\" + so},
      {"C:\\" + so + so + "\\\\", 8, 8, "C:\\\x83\\\x83", "C:\\" + so + so},
      // A lead byte at the very end stands alone; katakana (0xA1-0xDF) do not lead.
      {"C:\\a\x83", 2, 2, "C:\\a\x83", "C:\\a\x83"},
      {"\xB1\\", 1, 1, "\xB1", "\xB1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ansi_text::lastSeparator(c.text, '\\', noLeadBytes), c.last1252) << c.text;
    EXPECT_EQ(ansi_text::lastSeparator(c.text, '\\', japaneseLeadBytes), c.last932) << c.text;
    EXPECT_EQ(ansi_text::endsWithSeparator(c.text, '\\', japaneseLeadBytes),
              c.last932 != none && c.last932 + 1 == c.text.size())
        << c.text;
    std::string trimmed = c.text;
    ansi_text::trimTrailingSeparators(trimmed, '\\', 1, noLeadBytes);
    EXPECT_EQ(trimmed, c.trimmed1252) << c.text;
    trimmed = c.text;
    ansi_text::trimTrailingSeparators(trimmed, '\\', 1, japaneseLeadBytes);
    EXPECT_EQ(trimmed, c.trimmed932) << c.text;
  }
}

}  // namespace
