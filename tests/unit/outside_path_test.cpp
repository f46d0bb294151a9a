// The rule every path from the registry, the environment or a listing
// passes, for both platforms' styles.
#include "platform/outside_path.h"

#include <gtest/gtest.h>

using outside_path::Refusal;
using outside_path::Style;

namespace {

struct PathCase {
  const char* path;
  Style style;
  Refusal expected;
};

TEST(OutsidePathTest, PathsFromTheRegistryAndTheEnvironment) {
  const PathCase cases[] = {
      {"C:\\Program Files\\Orrindale", Style::Windows, Refusal::None},
      {"c:\\", Style::Windows, Refusal::None},
      {"\\\\server\\share\\rt", Style::Windows, Refusal::None},
      {"", Style::Windows, Refusal::Empty},
      {"..\\rt", Style::Windows, Refusal::Relative},
      {"jvm.dll", Style::Windows, Refusal::Relative},
      {"\\rt", Style::Windows, Refusal::Relative},         // the current drive's root
      {"C:rt", Style::Windows, Refusal::Relative},         // the drive's current folder
      {"\\\\server", Style::Windows, Refusal::Relative},   // no share
      {"\\\\\\share", Style::Windows, Refusal::Relative},  // no server
      {"QT\\", Style::Windows, Refusal::Relative},
      {"C:\\a;b", Style::Windows, Refusal::ListSeparator},
      {"C:\\a:b", Style::Windows, Refusal::None},
      {"/usr/lib/jvm", Style::Posix, Refusal::None},
      {"", Style::Posix, Refusal::Empty},
      {"../rt", Style::Posix, Refusal::Relative},
      {"C:\\rt", Style::Posix, Refusal::Relative},
      {"/opt/a:b", Style::Posix, Refusal::ListSeparator},
      {"/opt/a;b", Style::Posix, Refusal::None},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(outside_path::judgePath(c.path, c.style), c.expected) << c.path;
  }
}

TEST(OutsidePathTest, NamesInAListing) {
  const PathCase cases[] = {
      {"app.jar", Style::Windows, Refusal::None},
      {"console.jar", Style::Windows, Refusal::None},
      {"com10.jar", Style::Windows, Refusal::None},
      {"nul", Style::Windows, Refusal::DeviceName},
      {"NUL.jar", Style::Windows, Refusal::DeviceName},
      {"com1.jar", Style::Windows, Refusal::DeviceName},
      {"Aux.tar.zip", Style::Windows, Refusal::DeviceName},
      {"lpt9.zip", Style::Windows, Refusal::DeviceName},
      {"prn .jar", Style::Windows, Refusal::DeviceName},
      {"con", Style::Windows, Refusal::DeviceName},
      {"trail.jar.", Style::Windows, Refusal::TrailingDotOrSpace},
      {"trail2.jar ", Style::Windows, Refusal::TrailingDotOrSpace},
      {"a;b.jar", Style::Windows, Refusal::ListSeparator},
      {"", Style::Windows, Refusal::Empty},
      {"a:b.jar", Style::Posix, Refusal::ListSeparator},
      {"nul.jar", Style::Posix, Refusal::None},
      {"trail.jar.", Style::Posix, Refusal::None},
      {"\xc3\xa9t\xc3\xa9.jar", Style::Posix, Refusal::None},
      {"\xff.jar", Style::Posix, Refusal::NotUtf8},
      {"\xc0\xaf.jar", Style::Posix, Refusal::NotUtf8},      // overlong "/"
      {"\xed\xa0\x80.jar", Style::Posix, Refusal::NotUtf8},  // a surrogate
      {"\xe2\x82", Style::Posix, Refusal::NotUtf8},          // cut short
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(outside_path::judgeListedName(c.path, c.style), c.expected) << c.path;
  }
}

}  // namespace
