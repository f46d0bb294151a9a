// The single-instance guard: a refused second launch, and the worker that
// gives the name up after 30 seconds.
#include "launcher/instance_guard.h"

#include "launcher_fixture.h"

namespace {

using InstanceGuardTest = LauncherTest;

TEST_F(InstanceGuardTest, SecondLaunchEndsAtOnceTouchingNothing) {
  setUpWorkingMachine();
  fake::takeMutexName("Veltrana.jar");

  EXPECT_EQ(launch(), 1);

  // The mutex is the only thing asked for: no worker, no path, no key, no
  // file, no library, no box.
  EXPECT_EQ(fake::events(), std::vector<std::string>{"createMutex Veltrana.jar"});
  EXPECT_TRUE(fake::messageBoxes().empty());
  EXPECT_FALSE(fake::folderExists("C:\\Users\\ann\\Logs"));
  EXPECT_EQ(fakejni::creation().calls, 0);
}

TEST_F(InstanceGuardTest, WorkerGivesTheNameUpAfterThirtySeconds) {
  setUpWorkingMachine();
  ASSERT_EQ(launch(), 0);

  // The launch never waited for the worker: it has not run yet, and the
  // name is still held.
  ASSERT_EQ(fake::pendingThreadCount(), 1u);
  EXPECT_TRUE(fake::sleeps().empty());
  EXPECT_TRUE(fake::mutexNameTaken("Veltrana.jar"));

  std::size_t before = fake::events().size();
  fake::runPendingThreads();

  EXPECT_EQ(fake::sleeps(), std::vector<unsigned long>{30000});
  std::vector<std::string> workerEvents(fake::events().begin() + before, fake::events().end());
  EXPECT_EQ(workerEvents, (std::vector<std::string>{"sleep 30000", "releaseMutex", "closeHandle",
                                                    "threadExit 0"}));
  // The handle closed was the launch's own: the name is free for the next.
  EXPECT_FALSE(fake::mutexNameTaken("Veltrana.jar"));
  EXPECT_TRUE(acquireInstanceGuard());
}

TEST_F(InstanceGuardTest, LaunchGoesOnWhenTheWorkerCannotStart) {
  setUpWorkingMachine();
  fake::failThreadCreation();

  EXPECT_EQ(launch(), 0);
  EXPECT_TRUE(fakejni::mainCall().called);
  // Nobody gives the name up now; it goes with the process.
  EXPECT_TRUE(fake::mutexNameTaken("Veltrana.jar"));
}

}  // namespace
