// Finding the Java runtime (private first, then the vendor's) and loading
// its libraries.
#include "runtime/java_runtime.h"

#include <cstring>
#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "recording_observer.h"
#include "rules/outside_path.h"
#include "runtime/registry_text.h"

namespace {

const char* const kPrivateVm = "D:\\Rt\\jre1.6.0_02\\bin\\client\\jvm.dll";

class JavaRuntimeTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    fake::addFolder(paths::kProfile);
    fake::setEnv("USERPROFILE", paths::kProfile);
  }

  // Finds and loads the runtime; the code the process ended with, or
  // kReturned.
  int discover(const std::string& installDir) {
    return exitCodeOf([&] {
      findJavaRuntime(installDir);
      loadedEntry = loadJavaRuntime();
    });
  }

  CreateJavaVmFunction loadedEntry = nullptr;
};

bool wasStatted(const std::string& path) {
  for (const std::string& statted : fake::pathsStatted()) {
    if (statted == path) {
      return true;
    }
  }
  return false;
}

TEST_F(JavaRuntimeTest, PrivateRuntimeNamedByTheMakerKey) {
  fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", "D:\\Rt");
  fakejni::installVmLibrary(kPrivateVm);
  fake::addFile("D:\\Rt\\jre1.6.0_02\\bin\\msvcr71.dll");
  setVendorRuntime(paths::kVendorHome, paths::kVendorVm);

  RecordingObserver observer;
  setLaunchObserver(&observer);
  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_STREQ(javaHomeDir, "D:\\Rt\\jre1.6.0_02");
  EXPECT_STREQ(runtimeLibPath, kPrivateVm);
  EXPECT_STREQ(jreCurrentVersion, "");
  EXPECT_EQ(observer.events, std::vector<std::string>{"runtime maker folder D:\\Rt\\jre1.6.0_02 " +
                                                      std::string(kPrivateVm) + " "});
  EXPECT_EQ(fake::registryKeysOpened(), std::vector<std::string>{paths::kMakerKey});
  // The support library first, then the VM library, and its entry point.
  EXPECT_EQ(fake::librariesLoaded(),
            (std::vector<std::string>{"D:\\Rt\\jre1.6.0_02\\bin\\msvcr71.dll", kPrivateVm}));
  EXPECT_EQ(loadedEntry, fakejni::createJavaVmEntry());
  EXPECT_TRUE(sessionLog().empty());
}

TEST_F(JavaRuntimeTest, FallbackFolderJavaBesideTheInstallFolder) {
  struct Case {
    std::string installDir;
    std::string javaHome;  // "" when the maker key has no JAVA_HOME
    std::string expectedHome;
  };
  const Case cases[] = {
      {"C:\\Apps\\Suite\\Viewer", "D:\\Missing", "C:\\Apps\\Suite\\Java\\jre1.6.0_02"},
      // An install folder in a drive's root.
      {"C:", "D:\\Missing", "C:\\Java\\jre1.6.0_02"},
      {"C:\\Apps\\Suite\\Viewer", "", "C:\\Apps\\Suite\\Java\\jre1.6.0_02"},
  };
  for (const Case& c : cases) {
    startOver();
    fake::addRegistryKey(paths::kMakerKey);
    if (!c.javaHome.empty()) {
      fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", c.javaHome);
    }
    fakejni::installVmLibrary(c.expectedHome + "\\bin\\client\\jvm.dll");
    RecordingObserver observer;
    setLaunchObserver(&observer);

    ASSERT_EQ(discover(c.installDir), kReturned) << c.installDir;
    EXPECT_EQ(observer.events.at(0), "runtime beside install " + c.expectedHome + " " +
                                         c.expectedHome + "\\bin\\client\\jvm.dll ");

    EXPECT_STREQ(javaHomeDir, c.expectedHome.c_str()) << c.installDir;
    EXPECT_STREQ(runtimeLibPath, (c.expectedHome + "\\bin\\client\\jvm.dll").c_str());
    EXPECT_EQ(fake::registryKeysOpened().size(), 1u) << c.installDir;
  }
}

