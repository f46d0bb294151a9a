// What the stages tell about a launch as it happens: what they decided and
// what they asked of the system. Each stage reports its own decisions where
// it makes them, so whoever listens never works a decision out a second
// time. Every event does nothing by default; the launch trace is the one
// listener that gives them words, and the unit tests record them.
#pragma once

#include <jni.h>

#include <string>

#include "platform/platform.h"
#include "rules/outside_path.h"

// The stages of a launch, in the order they run.
enum class Stage {
  SingleInstanceGuard = 1,
  ReleaseWorker,
  InstallFolder,
  JavaRuntime,
  SearchPathAndQuickTime,
  SecurityPolicyFile,
  LibraryPathAndClassPath,
  VmCreation,
  MainAndShutdown,
  Exit,
};

// The stage's number, counted from 1.
inline int stageNumber(Stage stage) { return static_cast<int>(stage); }
// What the stage does, in a few words.
const char* stageName(Stage stage);

// Where the Java runtime the launch uses was found.
enum class RuntimeSource {
  PrivateInMakerFolder,  // the folder the maker's key names
  PrivateBesideInstall,  // the "Java" folder beside the install folder
  VendorKey,             // the runtime the Java vendor registered
};

// How one try at placing the security policy file went.
enum class PolicyOutcome {
  Written,
  Kept,              // an earlier file could not be deleted and serves this launch
  NotWritten,        // the file could not be created (error says why)
  NamedUnwritten,    // no try succeeded: the option names the first path all the same
  NoTemporaryFolder  // no folder to try at all (path empty)
};

// What the scan below lib met.
struct ClassPathScanCounts {
  unsigned long foldersEntered = 0;
  unsigned long foldersRevisited = 0;   // reached again by another path, skipped
  unsigned long foldersUnreadable = 0;  // their listing could not be opened
  unsigned long entriesSeen = 0;        // "." and ".." included
  unsigned long entriesUnnamed = 0;     // no name the code page can carry
  unsigned long entriesWithoutStatus = 0;
  unsigned long archivesAdded = 0;
  unsigned long archivesWithListSeparator = 0;  // left out: the path list would split them
};

class LaunchObserver {
 public:
  virtual ~LaunchObserver() = default;

  // --- What the stages decided ---------------------------------------------
  virtual void stageBegun(Stage /*stage*/) {}
  // name is the machine-wide name the guard takes.
  virtual void guardTaken(const char* /*name*/, bool /*held*/) {}
  virtual void installFolderFound(const std::string& /*installDir*/) {}
  virtual void runtimeChosen(RuntimeSource /*source*/, const std::string& /*home*/,
                             const std::string& /*vmLibrary*/, const std::string& /*version*/) {}
  virtual void policyFileTried(const std::string& /*path*/, PolicyOutcome /*outcome*/,
                               unsigned long /*error*/) {}
  virtual void classPathScanned(const std::string& /*folder*/,
                                const ClassPathScanCounts& /*counts*/) {}
  // A path from outside that a stage would not build on.
  virtual void pathRefused(const char* /*what*/, const std::string& /*path*/,
                           outside_path::Refusal /*why*/) {}
  // A path used all the same although the VM's path list will cut it in two
  // at its separator: there is no other way to name it there.
  virtual void pathSplit(const char* /*what*/, const std::string& /*path*/) {}
  // A report for the session log; a fatal one ends the process after this.
  virtual void reported(const std::string& /*text*/, bool /*fatal*/) {}
  virtual void exitCode(int /*code*/) {}

  // --- What the stages asked of the system ---------------------------------
  virtual void registryKeyOpened(const char* /*subKey*/, platform::RegKey /*key*/,
                                 long /*result*/) {}
  // The first of a value's two queries: its type and size. accepted is
  // the stage's verdict on the type (a value that is not text is refused).
  virtual void registryValueSized(platform::RegKey /*key*/, const char* /*name*/, long /*result*/,
                                  unsigned long /*type*/, unsigned long /*size*/,
                                  bool /*accepted*/) {}
  virtual void registryValueRead(platform::RegKey /*key*/, const char* /*name*/, long /*result*/,
                                 const unsigned char* /*data*/, unsigned long /*size*/) {}
  // A text value turned down because it does not fit its buffer.
  virtual void registryValueTooLarge(platform::RegKey /*key*/, const char* /*name*/,
                                     unsigned long /*capacity*/) {}
  virtual void pathTested(const char* /*path*/, bool /*exists*/) {}
  // A path's kind, read through any link; what the stage made of it (a
  // refusal, the scan's counts) is told on its own.
  virtual void pathTyped(const char* /*path*/, platform::EntryType /*type*/) {}
  virtual void fileDeleted(const char* /*path*/, bool /*deleted*/, unsigned long /*error*/) {}
  virtual void currentFolderChanged(const char* /*path*/, bool /*changed*/,
                                    unsigned long /*error*/) {}
  virtual void libraryLoading(const char* /*path*/) {}
  // error is the system's code when library is null.
  virtual void libraryLoaded(const char* /*path*/, platform::LibraryHandle /*library*/,
                             unsigned long /*error*/) {}
  virtual void entryPointLooked(const char* /*name*/, bool /*found*/) {}
  // Any exception the lookup left is still pending when this is told. For a
  // class not found, archive is the first place the class path names and
  // archivePresent whether anything is there, the usual reason for it.
  virtual void mainClassLookedUp(JNIEnv* /*env*/, const char* /*name*/, bool /*found*/,
                                 const std::string& /*archive*/, bool /*archivePresent*/) {}
  virtual void mainStarted() {}
  // Any exception main left is still pending when this is told.
  virtual void mainReturned(JNIEnv* /*env*/) {}
  virtual void vmDestroying() {}
  virtual void vmDestroyed(jint /*result*/) {}
};

// The observer the stages tell; one that does nothing until a listener is
// set. Setting null goes back to that one.
LaunchObserver& launchObserver();
void setLaunchObserver(LaunchObserver* observer);
// True while a listener is set.
bool launchObserved();
