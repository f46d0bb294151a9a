// The platform layers' remarks for the launch trace, kept while it is open.
#include "platform/trace_outlet.h"

namespace platform {

namespace {
std::vector<std::string> remarks;
}  // namespace

void notePlatformRemark(const std::string& text) {
  if (traceOutputOpen()) {
    remarks.push_back(text);
  }
}

std::vector<std::string> takePlatformRemarks() {
  std::vector<std::string> taken;
  taken.swap(remarks);
  return taken;
}

}  // namespace platform