TEST_F(JavaRuntimeTest, SeparatorIsAddedEvenAfterOneAlreadyThere) {
  fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", "D:\\Rt\\");
  fakejni::installVmLibrary(kPrivateVm);

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_TRUE(wasStatted("D:\\Rt\\\\jre1.6.0_02"));
  EXPECT_STREQ(javaHomeDir, "D:\\Rt\\\\jre1.6.0_02");
  EXPECT_STREQ(runtimeLibPath, "D:\\Rt\\\\jre1.6.0_02\\bin\\client\\jvm.dll");
}

TEST_F(JavaRuntimeTest, WithoutTheMakerKeyTheFolderBesideIsNotTried) {
  fakejni::installVmLibrary("C:\\Apps\\Java\\jre1.6.0_02\\bin\\client\\jvm.dll");
  setVendorRuntime(paths::kVendorHome, paths::kVendorVm);
  fakejni::installVmLibrary(paths::kVendorVm);

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_STREQ(javaHomeDir, paths::kVendorHome);
  EXPECT_STREQ(runtimeLibPath, paths::kVendorVm);
  EXPECT_STREQ(jreCurrentVersion, "1.6");
  EXPECT_FALSE(wasStatted("C:\\Apps\\Java"));
  EXPECT_EQ(
      fake::registryKeysOpened(),
      (std::vector<std::string>{paths::kMakerKey, paths::kVendorKey, paths::kVendorVersionKey}));
}

TEST_F(JavaRuntimeTest, PrivateFolderWithoutItsVmLibraryGivesWayToTheVendors) {
  // No library, or a folder in its place.
  for (const char* folder : {"D:\\Rt\\jre1.6.0_02\\bin", kPrivateVm}) {
    startOver();
    fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", "D:\\Rt");
    fake::addFolder(folder);
    setVendorRuntime(paths::kVendorHome, paths::kVendorVm);
    fakejni::installVmLibrary(paths::kVendorVm);

    ASSERT_EQ(discover(paths::kInstallDir), kReturned) << folder;

    EXPECT_STREQ(javaHomeDir, paths::kVendorHome);
    EXPECT_STREQ(runtimeLibPath, paths::kVendorVm);
    EXPECT_EQ(fake::librariesLoaded(), std::vector<std::string>{paths::kVendorVm});
  }
}

TEST_F(JavaRuntimeTest, MissingVendorHomeLeavesThePrivateHome) {
  fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", "D:\\Rt");
  fake::addFolder("D:\\Rt\\jre1.6.0_02");
  fake::setRegistryText(paths::kVendorKey, "CurrentVersion", "1.6");
  fake::setRegistryText(paths::kVendorVersionKey, "RuntimeLib", paths::kVendorVm);
  fakejni::installVmLibrary(paths::kVendorVm);

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_STREQ(javaHomeDir, "D:\\Rt\\jre1.6.0_02");
  EXPECT_STREQ(runtimeLibPath, paths::kVendorVm);
}

TEST_F(JavaRuntimeTest, MissingVendorKeysAreFatal) {
  struct Case {
    bool vendorKey;
    std::string message;
    std::string registryProblem;
  };
  const Case cases[] = {
      {false, "Can't locate JRE[Java Runtime Environment]", ""},
      {true, "Can't locate JRE[CurrentVersion]", ""},  // names a subkey that is not there
      // A registry that cannot be read at all is reported before any key is opened.
      {true, "Malformed registry file /r.reg, line 3", "Malformed registry file /r.reg, line 3"},
  };
  for (const Case& c : cases) {
    startOver();
    if (c.vendorKey) {
      fake::setRegistryText(paths::kVendorKey, "CurrentVersion", "1.6");
    }
    fake::setRegistryProblem(c.registryProblem);

    EXPECT_EQ(discover(paths::kInstallDir), 1) << c.message;

    const std::string text = "Fatal Error Launching: " + c.message;
    EXPECT_NE(sessionLog().find("\r\r\n" + text + "\r\r\n"), std::string::npos) << c.message;
    ASSERT_EQ(fake::messageBoxes().size(), 1u);
    EXPECT_EQ(fake::messageBoxes()[0].text, text);
    EXPECT_TRUE(fake::librariesLoaded().empty());
    EXPECT_EQ(fake::registryKeysOpened().empty(), !c.registryProblem.empty());
  }
}

