// The named mutex stand-in: the user's guard socket, or an advisory lock on
// a per-user file where another user holds the socket's name, checked
// between real processes.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "posix_test_support.h"

namespace {

using LockFileMutexTest = PosixLayerTest;

// What a second process sees when it asks for the name, after prepare has
// changed its environment: its last error after createMutex, or 255 when
// it got no handle at all.
int lastErrorInChild(const char* name, const std::function<void()>& prepare = nullptr) {
  pid_t child = fork();
  if (child == 0) {
    if (prepare) {
      prepare();
    }
    platform::setLastError(12345);
    platform::MutexHandle mutex = platform::createMutex(name, true);
    _exit(mutex == nullptr ? 255 : static_cast<int>(platform::getLastError()));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LockFileMutexTest, SecondProcessSeesTheNameTakenUntilTheFirstCloses) {
  setEnv("XDG_RUNTIME_DIR", dir_.c_str());
  chmod(dir_.c_str(), 0700);

  platform::setLastError(12345);
  platform::MutexHandle mutex = platform::createMutex("Veltrana.jar", true);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(platform::getLastError(), platform::kErrorSuccess);

  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));
  EXPECT_EQ(lastErrorInChild("Another.name"), static_cast<int>(platform::kErrorSuccess));
  // One guard for the user, whatever the second launch's environment, and
  // a temp cleaner emptying the folders does not end it.
  auto elsewhere = [this] {
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", path("home").c_str(), 1);
  };
  EXPECT_EQ(lastErrorInChild("Veltrana.jar", elsewhere),
            static_cast<int>(platform::kErrorAlreadyExists));
  std::filesystem::remove_all(path("veltrana-" + std::to_string(geteuid())));
  std::filesystem::remove(path("Veltrana.jar.lock"));
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));

  // The worker's release changes nothing; only closing drops the name.
  EXPECT_FALSE(platform::releaseMutex(mutex));
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));
  EXPECT_TRUE(platform::closeHandle(mutex));
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorSuccess));
}

TEST_F(LockFileMutexTest, NameHeldUntilTheHoldingProcessEnds) {
  setEnv("XDG_RUNTIME_DIR", dir_.c_str());
  chmod(dir_.c_str(), 0700);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    platform::createMutex("Veltrana.jar", true);
    char signal = 'x';
    (void)!write(ready[1], &signal, 1);
    pause();  // until killed
    _exit(0);
  }
  char signal;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorSuccess));
  close(ready[0]);
  close(ready[1]);
}

// A process of another user holding the name of the user's guard socket,
// as anyone may; it ends when the test kills it.
pid_t squat(const char* name) {
  std::string socketName = std::string(1, '\0') + platform::guardSocketName(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketName.data(), socketName.size());
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size());
  int ready[2];
  EXPECT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    char held = setuid(65534) == 0 &&
                bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 1) == 0;
    (void)!write(ready[1], &held, 1);
    pause();
  }
  char held = 0;
  (void)!read(ready[0], &held, 1);
  EXPECT_TRUE(held);
  return child;
}

TEST_F(LockFileMutexTest, LockFileGuardsWhereAnotherUserHoldsTheSocketsName) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "only root can hold the name as another user";
  }
  pid_t squatter = squat("Veltrana.jar");
  // Not taken: the lock file in the runtime folder guards instead.
  setEnv("XDG_RUNTIME_DIR", dir_.c_str());
  chmod(dir_.c_str(), 0700);
  platform::MutexHandle first = platform::createMutex("Veltrana.jar", true);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::getLastError(), platform::kErrorSuccess);
  EXPECT_EQ(access(path("Veltrana.jar.lock").c_str(), F_OK), 0);
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));
  platform::closeHandle(first);
  setEnv("XDG_RUNTIME_DIR", nullptr);

  // A runtime folder others may write to is not trusted with the lock.
  makeFolder("shared");
  chmod(path("shared").c_str(), 0777);
  setEnv("XDG_RUNTIME_DIR", path("shared").c_str());
  platform::MutexHandle mutex = platform::createMutex("Veltrana.jar", true);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(
      access(path("veltrana-" + std::to_string(geteuid()) + "/Veltrana.jar.lock").c_str(), F_OK),
      0);
  EXPECT_NE(access(path("shared/Veltrana.jar.lock").c_str(), F_OK), 0);
  platform::closeHandle(mutex);

  // A runtime folder of ours where no lock can be made (something else in
  // the lock file's place): the temp folder's lock guards instead.
  makeFolder("runtime");
  chmod(path("runtime").c_str(), 0700);
  makeFolder("runtime/Veltrana.jar.lock");
  setEnv("XDG_RUNTIME_DIR", path("runtime").c_str());
  mutex = platform::createMutex("Veltrana.jar", true);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(platform::getLastError(), platform::kErrorSuccess);
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), static_cast<int>(platform::kErrorAlreadyExists));
  platform::closeHandle(mutex);

  // No lock anywhere: no handle, and the guard lets the launch go on.
  std::string temp = path("veltrana-" + std::to_string(geteuid()));
  std::rename(temp.c_str(), path("moved").c_str());
  writeText(temp, "taken");
  setEnv("HOME", nullptr);
  EXPECT_EQ(lastErrorInChild("Veltrana.jar"), 255);
  kill(squatter, SIGKILL);
  waitpid(squatter, nullptr, 0);
}

}  // namespace
