// The Java vendor's key, answered from the machine's own runtime when the
// registry file does not define it.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "posix_test_support.h"
#include "runtime/java_runtime.h"

namespace {

const char* const kVendorKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

class JavaRuntimeKeyTest : public PosixLayerTest {
 protected:
  // A folder laid out as a runtime's home: bin/java, and a release file
  // when release is not null.
  std::string makeRuntime(const std::string& name, const char* release) {
    makeFolder(name + "/bin");
    writeText(path(name + "/bin/java"), "#!/bin/sh\n");
    chmod(path(name + "/bin/java").c_str(), 0755);
    if (release != nullptr) {
      writeText(path(name + "/release"), release);
    }
    return path(name);
  }

  // A text value without its terminator, or "<missing>".
  std::string text(const std::string& key, const char* name) {
    platform::RegKey handle = nullptr;
    if (platform::regOpenKey(key.c_str(), &handle) != 0) {
      return "<missing>";
    }
    char buffer[1024] = {0};
    unsigned long size = sizeof buffer - 1;
    if (platform::regQueryValue(handle, name, nullptr, reinterpret_cast<unsigned char*>(buffer),
                                &size) != 0) {
      return "<missing>";
    }
    return buffer;
  }
};

TEST_F(JavaRuntimeKeyTest, ComesFromJavaHomeAndItsReleaseFile) {
  std::string home = makeRuntime("jdk", "IMPLEMENTOR=\"Someone\"\nJAVA_VERSION=\"17.0.15\"\n");
  setEnv("JAVA_HOME", home.c_str());
  EXPECT_EQ(text(kVendorKey, "CurrentVersion"), "17.0.15");
  std::string versionKey = std::string(kVendorKey) + "\\17.0.15";
  EXPECT_EQ(text(versionKey, "JavaHome"), home);
  EXPECT_EQ(text(versionKey, "RuntimeLib"), home + "/lib/server/libjvm.so");
}

// The JDK 8 and JRE 8 layouts keep the VM library below jre/ or
// lib/amd64/; the first layout whose library is a file is named, and the
// newer layout's name stays when none is.
TEST_F(JavaRuntimeKeyTest, VmLibraryOfTheLayoutThatHasOne) {
  const std::string jdk8 = "/jre/lib/amd64/server/libjvm.so", jre8 = "/lib/amd64/server/libjvm.so",
                    now = "/lib/server/libjvm.so";
  struct Case {
    std::string name;
    std::vector<std::string> libraries;  // none: a folder in the JRE 8 library's place
    std::string named;
  };
  const Case cases[] = {{"jdk8", {jdk8}, jdk8},
                        {"jre8", {jre8}, jre8},
                        {"both", {now, jre8}, now},
                        {"folder", {}, now}};
  for (const Case& c : cases) {
    std::string home = makeRuntime(c.name, "JAVA_VERSION=\"1.8.0_402\"\n");
    makeFolder(c.name + (c.libraries.empty() ? jre8 : "/lib/amd64/server"));
    for (const std::string& library : c.libraries) {
      makeFolder(c.name + library.substr(0, library.rfind('/')));
      writeText(home + library, "");
    }
    setEnv("JAVA_HOME", home.c_str());
    platform::forgetRegistry();
    EXPECT_EQ(text(std::string(kVendorKey) + "\\1.8.0_402", "RuntimeLib"), home + c.named)
        << c.name;
  }
}

TEST_F(JavaRuntimeKeyTest, WithoutReleaseFileTheVersionIsDefault) {
  std::string home = makeRuntime("jdk", nullptr);
  setEnv("JAVA_HOME", home.c_str());
  EXPECT_EQ(text(kVendorKey, "CurrentVersion"), "default");
  EXPECT_EQ(text(std::string(kVendorKey) + "\\default", "JavaHome"), home);
}

TEST_F(JavaRuntimeKeyTest, ComesFromTheJavaCommandOnPathThroughItsLinks) {
  std::string home = makeRuntime("real/jdk-11", "JAVA_VERSION=\"11.0.2\"\r\n");
  makeFolder("links");
  ASSERT_EQ(symlink(path("real/jdk-11/bin/java").c_str(), path("links/java").c_str()), 0);
  setEnv("PATH", (path("bin") + ":" + path("links")).c_str());

  char* realHome = realpath(home.c_str(), nullptr);
  ASSERT_NE(realHome, nullptr);
  std::string expectedHome = realHome;
  free(realHome);
  EXPECT_EQ(text(kVendorKey, "CurrentVersion"), "11.0.2");
  EXPECT_EQ(text(std::string(kVendorKey) + "\\11.0.2", "JavaHome"), expectedHome);
}

TEST_F(JavaRuntimeKeyTest, NoJavaAnywhereMeansNoKey) {
  platform::RegKey key = nullptr;
  EXPECT_NE(platform::regOpenKey(kVendorKey, &key), 0);
}

TEST_F(JavaRuntimeKeyTest, TheRegistryFileWinsOverTheMachine) {
  setEnv("JAVA_HOME", makeRuntime("jdk", "JAVA_VERSION=\"17\"\n").c_str());
  writeText(path("reg.txt"),
            "REGEDIT4\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\n"
            "\"CurrentVersion\"=\"1.6\"\n");
  setEnv("VELTRANA_REGISTRY", path("reg.txt").c_str());
  EXPECT_EQ(text(kVendorKey, "CurrentVersion"), "1.6");
  EXPECT_EQ(text(std::string(kVendorKey) + "\\17", "JavaHome"), "<missing>");
}

TEST_F(JavaRuntimeKeyTest, ALaunchFindsTheMachineRuntimeThroughIt) {
  std::string home = makeRuntime("jdk", "JAVA_VERSION=\"17.0.15\"\n");
  setEnv("JAVA_HOME", home.c_str());
  // No maker key, so the launch goes straight to the vendor's key.
  findJavaRuntime(path("app"));
  EXPECT_STREQ(jreCurrentVersion, "17.0.15");
  EXPECT_STREQ(javaHomeDir, home.c_str());
  EXPECT_STREQ(runtimeLibPath, (home + "/lib/server/libjvm.so").c_str());
}

}  // namespace