TEST_F(JavaRuntimeTest, SupportLibraryIsLookedForInTheVendorsHome) {
  setVendorRuntime("E:\\Jre6", "F:\\Vm\\jvm.dll");
  fakejni::installVmLibrary("F:\\Vm\\jvm.dll");

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  // Absent: not loaded, not reported.
  EXPECT_TRUE(wasStatted("E:\\Jre6\\bin\\msvcr71.dll"));
  EXPECT_EQ(fake::librariesLoaded(), std::vector<std::string>{"F:\\Vm\\jvm.dll"});
  EXPECT_EQ(loadedEntry, fakejni::createJavaVmEntry());
  EXPECT_FALSE(fake::fileExists(paths::kSessionLog));
}

TEST_F(JavaRuntimeTest, SupportLibraryThatFailsIsLoggedAndTheVmStillLoads) {
  setVendorRuntime("E:\\Jre6", "F:\\Vm\\jvm.dll");
  fakejni::installVmLibrary("F:\\Vm\\jvm.dll");
  fake::addFile("E:\\Jre6\\bin\\msvcr71.dll");
  fake::failLibrary("E:\\Jre6\\bin\\msvcr71.dll");

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_EQ(fake::librariesLoaded(),
            (std::vector<std::string>{"E:\\Jre6\\bin\\msvcr71.dll", "F:\\Vm\\jvm.dll"}));
  EXPECT_EQ(loadedEntry, fakejni::createJavaVmEntry());
  const std::string log = sessionLog();
  EXPECT_NE(log.find("\r\r\nError Launching: Error loading msvcr71.dll\r\r\n"), std::string::npos);
  EXPECT_EQ(log.find("#####"), log.rfind("##### "));  // one entry
  EXPECT_TRUE(fake::messageBoxes().empty());
}

TEST_F(JavaRuntimeTest, UnusableVmLibraryIsFatal) {
  struct Case {
    const char* what;
    bool file;
    bool exportsEntry;
  };
  const Case cases[] = {
      {"missing library", false, false},
      {"library without JNI_CreateJavaVM", true, false},
  };
  for (const Case& c : cases) {
    startOver();
    setVendorRuntime(paths::kVendorHome, paths::kVendorVm);
    if (c.file) {
      fake::addFile(paths::kVendorVm, "MZ");
    }

    // Ends the process rather than handing on an entry point it never found.
    EXPECT_EQ(discover(paths::kInstallDir), 1) << c.what;

    EXPECT_EQ(loadedEntry, nullptr);
    ASSERT_EQ(fake::messageBoxes().size(), 1u) << c.what;
    EXPECT_EQ(fake::messageBoxes()[0].text, "Fatal Error Launching: Error loading JVM");
    EXPECT_NE(sessionLog().find("Fatal Error Launching: Error loading JVM"), std::string::npos);
  }
}

// --- Registry values that do not fit or are not text -----------------------------

