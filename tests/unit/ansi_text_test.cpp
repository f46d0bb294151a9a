// The separator search over ANSI text, under a single-byte code page (1252:
// no byte leads) and a double-byte one (932).
#include "platform/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool noLeadBytes(unsigned char) { return false; }
bool japaneseLeadBytes(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// ソ and 表 in 932: second byte 0x5C. In 1252 the same bytes are "ƒ\" and "•\".
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";

TEST(AnsiTextTest, SeparatorsAreFoundOnlyWhereACharacterStarts) {
  const std::size_t none = std::string::npos;
  struct Case {
    std::string text;
    std::size_t last1252, last932;        // lastSeparator
    std::string trimmed1252, trimmed932;  // trimTrailingSeparators, keep 1
  };
  const Case cases[] = {
      {"", none, none, "", ""},
      {"C:\\Apps\\Veltrana", 7, 7, "C:\\Apps\\Veltrana", "C:\\Apps\\Veltrana"},
      {"\\\\", 1, 1, "\\", "\\"},
      {"C:\\Apps\\\\", 8, 8, "C:\\Apps", "C:\\Apps"},
      {"C:\\" + kSo, 4, 2, "C:\\\x83", "C:\\" + kSo},
      {"C:\\" + kSo + "\\\\", 6, 6, "C:\\\x83", "C:\\" + kSo},
      {"C:\\" + kSo + kHyo + "\\x", 7, 7, "C:\\" + kSo + kHyo + "\\x", "C:\\" + kSo + kHyo + "\\x"},
      // A lead byte pairs with whatever follows; at the very end it stands alone.
      {"C:\\a\x83", 2, 2, "C:\\a\x83", "C:\\a\x83"},
      {"\x83\\\\", 2, 2, "\x83", "\x83\\"},
      // Single-byte katakana (0xA1-0xDF) do not lead.
      {"\xB1\\", 1, 1, "\xB1", "\xB1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ansi_text::lastSeparator(c.text, '\\', noLeadBytes), c.last1252) << c.text;
    EXPECT_EQ(ansi_text::lastSeparator(c.text, '\\', japaneseLeadBytes), c.last932) << c.text;
    EXPECT_EQ(ansi_text::endsWithSeparator(c.text, '\\', noLeadBytes),
              c.last1252 != none && c.last1252 + 1 == c.text.size())
        << c.text;
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
  // Keep 0 trims all the way; other separators work alike.
  std::string all = "\\\\\\";
  ansi_text::trimTrailingSeparators(all, '\\', 0, japaneseLeadBytes);
  EXPECT_EQ(all, "");
  EXPECT_EQ(ansi_text::lastSeparator("/home/" + kSo + "/x", '/', japaneseLeadBytes), 8u);
}

}  // namespace
