// The registry stand-in: a text file in the registry export format.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "posix_test_support.h"
#include "runtime/java_runtime.h"
#include "runtime/registry_text.h"

namespace {

class RegistryFileTest : public PosixLayerTest {
 protected:
  void useRegistry(const std::string& text) {
    writeText(path("reg.txt"), text);
    setEnv("VELTRANA_REGISTRY", path("reg.txt").c_str());
    platform::forgetRegistry();
  }

  // The value's bytes as text (terminator included), or "<no key>" /
  // "<no value>".
  std::string query(const char* key, const char* name, unsigned long* type = nullptr) {
    platform::RegKey handle = nullptr;
    if (platform::regOpenKey(key, &handle) != 0) {
      return "<no key>";
    }
    unsigned long size = 0;
    if (platform::regQueryValue(handle, name, type, nullptr, &size) != 0) {
      return "<no value>";
    }
    std::string bytes(size, '?');
    EXPECT_EQ(platform::regQueryValue(handle, name, type,
                                      reinterpret_cast<unsigned char*>(&bytes[0]), &size),
              0);
    return bytes;
  }
};

const char* const kSample =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "; the maker's key\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\n"
    "\"JAVA_HOME\"=\"/opt/rt\"\n"
    "\"Quoted\"=\"say \\\"hi\\\" to C:\\\\Temp\\\\\"\n"
    "\"Empty\"=\"\"\n"
    "@=\"the default\"\n"
    "\"Count\"=dword:0000002a\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Apple Computer, Inc.\\QuickTime]\n"
    "\"QTExtDir\"=\"/opt/qt/QTSystem/\"\n";

TEST_F(RegistryFileTest, ReadsTextValuesWithTheirTerminatorAndEscapes) {
  useRegistry(kSample);
  unsigned long type = 0;
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "JAVA_HOME", &type), std::string("/opt/rt", 8));
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "Quoted"), std::string("say \"hi\" to C:\\Temp\\") + '\0');
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "Empty"), std::string(1, '\0'));
  EXPECT_EQ(query("SOFTWARE\\Orrindale", ""), std::string("the default") + '\0');
  EXPECT_EQ(query("SOFTWARE\\Apple Computer, Inc.\\QuickTime", "QTExtDir"),
            std::string("/opt/qt/QTSystem/") + '\0');
}

TEST_F(RegistryFileTest, ReadsDwordValuesAsFourLittleEndianBytes) {
  useRegistry(kSample);
  unsigned long type = 0;
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "Count", &type), std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(type, platform::kRegDword);
}

TEST_F(RegistryFileTest, KeysAndValueNamesIgnoreCase) {
  useRegistry(kSample);
  EXPECT_EQ(query("software\\ORRINDALE", "java_home"), std::string("/opt/rt", 8));
  useRegistry("REGEDIT4\n[hkey_local_machine\\Software\\MIXED\\Case]\n\"V\"=\"1\"\n");
  EXPECT_EQ(query("SOFTWARE\\mixed\\CASE", "v"), std::string("1", 2));
}

TEST_F(RegistryFileTest, ParentKeysOfASectionExist) {
  useRegistry("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B\\C]\n");
  platform::RegKey key = nullptr;
  EXPECT_EQ(platform::regOpenKey("SOFTWARE", &key), 0);
  EXPECT_EQ(platform::regOpenKey("SOFTWARE\\A", &key), 0);
  EXPECT_EQ(platform::regOpenKey("SOFTWARE\\A\\B", &key), 0);
  EXPECT_EQ(platform::regOpenKey("SOFTWARE\\A\\B\\C", &key), 0);
  EXPECT_NE(platform::regOpenKey("SOFTWARE\\A\\B\\C\\D", &key), 0);
  EXPECT_NE(platform::regOpenKey("SOFTWARE\\B", &key), 0);
  // An empty name in the path (as left by an empty version text) names no key.
  EXPECT_NE(platform::regOpenKey("SOFTWARE\\A\\", &key), 0);
  EXPECT_NE(platform::regOpenKey("SOFTWARE\\\\A", &key), 0);
}

TEST_F(RegistryFileTest, MissingValuesAndKeysReportFileNotFound) {
  useRegistry(kSample);
  platform::RegKey key = nullptr;
  EXPECT_EQ(platform::regOpenKey("SOFTWARE\\Nobody", &key),
            static_cast<long>(platform::kErrorFileNotFound));
  ASSERT_EQ(platform::regOpenKey("SOFTWARE\\Orrindale", &key), 0);
  unsigned long size = 0;
  EXPECT_EQ(platform::regQueryValue(key, "Nothing", nullptr, nullptr, &size),
            static_cast<long>(platform::kErrorFileNotFound));
}

