// The rule every path from the registry, the environment or a listing
// passes, for both platforms' styles.
#include "rules/outside_path.h"

#include <gtest/gtest.h>

#include "rules/utf8_text.h"

using outside_path::Refusal;
using outside_path::Style;

namespace {

// As a whole path from the registry or the environment, or as a name in a
// folder's listing.
TEST(OutsidePathTest, PathsAndListedNames) {
  enum Kind { Path, Listed };
  struct Case {
    const char* text;
    Kind kind;
    Style style;
    Refusal expected;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Orrindale", Path, Style::Windows, Refusal::None},
      {"c:\\", Path, Style::Windows, Refusal::None},
      {"\\\\server\\share\\rt", Path, Style::Windows, Refusal::None},
      {"", Path, Style::Windows, Refusal::Empty},
      {"..\\rt", Path, Style::Windows, Refusal::Relative},
      {"\\rt", Path, Style::Windows, Refusal::Relative},          // the current drive's root
      {"\\rt\\jre", Path, Style::Windows, Refusal::Relative},     // rooted, not a share
      {"C:rt", Path, Style::Windows, Refusal::Relative},          // the drive's current folder
      {"\\\\server", Path, Style::Windows, Refusal::Relative},    // no share
      {"\\\\server\\", Path, Style::Windows, Refusal::Relative},  // an empty share
      {"\\\\\\share", Path, Style::Windows, Refusal::Relative},   // no server
      {"C:\\a;b", Path, Style::Windows, Refusal::ListSeparator},
      {"C:\\a:b", Path, Style::Windows, Refusal::None},
      {"/usr/lib/jvm", Path, Style::Posix, Refusal::None},
      {"", Path, Style::Posix, Refusal::Empty},
      {"../rt", Path, Style::Posix, Refusal::Relative},
      {"C:\\rt", Path, Style::Posix, Refusal::Relative},
      {"/opt/a:b", Path, Style::Posix, Refusal::ListSeparator},
      {"/opt/a;b", Path, Style::Posix, Refusal::None},
      {"app.jar", Listed, Style::Windows, Refusal::None},
      {"console.jar", Listed, Style::Windows, Refusal::None},
      {"com10.jar", Listed, Style::Windows, Refusal::None},
      {"NUL.jar", Listed, Style::Windows, Refusal::DeviceName},
      {"com1.jar", Listed, Style::Windows, Refusal::DeviceName},
      {"Aux.tar.zip", Listed, Style::Windows, Refusal::DeviceName},
      {"lpt9.zip", Listed, Style::Windows, Refusal::DeviceName},
      {"prn .jar", Listed, Style::Windows, Refusal::DeviceName},
      {"con", Listed, Style::Windows, Refusal::DeviceName},
      {"trail.jar.", Listed, Style::Windows, Refusal::TrailingDotOrSpace},
      {"trail2.jar ", Listed, Style::Windows, Refusal::TrailingDotOrSpace},
      {"a;b.jar", Listed, Style::Windows, Refusal::ListSeparator},
      {"", Listed, Style::Windows, Refusal::Empty},
      {"a:b.jar", Listed, Style::Posix, Refusal::ListSeparator},
      {"nul.jar", Listed, Style::Posix, Refusal::None},
      {"trail.jar.", Listed, Style::Posix, Refusal::None},
      {"\xc3\xa9t\xc3\xa9.jar", Listed, Style::Posix, Refusal::None},
      {"\xff.jar", Listed, Style::Posix, Refusal::NotUtf8},
      {"\xc0\xaf.jar", Listed, Style::Posix, Refusal::NotUtf8},      // overlong "/"
      {"\xed\xa0\x80.jar", Listed, Style::Posix, Refusal::NotUtf8},  // a surrogate
      {"\xe2\x82", Listed, Style::Posix, Refusal::NotUtf8},          // cut short
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.kind == Path ? outside_path::judgePath(c.text, c.style)
                             : outside_path::judgeListedName(c.text, c.style),
              c.expected)
        << c.text;
  }
}

// The check in place agrees with the round trip through strict decoding:
// every text of one or two bytes, and of three and four over the bytes
// where the rules change.
TEST(OutsidePathTest, Utf8CheckAgreesWithTheRoundTrip) {
  const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBD, 0xBF, 0xC0,
                                 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  auto agrees = [](const std::string& text) {
    bool roundTrip = utf8_text::encodeUtf8(utf8_text::decodeUtf8(text)) == text;
    EXPECT_EQ(outside_path::isUtf8(text), roundTrip) << ::testing::PrintToString(text);
  };
  for (int a = 0; a < 256; ++a) {
    agrees(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) {
      agrees({static_cast<char>(a), static_cast<char>(b)});
    }
  }
  for (unsigned char a : edges) {
    for (unsigned char b : edges) {
      for (unsigned char c : edges) {
        agrees({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        for (unsigned char d : edges) {
          agrees({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                  static_cast<char>(d)});
        }
      }
    }
  }
}

}  // namespace
