#include "launcher/instance_guard.h"

platform::MutexHandle instanceMutex = nullptr;

namespace {
constexpr unsigned long kGuardMilliseconds = 30000;
}

void MutexRunnable::run() {
  platform::sleepMilliseconds(kGuardMilliseconds);
  // The worker does not own the mutex, so the release fails and changes
  // nothing; closing the process's only handle is what drops the name.
  platform::releaseMutex(instanceMutex);
  platform::closeHandle(instanceMutex);
}

unsigned long WorkerThread::threadStart(void* parameter) {
  static_cast<IRunnable*>(parameter)->run();
  return 0;
}

void WorkerThread::start() {
  // A worker that cannot start leaves the name held until the process ends.
  platform::createThread(&WorkerThread::threadStart, runnable);
}

bool acquireInstanceGuard() {
  // Clear any earlier error so only this call's answer is read.
  platform::setLastError(platform::kErrorSuccess);
  instanceMutex = platform::createMutex(kInstanceGuardName, true);
  return platform::getLastError() != platform::kErrorAlreadyExists;
}

void startReleaseWorker() {
  // Neither object is ever destroyed: the worker may outlive the launch.
  WorkerThread* worker = new WorkerThread(new MutexRunnable());
  worker->start();
}
