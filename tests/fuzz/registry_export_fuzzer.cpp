// The registry file reader on any bytes: it ends, reports a line that
// exists, and leaves a tree whose keys can be walked and changed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/registry/registry_export_parser.h"

namespace {

// Lines as the reader counts them, after decoding: enough to bound a
// reported line number from above.
std::size_t lineBound(const std::string& bytes) {
  std::size_t lines = 1;
  for (char c : bytes) {
    lines += c == '\n' ? 1 : 0;
  }
  return lines;
}

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  registry::Tree tree;
  int badLine = registry::parseRegistryExport(bytes, tree);
  check(badLine >= 0);
  // UTF-16 text has at most one line per two bytes, UTF-8 one per byte.
  check(static_cast<std::size_t>(badLine) <= lineBound(bytes) + size / 2);

  // The same bytes give the same answer.
  registry::Tree again;
  check(registry::parseRegistryExport(bytes, again) == badLine);
  check(again.keys.size() == tree.keys.size());

  if (badLine == 0) {
    // The root is always there; a key added is found, and gone once deleted.
    check(registry::findKey(tree, "") != nullptr);
    registry::Key* key = registry::addKey(tree, "Software\\Fuzz\\Probe");
    check(key != nullptr && registry::findKey(tree, "SOFTWARE\\FUZZ\\probe") == key);
    check(registry::deleteKey(tree, "software\\fuzz"));
    check(registry::findKey(tree, "Software\\Fuzz\\Probe") == nullptr);
    check(registry::findKey(tree, "Software") != nullptr);
  }
  return 0;
}
