// Keeps a second launch from starting while an earlier one is in its first
// 30 seconds: a machine-wide named mutex, taken first, and a worker thread
// that gives the name up again.
#pragma once

#include "platform/platform.h"
#include "rules/product_names.h"

// The mutex handle: written by the main thread before the worker starts,
// afterwards used only by the worker.
extern platform::MutexHandle instanceMutex;

class IRunnable {
 public:
  virtual void run() = 0;
};

// Waits 30 seconds, then gives up the launcher's hold on the name.
class MutexRunnable : public IRunnable {
 public:
  void run() override;
};

// Runs one IRunnable on a thread of its own.
class WorkerThread {
 public:
  explicit WorkerThread(IRunnable* runnable) : runnable(runnable) {}
  void start();

 private:
  static unsigned long threadStart(void* parameter);
  IRunnable* runnable;
};

// The machine-wide name the guard takes: the application's archive's.
constexpr const char* kInstanceGuardName = product::kArchiveName;

// Takes the guard's name. Returns false when another launch holds it.
bool acquireInstanceGuard();

// Starts the worker that releases the name after 30 seconds; does not wait.
void startReleaseWorker();