TEST_F(RegistryFileTest, ShortBufferGetsMoreDataAndTheSizeNeeded) {
  useRegistry(kSample);
  platform::RegKey key = nullptr;
  ASSERT_EQ(platform::regOpenKey("SOFTWARE\\Orrindale", &key), 0);
  unsigned char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  unsigned long size = 7;  // "/opt/rt" needs 8 with its terminator
  EXPECT_EQ(platform::regQueryValue(key, "JAVA_HOME", nullptr, buffer, &size),
            static_cast<long>(platform::kErrorMoreData));
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(buffer[0], 'x');
}

// hex(2) text has its %VARIABLES% expanded from the environment before
// use, as Windows does; what is unset or unclosed stays as written. The size
// asked for first is the expanded text's.
TEST_F(RegistryFileTest, ExpandableTextIsReadExpanded) {
  setEnv("VT_EXPAND_HOME", "/opt/j\xC3\xA9");
  setEnv("VT_EXPAND_UNSET", nullptr);
  auto hex = [](const std::string& text) {
    std::string list;
    for (char c : text + '\0') {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%02x,", static_cast<unsigned char>(c));
      list += pair;
    }
    return "hex(2):" + list.substr(0, list.size() - 1);
  };
  useRegistry("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\n\"JAVA_HOME\"=" +
              hex("%VT_EXPAND_HOME%/jre") + "\n\"Kept\"=" + hex("%VT_EXPAND_UNSET%/%%/50%") + "\n");
  unsigned long type = 0;
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "JAVA_HOME", &type),
            std::string("/opt/j\xC3\xA9/jre", 13));
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "Kept"), std::string("%VT_EXPAND_UNSET%/%%/50%", 25));
}

TEST_F(RegistryFileTest, AcceptsBomCrlfCommentsAndTheOldHeader) {
  useRegistry(
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "  ; indented comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\r\n"
      "\"JAVA_HOME\"=\"/opt/rt\"\r\n");
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "JAVA_HOME"), std::string("/opt/rt", 8));
}