TEST_F(JavaRuntimeTest, RegistryTextIsNeverWrittenPastItsBuffer) {
  const std::size_t capacity = 80;
  const std::string chars79(79, 'v');
  struct Case {
    const char* what;
    unsigned long type;
    std::string bytes;
    bool accepted;
    std::string expected;
  };
  const Case cases[] = {
      {"fits with its terminator", platform::kRegSz, chars79 + '\0', true, chars79},
      {"one byte too many", platform::kRegSz, chars79 + "v" + '\0', false, ""},
      {"no terminator, room for one", platform::kRegSz, chars79, true, chars79},
      {"no terminator, no room for one", platform::kRegSz, chars79 + "v", false, ""},
      {"far too large", platform::kRegSz, std::string(5000, 'w') + '\0', false, ""},
      {"a number", platform::kRegDword, std::string("\x01\x02\x03\x04", 4), false, ""},
      {"binary", platform::kRegBinary, std::string("D:\\Rt") + '\0', false, ""},
      // Expandable text is read expanded; its size is the expanded one.
      {"expandable", platform::kRegExpandSz, std::string("%RT%\\jre") + '\0', true, "D:\\Rt\\jre"},
      {"expandable, unset variable", platform::kRegExpandSz, "%NOPE%\\x", true, "%NOPE%\\x"},
      {"expandable, too large once expanded", platform::kRegExpandSz, std::string("%LONG%") + '\0',
       false, ""},
  };
  fake::setEnv("RT", "D:\\Rt");
  fake::setEnv("LONG", chars79 + "v");
  fake::addRegistryKey("SOFTWARE\\Test");
  platform::RegKey key = nullptr;
  ASSERT_EQ(platform::regOpenKey("SOFTWARE\\Test", &key), 0);

  for (const Case& c : cases) {
    fake::setRegistryValue("SOFTWARE\\Test", "Value", c.type, c.bytes);
    char storage[capacity + 32];
    std::memset(storage, 0x5A, sizeof storage);
    std::strcpy(storage, "before");

    bool accepted = readRegistryText(key, "Value", storage, capacity);

    EXPECT_EQ(accepted, c.accepted) << c.what;
    EXPECT_STREQ(storage, c.accepted ? c.expected.c_str() : "before") << c.what;
    for (std::size_t i = capacity; i < sizeof storage; ++i) {
      ASSERT_EQ(storage[i], 0x5A) << c.what << ": byte " << i << " past the buffer was written";
    }
  }

  char storage[16] = "before";
  EXPECT_FALSE(readRegistryText(key, "Absent", storage, sizeof storage));
  EXPECT_STREQ(storage, "before");
}

TEST_F(JavaRuntimeTest, RefusedCurrentVersionIsFatalAndTheVendorKeyIsNotReadAsARuntime) {
  struct Case {
    const char* what;
    unsigned long type;  // 0: no value
    std::string bytes;
  };
  const Case cases[] = {
      // 80 characters and a terminator: one byte more than the buffer holds.
      {"oversized", platform::kRegSz, std::string(80, '9') + '\0'},
      {"missing", 0, ""},
      {"empty", platform::kRegSz, std::string(1, '\0')},
      {"not text", platform::kRegDword, std::string("\x06\0\0\0", 4)},
  };
  for (const Case& c : cases) {
    startOver();
    // The vendor's key itself looks like a runtime, which must not be used.
    fake::setRegistryText(paths::kVendorKey, "JavaHome", paths::kVendorHome);
    fake::setRegistryText(paths::kVendorKey, "RuntimeLib", paths::kVendorVm);
    fakejni::installVmLibrary(paths::kVendorVm);
    if (c.type != 0) {
      fake::setRegistryValue(paths::kVendorKey, "CurrentVersion", c.type, c.bytes);
    }

    EXPECT_EQ(discover(paths::kInstallDir), 1) << c.what;

    EXPECT_STREQ(jreCurrentVersion, "") << c.what;
    EXPECT_EQ(fake::registryKeysOpened().back(), paths::kVendorKey) << c.what;
    EXPECT_TRUE(fake::librariesLoaded().empty()) << c.what;
    EXPECT_EQ(fake::messageBoxes().at(0).text,
              "Fatal Error Launching: Can't locate JRE[CurrentVersion]");
  }
}

