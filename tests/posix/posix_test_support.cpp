#include "posix_test_support.h"

#include <sched.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/platform_posix.h"

void PosixLayerTest::SetUp() {
  // The guard's socket is named machine-wide: a namespace of the test's
  // own keeps tests that run side by side apart, where one can be had.
  (void)!unshare(CLONE_NEWNET);
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") +
                        "/veltrana-posix-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  ASSERT_NE(mkdtemp(buffer.data()), nullptr);
  dir_ = buffer.data();

  // Nothing the machine happens to have may leak in: no desktop (a dialog
  // would wait for a click), no registry file, no Java unless a test makes
  // one, and the per-user folders inside the test's folder.
  makeFolder("home");
  makeFolder("bin");
  setEnv("HOME", path("home").c_str());
  setEnv("TMPDIR", dir_.c_str());
  setEnv("XDG_RUNTIME_DIR", nullptr);
  setEnv("PATH", path("bin").c_str());
  setEnv("JAVA_HOME", nullptr);
  setEnv("VELTRANA_REGISTRY", nullptr);
  setEnv("DISPLAY", nullptr);
  setEnv("WAYLAND_DISPLAY", nullptr);
  platform::forgetRegistry();
}

void PosixLayerTest::TearDown() {
  platform::forgetRegistry();
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->wasSet) {
      setenv(it->name.c_str(), it->value.c_str(), 1);
    } else {
      unsetenv(it->name.c_str());
    }
  }
  saved_.clear();
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

void PosixLayerTest::setEnv(const char* name, const char* value) {
  const char* old = getenv(name);
  saved_.push_back(SavedVariable{name, old != nullptr, old != nullptr ? old : ""});
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

std::string PosixLayerTest::path(const std::string& relative) const {
  return dir_ + "/" + relative;
}

void PosixLayerTest::writeText(const std::string& file, const std::string& text) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << file;
}

void PosixLayerTest::makeFolder(const std::string& folder) const {
  std::filesystem::create_directories(path(folder));
}

std::string readText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
