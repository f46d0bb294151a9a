// A launch observer that records what the stages decided, one short text
// per event, so tests check the events rather than the trace's words. Set
// with setLaunchObserver; every fresh process goes back to none.
#pragma once

#include <string>
#include <vector>

#include "diag/launch_observer.h"

class RecordingObserver : public LaunchObserver {
 public:
  std::vector<std::string> events;

  void stageBegun(Stage stage) override { add("stage " + std::to_string(stageNumber(stage))); }
  void guardTaken(const char*, bool held) override {
    add(held ? "guard held" : "guard taken elsewhere");
  }
  void runtimeChosen(RuntimeSource source, const std::string& home, const std::string& vmLibrary,
                     const std::string& version) override {
    const char* names[] = {"maker folder", "beside install", "vendor key"};
    add("runtime " + std::string(names[static_cast<int>(source)]) + " " + home + " " + vmLibrary +
        " " + version);
  }
  void policyFileTried(const std::string& path, PolicyOutcome outcome,
                       unsigned long error) override {
    const char* names[] = {"written", "kept", "not written", "named unwritten", "no folder"};
    add("policy " + std::string(names[static_cast<int>(outcome)]) + " " + path + " " +
        std::to_string(error));
  }
  void classPathScanned(const std::string& folder, const ClassPathScanCounts& c) override {
    add("scan " + folder + " entered " + std::to_string(c.foldersEntered) + " revisited " +
        std::to_string(c.foldersRevisited) + " unreadable " + std::to_string(c.foldersUnreadable) +
        " seen " + std::to_string(c.entriesSeen) + " unnamed " + std::to_string(c.entriesUnnamed) +
        " without status " + std::to_string(c.entriesWithoutStatus) + " added " +
        std::to_string(c.archivesAdded) + " split " + std::to_string(c.archivesWithListSeparator));
  }
  void reported(const std::string& text, bool fatal) override {
    add(std::string(fatal ? "fatal " : "report ") + text);
  }
  void exitCode(int code) override { add("exit " + std::to_string(code)); }
  void currentFolderChanged(const char* path, bool changed, unsigned long error) override {
    add("current folder " + std::string(path) + (changed ? "" : " error " + std::to_string(error)));
  }

 private:
  void add(const std::string& event) { events.push_back(event); }
};
