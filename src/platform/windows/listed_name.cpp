#include "platform/windows/listed_name.h"

#include "platform/trace_outlet.h"
#include "platform/windows/raw_calls.h"
#include "platform/windows/wide_text.h"
#include "rules/outside_path.h"
#include "rules/utf8_text.h"

namespace platform {

void nameListedEntry(const std::u16string& folder, const std::u16string& name, bool held,
                     DirectoryEntry& entry) {
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
  std::u16string shortForm;
  if (shortPath(folder + name, shortForm)) {
    std::u16string shortName = shortForm.substr(shortForm.rfind(u'\\') + 1);
    if (shortName != name && toAnsi(shortName, entry.name) &&
        outside_path::judgeListedName(entry.name, windows) == Refusal::None) {
      return;
    }
  }
  entry.name.clear();
  notePlatformRemark("left out: " + utf8_text::encodeUtf8(name) + ": " +
                     (held ? outside_path::refusalText(refusal)
                           : "has no form in the ANSI code page, not even a short one"));
}

namespace {

// A listing keeps the entry the first call found until the first read, the
// folder's wide path for the few entries that need a short name, and the
// entry's name, whose room each read uses again.
struct DirectoryListing {
  void* find;
  FoundEntry found;
  bool pending;
  std::u16string folder;
};

}  // namespace

DirectoryHandle openDirectory(const char* folder) {
  // The folder's own path is already in the code page (the scan built it
  // from names that convert exactly), so it goes over as it is.
  std::u16string widePattern;
  if (!fromAnsi((std::string(folder) + "*").c_str(), widePattern)) {
    return nullptr;
  }

  DirectoryListing* listing = new DirectoryListing();
  // The basic level leaves out the short names, which only a few entries
  // need (asked for one by one), and the large fetch reads the folder in
  // fewer calls. Systems older than Windows 7 refuse both.
  listing->find =
      kRawCalls.findFirstFileExW(widePattern.c_str(), true, kFindLargeFetch, &listing->found);
  if (listing->find == nullptr && kRawCalls.getLastError() == kErrorInvalidParameter) {
    listing->find = kRawCalls.findFirstFileExW(widePattern.c_str(), false, 0, &listing->found);
  }
  if (listing->find == nullptr) {
    delete listing;
    return nullptr;
  }
  listing->pending = true;
  listing->folder = widePattern.substr(0, widePattern.size() - 1);  // without the "*"
  return listing;
}

bool readDirectory(DirectoryHandle handle, DirectoryEntry& entry) {
  DirectoryListing* listing = static_cast<DirectoryListing*>(handle);
  if (listing->pending) {
    listing->pending = false;
  } else if (!kRawCalls.findNextFileW(listing->find, &listing->found)) {
    return false;
  }
  const std::u16string& name = listing->found.name;
  bool held = toAnsi(name, entry.longName);
  if (!held) {
    // What the ANSI listing would have called it, "?" and all.
    char shown[kMaxPath * 2];
    int length = kRawCalls.wideCharToMultiByte(0, name.c_str(), -1, shown, sizeof shown, nullptr);
    entry.longName.assign(shown, length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  }
  nameListedEntry(listing->folder, name, held, entry);
  unsigned long attributes = listing->found.attributes;
  if ((attributes & kAttributeReparsePoint) != 0) {
    entry.type = EntryType::Link;
  } else if ((attributes & kAttributeDirectory) != 0) {
    entry.type = EntryType::Folder;
  } else if ((attributes & kAttributeDevice) != 0) {
    entry.type = EntryType::Other;
  } else {
    entry.type = EntryType::File;
  }
  return true;
}

void closeDirectory(DirectoryHandle handle) {
  DirectoryListing* listing = static_cast<DirectoryListing*>(handle);
  kRawCalls.findClose(listing->find);
  delete listing;
}

}  // namespace platform
