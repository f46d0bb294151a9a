#include "platform/common/trace_stream.h"

#include "platform/trace_outlet.h"

namespace platform {

namespace {

std::FILE* output = nullptr;
bool toStandardError = false;

}  // namespace

void adoptTraceStream(std::FILE* stream, bool standardError) {
  output = stream;
  toStandardError = standardError;
}

bool traceGoesToStandardError() { return output != nullptr && toStandardError; }

bool traceOutputOpen() { return output != nullptr; }

void writeTraceText(const std::string& text) {
  if (output == nullptr) {
    return;
  }
  std::fwrite(text.data(), 1, text.size(), output);
  std::fflush(output);
}

void closeTraceOutput() {
  if (output != nullptr && !toStandardError) {
    std::fclose(output);
  }
  output = nullptr;
  toStandardError = false;
}

}  // namespace platform
