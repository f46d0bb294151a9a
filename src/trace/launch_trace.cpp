#include "trace/launch_trace.h"

#include <map>

#include "platform/trace_outlet.h"
#include "trace/java_exception_name.h"
#include "trace/trace_lines.h"

namespace {

long long launchStartedAt = 0;

std::string systemText(unsigned long code) {
  return "error " + std::to_string(code) + ": " + platform::systemErrorText(code);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string typeName(unsigned long type) {
  switch (type) {
    case platform::kRegSz:
      return "REG_SZ";
    case platform::kRegExpandSz:
      return "REG_EXPAND_SZ";
    case platform::kRegBinary:
      return "REG_BINARY";
    case platform::kRegDword:
      return "REG_DWORD";
    default:
      return "type " + std::to_string(type);
  }
}

// The observer that gives the stages' events their words and times the
// stages.
class LaunchTrace : public LaunchObserver {
 public:
  void stageBegun(Stage stage) override {
    endStage();
    long long at = traceNow();
    if (stage == Stage::SingleInstanceGuard) {
      launchStartedAt = at;
    }
    inStage = true;
    currentStage = stage;
    stageStartedAt = traceNow();
    writingAtStageStart = traceWritingTime();
    traceLine("stage " + std::to_string(stageNumber(stage)) + " begun: " + stageName(stage));
  }

  void guardTaken(const char* name, bool held) override {
    traceLine(held ? "guard: the name " + quoted(name) + " is ours"
                   : "guard: another launch holds the name " + quoted(name));
  }

  void installFolderFound(const std::string& dir) override { traceLine("install folder: " + dir); }

  void runtimeChosen(RuntimeSource source, const std::string& home, const std::string& vmLibrary,
                     const std::string& version) override {
    std::string why;
    switch (source) {
      case RuntimeSource::PrivateBesideInstall:
        why = "the private runtime in the \"Java\" folder beside the install folder";
        break;
      case RuntimeSource::PrivateInMakerFolder:
        why = "the private runtime in the folder the maker's key names";
        break;
      case RuntimeSource::VendorKey:
        why = "the Java vendor's key, CurrentVersion " + quoted(version);
        break;
    }
    traceLine("runtime chosen: " + why + "; home " + quoted(home) + ", VM library " +
              quoted(vmLibrary));
  }

  void policyFileTried(const std::string& path, PolicyOutcome outcome,
                       unsigned long error) override {
    switch (outcome) {
      case PolicyOutcome::Written:
        traceLine("policy file " + path + ": written");
        break;
      case PolicyOutcome::Kept:
        traceLine("policy file " + path + ": kept, an earlier file could not be deleted");
        break;
      case PolicyOutcome::NotWritten:
        traceLine("policy file " + path + ": not written (" + systemText(error) + ")");
        break;
      case PolicyOutcome::NamedUnwritten:
        traceLine("policy file " + path + ": none written; the option names it all the same");
        break;
      case PolicyOutcome::NoTemporaryFolder:
        traceLine("policy file: skipped, no usable temporary folder");
        break;
    }
  }

  void classPathScanned(const std::string& folder, const ClassPathScanCounts& counts) override {
    traceLine("class-path scan of " + folder + ": " + std::to_string(counts.foldersEntered) +
              " folders entered, " + std::to_string(counts.entriesSeen) + " entries seen, " +
              std::to_string(counts.archivesAdded) + " archives added, " +
              std::to_string(counts.foldersRevisited) + " folders skipped as already visited, " +
              std::to_string(counts.foldersUnreadable) + " folders unreadable, " +
              std::to_string(counts.entriesUnnamed) + " entries without a usable name, " +
              std::to_string(counts.entriesWithoutStatus) + " entries without a status, " +
              std::to_string(counts.archivesWithListSeparator) +
              " archives left out for the path-list separator, " +
              std::to_string(stageWorkSoFar()) + " us");
  }

  void pathRefused(const char* what, const std::string& path, outside_path::Refusal why) override {
    traceLine(std::string("refused: ") + what + " " + quoted(path) + ": " +
              outside_path::refusalText(why));
  }

  void pathSplit(const char* what, const std::string& path) override {
    traceLine(std::string(what) + " " + quoted(path) +
              ": holds the path-list separator, which a Java class path cannot express; used "
              "as it is, so the VM splits it");
  }

  void reported(const std::string& text, bool fatal) override {
    traceLine("session log entry and " + std::string(fatal ? "message box: " : "no box: ") + text);
    if (fatal) {
      traceLine("stage " + std::to_string(inStage ? stageNumber(currentStage) : 0) +
                " ends the launch: exit code 1");
    }
  }

  void exitCode(int code) override {
    endStage();
    inStage = false;
    traceLine("exit code " + std::to_string(code));
  }

  void registryKeyOpened(const char* subKey, platform::RegKey key, long result) override {
    if (result == 0) {
      keyNames[key] = subKey;
      traceLine("registry key " + std::string(subKey) + ": opened");
      return;
    }
    traceLine("registry key " + std::string(subKey) + ": not opened, " +
              systemText(static_cast<unsigned long>(result)));
    std::string otherView = platform::describeKeyIn64BitView(subKey);
    if (!otherView.empty()) {
      traceLine("registry key " + std::string(subKey) + ": " + otherView);
    }
  }

  void registryValueSized(platform::RegKey key, const char* name, long result, unsigned long type,
                          unsigned long size, bool accepted) override {
    std::string value = valueName(key, name);
    if (result != 0) {
      traceLine(value + ": not read, " + systemText(static_cast<unsigned long>(result)));
      return;
    }
    traceLine(value + ": " + typeName(type) + ", " + std::to_string(size) + " bytes" +
              (accepted ? std::string() : ", refused: not text"));
  }

  void registryValueRead(platform::RegKey key, const char* name, long result,
                         const unsigned char* data, unsigned long size) override {
    std::string value = valueName(key, name);
    if (result != 0) {
      traceLine(value + ": not read, " + systemText(static_cast<unsigned long>(result)));
      return;
    }
    std::string bytes(reinterpret_cast<const char*>(data), size);
    traceLine(value + " = " + quoted(bytes.substr(0, bytes.find('\0'))));
  }

  void registryValueTooLarge(platform::RegKey key, const char* name,
                             unsigned long capacity) override {
    traceLine(valueName(key, name) + ": refused, it does not fit its buffer of " +
              std::to_string(capacity) + " bytes");
  }

  void pathTested(const char* path, bool exists) override {
    traceLine((exists ? "exists: " : "does not exist: ") + std::string(path));
  }

  void fileDeleted(const char* path, bool deleted, unsigned long error) override {
    traceLine(deleted ? "deleted: " + std::string(path)
                      : "not deleted: " + std::string(path) + " (" + systemText(error) + ")");
  }

  void currentFolderChanged(const char* path, bool changed, unsigned long error) override {
    traceLine(changed ? "current folder changed to " + std::string(path)
                      : "current folder not changed to " + std::string(path) + " (" +
                            systemText(error) + ")");
  }

  void libraryLoading(const char*) override { callStartedAt = traceNow(); }

  void libraryLoaded(const char* path, platform::LibraryHandle library,
                     unsigned long error) override {
    if (library != nullptr) {
      traceLine("library loaded: " + std::string(path) + ", " +
                std::to_string(traceNow() - callStartedAt) + " us");
      return;
    }
    std::vector<std::string> why = platform::describeLoadFailure(path, error);
    for (std::size_t i = 0; i < why.size(); ++i) {
      traceLine(i == 0 ? "library not loaded: " + std::string(path) + ": " + why[i] : why[i]);
    }
  }

  void entryPointLooked(const char* name, bool found) override {
    traceLine("entry point " + std::string(name) + (found ? ": found" : ": missing"));
  }

  void mainClassLookedUp(JNIEnv* env, const char* name, bool found, const std::string& archive,
                         bool archivePresent) override {
    if (found) {
      traceLine("class " + std::string(name) + ": found");
      return;
    }
    std::string pending = pendingExceptionClass(env);
    traceLine("class " + std::string(name) + ": not found" +
              (pending.empty() ? std::string(", no exception pending")
                               : ", pending exception " + pending));
    traceLine("beside the executable: " + archive +
              (archivePresent ? " exists" : " does not exist"));
  }

  void mainStarted() override {
    traceLine("main called");
    callStartedAt = traceNow();
  }

  void mainReturned(JNIEnv* env) override {
    long long ranFor = traceNow() - callStartedAt;
    std::string pending = pendingExceptionClass(env);
    traceLine("main returned after " + std::to_string(ranFor) + " us" +
              (pending.empty() ? std::string() : ", pending exception " + pending));
  }

  void vmDestroying() override { callStartedAt = traceNow(); }

  void vmDestroyed(jint result) override {
    traceLine("DestroyJavaVM returned " + std::to_string(result) + " after " +
              std::to_string(traceNow() - callStartedAt) + " us");
  }

  long long stageWorkSoFar() const {
    return traceNow() - stageStartedAt - (traceWritingTime() - writingAtStageStart);
  }

 private:
  // Ends the stage under way with its time.
  void endStage() {
    if (inStage) {
      traceLine("stage " + std::to_string(stageNumber(currentStage)) + " ended: " +
                stageName(currentStage) + ", " + std::to_string(stageWorkSoFar()) + " us");
    }
  }

  std::string valueName(platform::RegKey key, const char* name) const {
    auto found = keyNames.find(key);
    return "registry value " +
           (found == keyNames.end() ? std::string("(unknown key)") : found->second) + "\\" + name;
  }

  bool inStage = false;
  Stage currentStage = Stage::SingleInstanceGuard;
  long long stageStartedAt = 0;
  long long writingAtStageStart = 0;
  long long callStartedAt = 0;
  // Names of the keys opened so far, so a value read can say whose it is.
  std::map<platform::RegKey, std::string> keyNames;
};

LaunchTrace* trace = nullptr;

}  // namespace

LaunchObserver* startLaunchTrace() {
  if (!openTraceLines()) {
    return nullptr;
  }
  delete trace;
  trace = new LaunchTrace();
  return trace;
}

long long launcherWorkSoFar() { return traceNow() - launchStartedAt - traceWritingTime(); }
