#include "diag/refused_path.h"

#include "diag/launch_trace.h"

void reportRefusedPath(const char* what, const std::string& path, outside_path::Refusal why) {
  traceEvent(std::string("refused: ") + what + " \"" + path +
             "\": " + outside_path::refusalText(why));
}

void reportSplitPath(const char* what, const std::string& path) {
  traceEvent(std::string(what) + " \"" + path +
             "\": holds the path-list separator, which a Java class path cannot express; used "
             "as it is, so the VM splits it");
}
