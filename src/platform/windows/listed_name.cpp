#include "platform/windows/listed_name.h"

#include "platform/trace_outlet.h"
#include "rules/outside_path.h"
#include "rules/utf8_text.h"

namespace platform {

void nameListedEntry(const std::u16string& folder, const std::u16string& name, bool held,
                     const WideTextServices& services, DirectoryEntry& entry) {
  using outside_path::Refusal;
  const outside_path::Style windows = outside_path::Style::Windows;
  Refusal refusal = Refusal::None;
  if (held) {
    // "." and ".." end in a dot but are the listing's own entries.
    if (entry.longName == "." || entry.longName == "..") {
      entry.name = entry.longName;
      return;
    }
    refusal = outside_path::judgeListedName(entry.longName, windows);
    if (refusal == Refusal::None) {
      entry.name = entry.longName;  // the common case: no look-up at all
      return;
    }
  }
  std::u16string shortPath;
  if (services.shortPath(folder + name, shortPath)) {
    std::u16string shortName = shortPath.substr(shortPath.rfind(u'\\') + 1);
    if (shortName != name && services.toAnsi(shortName, entry.name) &&
        outside_path::judgeListedName(entry.name, windows) == Refusal::None) {
      return;
    }
  }
  entry.name.clear();
  notePlatformRemark("left out: " + utf8_text::encodeUtf8(name) + ": " +
                     (held ? outside_path::refusalText(refusal)
                           : "has no form in the ANSI code page, not even a short one"));
}

}  // namespace platform
