// The arguments as the launcher hands them to Java: argv decoded from UTF-8
// into UTF-16.
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "posix_test_support.h"

namespace {

std::vector<std::u16string> split(std::vector<std::string> argv) {
  std::vector<char*> pointers;
  for (std::string& arg : argv) {
    pointers.push_back(&arg[0]);
  }
  pointers.push_back(nullptr);
  platform::setCommandLine(static_cast<int>(argv.size()), pointers.data());
  std::vector<std::u16string> args;
  platform::CommandLineHandle handle = platform::splitCommandLine(args);
  EXPECT_NE(handle, nullptr);
  platform::releaseCommandLine(handle);
  return args;
}

TEST(CommandLineTest, DecodesUtf8IntoUtf16) {
  std::vector<std::u16string> args =
      split({"/opt/app/Veltrana", "plain", "Grüße", "日本語", "\xF0\x9F\x98\x80", "", "a b"});
  ASSERT_EQ(args.size(), 7u);
  EXPECT_EQ(args[0], u"/opt/app/Veltrana");
  EXPECT_EQ(args[1], u"plain");
  EXPECT_EQ(args[2], (std::u16string{u'G', u'r', 0x00FC, 0x00DF, u'e'}));
  EXPECT_EQ(args[3], (std::u16string{0x65E5, 0x672C, 0x8A9E}));
  EXPECT_EQ(args[4], (std::u16string{0xD83D, 0xDE00}));  // U+1F600 as a surrogate pair
  EXPECT_EQ(args[5], u"");
  EXPECT_EQ(args[6], u"a b");
}

TEST(CommandLineTest, InvalidBytesBecomeReplacementCharacters) {
  // Each byte that cannot start or continue a character, and each sequence
  // cut short, becomes one U+FFFD; decoding goes on after it.
  std::vector<std::u16string> args = split({
      "prog",
      "a\xFF"
      "b",                 // a byte no UTF-8 text holds
      "\xC3",              // cut short at the end
      "\xE6\x97x",         // cut short before an ASCII byte
      "\xC0\xAF",          // an overlong "/" in two bytes
      "\xE0\x80\xAF",      // an overlong "/" in three bytes
      "\xED\xA0\x80",      // an encoded surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\x80z",             // a continuation byte with no lead
  });
  ASSERT_EQ(args.size(), 9u);
  const char16_t bad = 0xFFFD;
  EXPECT_EQ(args[1], (std::u16string{u'a', bad, u'b'}));
  EXPECT_EQ(args[2], (std::u16string{bad}));
  EXPECT_EQ(args[3], (std::u16string{bad, u'x'}));
  EXPECT_EQ(args[4], (std::u16string{bad, bad}));
  EXPECT_EQ(args[5], (std::u16string{bad, bad, bad}));
  EXPECT_EQ(args[6], (std::u16string{bad, bad, bad}));
  EXPECT_EQ(args[7], (std::u16string{bad, bad, bad, bad}));
  EXPECT_EQ(args[8], (std::u16string{bad, u'z'}));
}

}  // namespace