// regedit's own exports: UTF-16LE with a byte-order mark, every value form
// with its type and bytes, continued lines, and the deletion forms.
TEST_F(RegistryFileTest, ReadsRegeditExportsWithEveryValueForm) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old\\Sub]\r\n\"v\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\r\n"
      "@=\"dflt\"\r\n"
      "\"JAVA_HOME\"=\"/opt/r\xC3\xA9\"\r\n"
      "\"Expand\"=hex(2):2f,00,e9,00,3d,d8,1e,dd,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\"Bin\"=hex:01,02,\\\r\n  03\r\n"
      "\"Q\"=hex(b):2a,00,00,00,00,00,00,00\r\n"
      "\"None\"=hex(0):\r\n"
      "\"Odd\"=hex(4a):ff\r\n"
      "\"Gone\"=\"x\"\r\n\"Gone\"=-\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\"ignored\"=\"x\"\r\n";
  std::string wide = "\xFF\xFE";
  // The non-ASCII character above is written as UTF-8; widen it as such.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) == 0xC3) {
      wide += std::string("\xE9\0", 2);
      ++i;
    } else {
      wide += std::string(1, text[i]) + '\0';
    }
  }
  useRegistry(wide);
  const char* key = "SOFTWARE\\Orrindale";
  unsigned long type = 99;
  EXPECT_EQ(query(key, "", &type), std::string("dflt", 5));
  EXPECT_EQ(query(key, "JAVA_HOME"), std::string("/opt/r\xC3\xA9", 9));
  // Expandable text is read expanded, as plain text (see below).
  EXPECT_EQ(query(key, "Expand", &type), std::string("/\xC3\xA9\xF0\x9F\x94\x9E", 8));
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(query(key, "Multi", &type), std::string("a\0b\0\0", 5));
  EXPECT_EQ(type, 7u);
  EXPECT_EQ(query(key, "Bin", &type), "\x01\x02\x03");
  EXPECT_EQ(type, platform::kRegBinary);
  EXPECT_EQ(query(key, "Q", &type), std::string("\x2a\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(type, 11u);
  EXPECT_EQ(query(key, "None", &type), "");
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(query(key, "Odd", &type), "\xFF");
  EXPECT_EQ(type, 0x4au);
  EXPECT_EQ(query(key, "Gone"), "<no value>");
  EXPECT_EQ(query("SOFTWARE\\Old\\Sub", "v"), "<no key>");
  EXPECT_EQ(query("SOFTWARE\\Old", "ignored"), "<no key>");

  // A value of another type is not text, as on Windows; expandable text is.
  platform::RegKey handle = nullptr;
  ASSERT_EQ(platform::regOpenKey(key, &handle), 0);
  char buffer[64] = "untouched";
  EXPECT_FALSE(readRegistryText(handle, "Bin", buffer, sizeof buffer));
  EXPECT_FALSE(readRegistryText(handle, "Multi", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_TRUE(readRegistryText(handle, "Expand", buffer, sizeof buffer));

  // REGEDIT4 writes text inside hex(...) in the narrow encoding.
  useRegistry("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"S\"=hex(1):41,42,00\n");
  EXPECT_EQ(query("A", "S", &type), std::string("AB", 3));
  EXPECT_EQ(type, platform::kRegSz);
}

// A key path tens of thousands of levels deep costs memory in proportion
// to the file, and every level exists.
TEST_F(RegistryFileTest, DeeplyNestedKeysAreReadInProportionToTheFile) {
  std::string deep = "k";
  for (int i = 1; i < 80000; ++i) {
    deep += "\\k";
  }
  useRegistry("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + deep + "]\n\"v\"=\"1\"\n");
  EXPECT_EQ(query(deep.c_str(), "v"), std::string("1", 2));
  EXPECT_EQ(query(deep.substr(0, 79999).c_str(), "v"), "<no value>");
}

TEST_F(RegistryFileTest, ReadsTheFileOnceOnly) {
  useRegistry(kSample);
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "JAVA_HOME"), std::string("/opt/rt", 8));
  writeText(path("reg.txt"), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n");
  EXPECT_EQ(query("SOFTWARE\\Orrindale", "JAVA_HOME"), std::string("/opt/rt", 8));
}

// A file the launcher cannot read as the format is a fatal launch error:
// one line on standard error, one session-log entry, exit code 1.
using RegistryFileDeathTest = RegistryFileTest;

TEST_F(RegistryFileDeathTest, MalformedFileIsFatalAndNamesTheLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"", 1},
      {"REGEDIT5\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n", 1},
      {"\xFF\xFEREGEDIT4\n", 1},
      {"REGEDIT4\n\"Orphan\"=\"value before any section\"\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\n\"x\"=\"1\"\n", 2},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\\\A]\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\"y\"=\"a\\nb\"\n", 4},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"unterminated\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\" = \"1\"\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\" trailing\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:01,0g\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:12g4\n", 3},
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\nnonsense\r\n", 4},
  };
  std::string logFile = path("home/Logs/Veltrana Session Log.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    useRegistry(c.text);
    std::string expected =
        "Malformed registry file " + path("reg.txt") + ", line " + std::to_string(c.line);
    // The path holds no regular-expression characters besides "." and "-".
    EXPECT_EXIT(
        findJavaRuntime(dir_), ::testing::ExitedWithCode(1),
        "^Veltrana\\.exe: Fatal Error Launching: Malformed registry file .*/reg\\.txt, line " +
            std::to_string(c.line) + "\n$");
    std::string log = readText(logFile);
    EXPECT_NE(log.find("\r\nFatal Error Launching: " + expected + "\r\n"), std::string::npos)
        << log;
    std::remove(logFile.c_str());
  }
}

TEST_F(RegistryFileDeathTest, UnreadableFileIsFatal) {
  // Only a regular file of sensible size is read: a FIFO must not hang the
  // launch, nor a device or a huge file exhaust its memory.
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  makeFolder("folder");
  writeText(path("huge"), "REGEDIT4\n");
  ASSERT_EQ(truncate(path("huge").c_str(), 16 * 1024 * 1024 + 1), 0);
  for (std::string file : {path("missing.txt"), path("fifo"), path("folder"), path("huge"),
                           std::string("/dev/zero")}) {
    SCOPED_TRACE(file);
    setEnv("VELTRANA_REGISTRY", file.c_str());
    platform::forgetRegistry();
    EXPECT_EXIT(findJavaRuntime(dir_), ::testing::ExitedWithCode(1),
                "^Veltrana\\.exe: Fatal Error Launching: Can't read registry file " + file + "\n$");
  }
}

}  // namespace