TEST_F(JavaRuntimeTest, EmptyOrRelativePathsAreNeverJoinedToANameAndSearched) {
  struct Case {
    const char* what;
    const char* makerHome;  // null: no maker key
    const char* vendorHome;
    const char* vendorLib;
  };
  const Case cases[] = {
      {"empty JAVA_HOME, nothing beside", "", paths::kVendorHome, paths::kVendorVm},
      {"vendor JavaHome empty", nullptr, "", paths::kVendorVm},
      {"vendor RuntimeLib empty", nullptr, paths::kVendorHome, ""},
      // Relative: a maker's value counts as absent, a home as empty, and a
      // library is not loaded.
      {"relative JAVA_HOME", "..\\rt", paths::kVendorHome, paths::kVendorVm},
      {"relative JavaHome", nullptr, "jre1.6.0_02", paths::kVendorVm},
      {"relative RuntimeLib", nullptr, paths::kVendorHome, "jvm.dll"},
  };
  for (const Case& c : cases) {
    startOver();
    // Libraries planted at the root of the current drive (C:, from C:\Work).
    // Others where relative paths lead from C:\Work.
    for (const char* path :
         {"C:\\jre1.6.0_02\\bin\\client\\jvm.dll", "C:\\jre1.6.0_02\\bin\\msvcr71.dll",
          "C:\\bin\\msvcr71.dll", "C:\\rt\\jre1.6.0_02\\bin\\client\\jvm.dll", "C:\\Work\\jvm.dll",
          "C:\\Work\\jre1.6.0_02\\bin\\msvcr71.dll"}) {
      fakejni::installVmLibrary(path);
    }
    if (c.makerHome != nullptr) {
      fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", c.makerHome);
    }
    setVendorRuntime(c.vendorHome, c.vendorLib);
    fakejni::installVmLibrary(paths::kVendorVm);

    bool loads = outside_path::isAbsolute(c.vendorLib, outside_path::Style::Windows);
    EXPECT_EQ(discover(paths::kInstallDir), loads ? kReturned : 1) << c.what;

    std::vector<std::string> loaded;
    if (loads) {
      loaded.push_back(c.vendorLib);
    }
    EXPECT_EQ(fake::librariesLoaded(), loaded) << c.what;
    for (const std::string& path : fake::pathsStatted()) {
      EXPECT_TRUE(outside_path::isAbsolute(path, outside_path::Style::Windows))
          << c.what << ": " << path;
    }
  }
}

TEST_F(JavaRuntimeTest, OversizedJavaHomeIsTreatedAsMissing) {
  setVendorRuntime(std::string(1024, 'h'), paths::kVendorVm);
  fakejni::installVmLibrary(paths::kVendorVm);

  ASSERT_EQ(discover(paths::kInstallDir), kReturned);

  EXPECT_STREQ(javaHomeDir, "");
  EXPECT_STREQ(runtimeLibPath, paths::kVendorVm);
}

TEST_F(JavaRuntimeTest, PrivatePathsTooLongForTheirBuffersAreNotUsed) {
  // A maker folder that fits its 1024-byte buffer, whose runtime home or VM
  // library path would not fit javaHomeDir or runtimeLibPath.
  const std::string homeTooLong = "D:\\" + std::string(1020, 'r');  // home of 1035
  const std::string libTooLong = "D:\\" + std::string(997, 's');    // home 1012, library 1031
  for (const std::string& makerHome : {homeTooLong, libTooLong}) {
    startOver();
    fake::setRegistryText(paths::kMakerKey, "JAVA_HOME", makerHome);
    fakejni::installVmLibrary(makerHome + "\\jre1.6.0_02\\bin\\client\\jvm.dll");
    fake::setRegistryText(paths::kVendorKey, "CurrentVersion", "1.6");
    fake::setRegistryText(paths::kVendorVersionKey, "RuntimeLib", paths::kVendorVm);
    fakejni::installVmLibrary(paths::kVendorVm);

    ASSERT_EQ(discover(paths::kInstallDir), kReturned);

    EXPECT_STREQ(runtimeLibPath, paths::kVendorVm);
    // A home that fits stays until the vendor's value would replace it.
    const std::string expectedHome =
        makerHome == libTooLong ? makerHome + "\\jre1.6.0_02" : std::string();
    EXPECT_STREQ(javaHomeDir, expectedHome.c_str());
  }
}

}  // namespace
