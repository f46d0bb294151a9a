#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "platform/common/expanded_text.h"
#include "platform/windows/ansi_path.h"
#include "platform/windows/listed_name.h"
#include "rules/ansi_text.h"
#include "rules/utf8_text.h"

namespace {

// Win32 error codes the fake answers with.
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kInvalidHandle = 6;
constexpr unsigned long kNotEnoughMemory = 8;
constexpr unsigned long kPathNotFound = 3;
constexpr unsigned long kModNotFound = 126;
constexpr unsigned long kProcNotFound = 127;
constexpr unsigned long kBadExeFormat = 193;
constexpr unsigned long kEnvVarNotFound = 203;
constexpr unsigned long kNotOwner = 288;
constexpr unsigned long kInvalidParameter = 87;
constexpr unsigned long kNoUnicodeTranslation = 1113;

// The longest path Windows handles at all, long paths enabled.
constexpr std::size_t kLongestPath = 32767;

// No test lists this many folders; a scan that does, runs in circles, and
// is stopped here so the test fails instead of hanging.
constexpr std::size_t kListingBudget = 2000;

std::string lower(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return result;
}

// --- State --------------------------------------------------------------------

struct RegistryValue {
  unsigned long type = 0;
  std::string bytes;
};

struct RegistryKey {
  bool denied = false;
  std::map<std::string, RegistryValue> values;  // by lower-case name
};

// Special: a pipe or device, neither a folder nor a regular file.
enum class NodeKind { File, Folder, Link, Special };

struct Node {
  NodeKind kind = NodeKind::File;
  std::string contents;
  std::string linkTarget;
  std::vector<std::string> children;  // in the order they were added
  bool listingSet = false;
  std::vector<std::string> listing;
  bool listingDenied = false;
  bool undeletable = false;
  bool statusFails = false;
  bool wideName = false;  // the code page cannot hold its name
  std::string shortName;  // its 8.3 name, when it has one
};

struct OpenFile {
  std::string path;  // resolved
  bool text = false;
  bool open = true;
};

struct Listing {
  std::vector<std::string> names;
  std::vector<std::string> longNames;
  std::vector<platform::EntryType> types;
  std::size_t next = 0;
  bool open = true;
};

struct Mutex {
  int handles = 0;
  bool heldElsewhere = false;
  int ownerThread = -1;
};

struct PendingThread {
  platform::ThreadRoutine routine;
  void* parameter;
};

struct Library {
  std::map<std::string, platform::ProcAddress> exports;
};

struct State {
  unsigned codePage = 1252;
  std::u16string modulePath;
  bool moduleFails = false;
  unsigned long moduleError = 0;
  unsigned long lastError = 0;
  std::string currentDirectory;

  std::vector<std::u16string> commandLine;
  bool splitFails = false;
  int commandLineToken = 0;  // its address is the vector handle
  bool commandLineOut = false;

  std::map<std::string, std::u16string> environment;  // by lower-case name
  std::map<std::string, std::string> envTexts;        // what getEnv handed out

  std::map<std::string, RegistryKey> registry;  // by lower-case path
  std::string registryProblem;

  std::map<std::string, Node> nodes;  // by normalised path
  // A short name's path, to the normalised path of the entry it names.
  std::map<std::string, std::string> shortNames;
  std::vector<std::unique_ptr<OpenFile>> files;
  std::vector<std::unique_ptr<Listing>> listings;
  std::set<std::string> refusedFiles;  // opening fails
  std::set<std::string> fullDisks;     // folders below which no write succeeds
  std::set<std::string> failingCloses;

  std::map<std::string, Mutex> mutexes;
  std::map<std::uintptr_t, std::string> mutexHandles;
  std::uintptr_t nextHandle = 0x100;
  int currentThread = 0;  // 0 is the main thread
  bool threadsFail = false;
  std::vector<PendingThread> threads;

  std::map<std::string, Library> libraries;  // by normalised path
  std::set<std::string> failingLibraries;

  std::vector<fake::MessageBox> boxes;
  std::vector<std::string> events;
  std::vector<std::string> keysOpened;
  std::vector<std::string> librariesLoaded;
  std::vector<std::string> statted;
  std::vector<std::string> listingsOpened;
  std::vector<unsigned long> sleeps;
  std::vector<std::string> misuses;
};

State state;

void misuse(const std::string& what) { state.misuses.push_back(what); }

// --- The ANSI code page: Windows-1252, or Japanese 932 -----------------------------

// 1252: the characters of bytes 0x80 to 0x9F; the rest stand for themselves.
const char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// 932: the few two-byte characters the tests use. Those whose second byte
// is 0x5C, the byte of '\', are the point; the others have none.
struct DoubleByteCharacter {
  char16_t character;
  unsigned char lead;
  unsigned char trail;
};
const DoubleByteCharacter kJapanese[] = {
    {0x30BD, 0x83, 0x5C},  // ソ
    {0x8868, 0x95, 0x5C},  // 表
    {0x80FD, 0x94, 0x5C},  // 能
    {0x5341, 0x8F, 0x5C},  // 十
    {0x30A2, 0x83, 0x41},  // ア
    {0x30D7, 0x83, 0x76},  // プ
    {0x30EA, 0x83, 0x8A},  // リ
    {0x30D5, 0x83, 0x74},  // フ
    {0x30C8, 0x83, 0x67},  // ト
};
// What 932 gives a pair it has no character for.
constexpr char16_t kJapaneseDefault = 0x30FB;

bool isJapaneseLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::u16string fromAnsi(const std::string& bytes) {
  std::u16string text;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    unsigned char byte = static_cast<unsigned char>(bytes[at]);
    if (state.codePage == 1252) {
      text += byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
    } else if (byte >= 0xA1 && byte <= 0xDF) {
      text += char16_t(0xFF61 + (byte - 0xA1));  // half-width katakana
    } else if (at + 1 < bytes.size() && isJapaneseLeadByte(byte)) {
      unsigned char trail = static_cast<unsigned char>(bytes[++at]);
      char16_t found = kJapaneseDefault;
      for (const DoubleByteCharacter& c : kJapanese) {
        if (c.lead == byte && c.trail == trail) {
          found = c.character;
        }
      }
      text += found;
    } else {
      text += byte < 0x80 ? char16_t(byte) : kJapaneseDefault;
    }
  }
  return text;
}

// One character's bytes; false when the code page lacks it.
bool characterToAnsi(char16_t unit, std::string& bytes) {
  if (unit < 0x80) {
    bytes += static_cast<char>(unit);
    return true;
  }
  if (state.codePage == 1252) {
    if (unit >= 0xA0 && unit <= 0xFF) {
      bytes += static_cast<char>(unit);
      return true;
    }
    const char16_t* found = std::find(kHighControls, kHighControls + 32, unit);
    if (found == kHighControls + 32) {
      return false;
    }
    bytes += static_cast<char>(0x80 + (found - kHighControls));
    return true;
  }
  if (unit >= 0xFF61 && unit <= 0xFF9F) {
    bytes += static_cast<char>(0xA1 + (unit - 0xFF61));
    return true;
  }
  for (const DoubleByteCharacter& c : kJapanese) {
    if (c.character == unit) {
      bytes += static_cast<char>(c.lead);
      bytes += static_cast<char>(c.trail);
      return true;
    }
  }
  return false;
}

bool toAnsi(const std::u16string& text, std::string& bytes) {
  bytes.clear();
  for (char16_t unit : text) {
    if (!characterToAnsi(unit, bytes)) {
      return false;  // not in the code page: no best fit, no default character
    }
  }
  return true;
}

// A wide text in UTF-8, the form tests write wide-only names in.
std::string utf8Of(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    const unsigned char lead[] = {0x00, 0xC0, 0xE0, 0xF0};
    int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(lead[extra] | (c >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) {
      out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
  }
  return out;
}

// --- Paths ----------------------------------------------------------------------

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool hasDrive(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Splits a path into its root ("C:\", "\" or "" for a relative path) and
// its components, dropping empty ones.
void splitPath(const std::string& path, std::string& root, std::vector<std::string>& parts) {
  std::size_t at = 0;
  root.clear();
  parts.clear();
  if (hasDrive(path)) {
    root = path.substr(0, 2) + "\\";
    at = 2;
  } else if (!path.empty() && isSeparator(path[0])) {
    root = "\\";
  }
  std::string part;
  while (at <= path.size()) {
    if (at == path.size() || isSeparator(path[at])) {
      if (!part.empty()) {
        parts.push_back(part);
      }
      part.clear();
      ++at;
    } else {
      // A double-byte character whole: its second byte may be 0x5C.
      std::size_t length = ansi_text::characterLength(path, at, platform::isLeadByte);
      part.append(path, at, length);
      at += length;
    }
  }
}

// Whether the path's last character is a separator.
bool endsInSeparator(const std::string& path) {
  return !path.empty() &&
         (path.back() == '/' || ansi_text::endsWithSeparator(path, '\\', platform::isLeadByte));
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty() || endsInSeparator(folder)) {
    return folder + name;
  }
  return folder + "\\" + name;
}

// The path's full form: relative paths start at the current directory,
// "." and ".." are applied to the text first (as Win32 path handling does),
// and the components that are links are then followed. With follow false
// the last component is not followed, for entries that are links themselves.
// Empty when links run in a circle.
std::string fullPath(const std::string& path, bool follow) {
  if (path.empty() || path.size() > kLongestPath) {
    return std::string();  // an empty path names nothing, not the current folder
  }
  std::string root;
  std::vector<std::string> parts;
  splitPath(path, root, parts);
  if (root.empty() || root == "\\") {
    std::string baseRoot;
    std::vector<std::string> baseParts;
    splitPath(state.currentDirectory, baseRoot, baseParts);
    if (root.empty()) {
      baseParts.insert(baseParts.end(), parts.begin(), parts.end());
      parts = baseParts;
    }
    root = baseRoot.empty() ? root : baseRoot;
  }
  std::vector<std::string> lexical;
  for (const std::string& part : parts) {
    if (part == "..") {
      if (!lexical.empty()) {
        lexical.pop_back();
      }
    } else if (part != ".") {
      lexical.push_back(part);
    }
  }
  std::string current = root;
  for (std::size_t i = 0; i < lexical.size(); ++i) {
    current = join(current, lexical[i]);
    auto alias = state.shortNames.find(current);
    if (alias != state.shortNames.end()) {
      current = alias->second;
    }
    if (!follow && i + 1 == lexical.size()) {
      break;
    }
    for (int hops = 0;; ++hops) {
      auto found = state.nodes.find(current);
      if (found == state.nodes.end() || found->second.kind != NodeKind::Link) {
        break;
      }
      // A link whose target runs through the link itself nests without end.
      static int linkDepth = 0;
      if (hops > 40 || linkDepth > 40) {
        return std::string();
      }
      ++linkDepth;
      current = fullPath(found->second.linkTarget, true);
      --linkDepth;
      if (current.empty()) {
        return std::string();
      }
    }
  }
  return current;
}

std::string resolve(const std::string& path) { return fullPath(path, true); }
std::string normalise(const std::string& path) { return fullPath(path, false); }

std::string parentOf(const std::string& normalised, std::string* name) {
  std::size_t last = ansi_text::lastSeparator(normalised, '\\', platform::isLeadByte);
  if (last == std::string::npos || last + 1 == normalised.size()) {
    return std::string();  // a root
  }
  if (name != nullptr) {
    *name = normalised.substr(last + 1);
  }
  bool rootSeparator = (hasDrive(normalised) && last == 2) || last == 0;
  return normalised.substr(0, rootSeparator ? last + 1 : last);
}

// A wide-only name (written in UTF-8) as the code page shows it: "?" for
// each character it lacks.
std::string lossyName(const std::string& utf8) {
  std::string shown;
  for (char16_t unit : utf8_text::decodeUtf8(utf8)) {
    if (unit >= 0xDC00 && unit < 0xE000) {
      continue;  // the second half of a pair already shown
    }
    if (!characterToAnsi(unit, shown)) {
      shown += '?';
    }
  }
  return shown;
}

Node* findNode(const std::string& path) {
  std::string full = resolve(path);
  if (full.empty()) {
    return nullptr;
  }
  auto found = state.nodes.find(full);
  return found == state.nodes.end() ? nullptr : &found->second;
}

// GetShortPathNameW, for a path that exists: each component with a short
// name becomes it, and one the code page cannot hold fails without one.
bool shortPath(const std::u16string& path, std::u16string& shortForm) {
  std::string key;
  std::string shortText;
  for (std::size_t start = 0;;) {
    std::size_t end = path.find(u'\\', start);
    std::u16string part = path.substr(start, end == std::u16string::npos ? end : end - start);
    std::string bytes;
    bool held = toAnsi(part, bytes);
    key += held ? bytes : utf8Of(part);
    auto found = state.nodes.find(normalise(key));
    bool hasShortName = found != state.nodes.end() && !found->second.shortName.empty();
    if (!held && !hasShortName) {
      return false;
    }
    if (hasShortName) {
      bytes = found->second.shortName;
    }
    shortText += bytes;
    if (end == std::u16string::npos) {
      break;
    }
    key += '\\';
    shortText += '\\';
    start = end + 1;
  }
  shortForm = fromAnsi(shortText);
  return findNode(key) != nullptr;
}

const platform::WideTextServices kWideText = {toAnsi, shortPath};

// A variable's value in UTF-16, as ExpandEnvironmentStringsW looks it up.
bool lookUpVariable(const std::u16string& name, std::u16string& value) {
  std::string bytes;
  if (!toAnsi(name, bytes)) {
    return false;
  }
  auto found = state.environment.find(lower(bytes));
  if (found == state.environment.end()) {
    return false;
  }
  value = found->second;
  return true;
}

// A variable's bytes as the Windows layer reads them.
bool readVariable(const std::string& name, std::string& value) {
  auto found = state.environment.find(lower(name));
  return found != state.environment.end() &&
         platform::ansiVariable(name.c_str(), found->second, kWideText, value);
}

Node& makeNode(const std::string& normalised, NodeKind kind) {
  std::string name;
  std::string parent = parentOf(normalised, &name);
  if (!parent.empty()) {
    if (state.nodes.find(parent) == state.nodes.end()) {
      makeNode(parent, NodeKind::Folder);
    }
    std::vector<std::string>& siblings = state.nodes[parent].children;
    if (std::find(siblings.begin(), siblings.end(), name) == siblings.end()) {
      siblings.push_back(name);
    }
  }
  Node& node = state.nodes[normalised];
  node.kind = kind;
  return node;
}

bool deleteFile(const std::string& path) {
  std::string full = resolve(path);
  auto found = state.nodes.find(full);
  if (found == state.nodes.end() || found->second.kind != NodeKind::File ||
      found->second.undeletable) {
    // DeleteFile's error stays behind the C runtime's failure.
    state.lastError = found == state.nodes.end() ? platform::kErrorFileNotFound : kAccessDenied;
    return false;
  }
  state.nodes.erase(found);
  std::string name;
  std::string parent = parentOf(full, &name);
  std::vector<std::string>& siblings = state.nodes[parent].children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), name), siblings.end());
  return true;
}

platform::FileHandle open(const std::string& path, const std::string& mode) {
  state.events.push_back("openFile " + path + " " + mode);
  char kind = mode.empty() ? '?' : mode[0];
  if (kind != 'r' && kind != 'w' && kind != 'a') {
    misuse("openFile with mode " + mode);
    return nullptr;
  }
  std::string full = resolve(path);
  Node* node = full.empty() ? nullptr : findNode(full);
  // CreateFile's error stays behind the C runtime's failure.
  if (state.refusedFiles.count(full) != 0 || (node != nullptr && node->kind != NodeKind::File)) {
    state.lastError = kAccessDenied;
    return nullptr;
  }
  if (node == nullptr) {
    std::string parent = parentOf(full, nullptr);
    Node* folder = parent.empty() ? nullptr : findNode(parent);
    if (kind == 'r' || folder == nullptr || folder->kind != NodeKind::Folder) {
      state.lastError =
          kind == 'r' && folder != nullptr ? platform::kErrorFileNotFound : kPathNotFound;
      return nullptr;
    }
    node = &makeNode(full, NodeKind::File);
  } else if (kind == 'w') {
    node->contents.clear();
  }
  auto file = std::make_unique<OpenFile>();
  file->path = full;
  file->text = mode.find('b') == std::string::npos;
  state.files.push_back(std::move(file));
  return state.files.back().get();
}

OpenFile* openFileOf(platform::FileHandle handle, const char* call) {
  for (auto& file : state.files) {
    if (file.get() == handle && file->open) {
      return file.get();
    }
  }
  misuse(std::string(call) + " on a stream that is not open");
  return nullptr;
}

Listing* listingOf(platform::DirectoryHandle handle, const char* call) {
  for (auto& listing : state.listings) {
    if (listing.get() == handle && listing->open) {
      return listing.get();
    }
  }
  misuse(std::string(call) + " on a listing that is not open");
  return nullptr;
}

RegistryKey* keyOf(platform::RegKey handle) {
  for (auto& entry : state.registry) {
    if (&entry.second == handle && !entry.second.denied) {
      return &entry.second;
    }
  }
  return nullptr;
}

}  // namespace

// === The test-facing side ===========================================================

namespace fake {

void reset() {
  state = State();
  state.modulePath = u"C:\\Apps\\Veltrana\\Veltrana.exe";
  state.currentDirectory = "C:\\Work";
  state.commandLine = {u"C:\\Apps\\Veltrana\\Veltrana.exe"};
}

void setAnsiCodePage(unsigned codePage) { state.codePage = codePage; }

void setModulePath(const std::string& path) { setModulePathWide(fromAnsi(path)); }

void setModulePathWide(const std::u16string& path) {
  state.modulePath = path;
  state.moduleFails = false;
}

void failModulePath(unsigned long error, const std::string& partialPath) {
  state.moduleFails = true;
  state.moduleError = error;
  state.modulePath = fromAnsi(partialPath);
}

void setCurrentDirectoryValue(const std::string& path) { state.currentDirectory = path; }
std::string currentDirectory() { return state.currentDirectory; }

void setCommandLine(const std::vector<std::u16string>& args) {
  state.commandLine = args;
  state.splitFails = false;
}
void failCommandLineSplit() { state.splitFails = true; }

void setEnv(const std::string& name, const std::string& value) {
  setEnvWide(name, fromAnsi(value));
}

void setEnvWide(const std::string& name, const std::u16string& value) {
  state.environment[lower(name)] = value;
}

void unsetEnv(const std::string& name) { state.environment.erase(lower(name)); }

void addRegistryKey(const std::string& path) { state.registry[lower(path)]; }
void denyRegistryKey(const std::string& path) { state.registry[lower(path)].denied = true; }

void setRegistryProblem(const std::string& problem) { state.registryProblem = problem; }

void setRegistryValue(const std::string& keyPath, const std::string& name, unsigned long type,
                      const std::string& bytes) {
  RegistryValue& value = state.registry[lower(keyPath)].values[lower(name)];
  value.type = type;
  value.bytes = bytes;
}

void setRegistryText(const std::string& keyPath, const std::string& name, const std::string& text) {
  setRegistryValue(keyPath, name, platform::kRegSz, text + std::string(1, '\0'));
}

void addFolder(const std::string& path) { makeNode(normalise(path), NodeKind::Folder); }

void addFile(const std::string& path, const std::string& contents) {
  makeNode(normalise(path), NodeKind::File).contents = contents;
}

void addFolderLink(const std::string& path, const std::string& target) {
  makeNode(normalise(path), NodeKind::Link).linkTarget = target;
}

void setListing(const std::string& folder, const std::vector<std::string>& names) {
  Node& node = makeNode(normalise(folder), NodeKind::Folder);
  node.listingSet = true;
  node.listing = names;
}

void denyListing(const std::string& folder) {
  makeNode(normalise(folder), NodeKind::Folder).listingDenied = true;
}

void addSpecialFile(const std::string& path) { makeNode(normalise(path), NodeKind::Special); }

void setWideOnlyName(const std::string& path, const std::string& shortName) {
  state.nodes[normalise(path)].wideName = true;
  if (!shortName.empty()) {
    setShortName(path, shortName);
  }
}

void setShortName(const std::string& path, const std::string& shortName) {
  std::string full = normalise(path);
  state.nodes[full].shortName = shortName;
  state.shortNames[join(parentOf(full, nullptr), shortName)] = full;
}

void failStatus(const std::string& path) {
  Node* node = findNode(path);
  if (node != nullptr) {
    node->statusFails = true;
  }
}

void makeUndeletable(const std::string& path) {
  Node* node = findNode(path);
  if (node != nullptr) {
    node->undeletable = true;
  }
}

void failOpening(const std::string& path) { state.refusedFiles.insert(resolve(path)); }

void fillDisk(const std::string& folder) { state.fullDisks.insert(resolve(folder)); }

void failClosing(const std::string& path) { state.failingCloses.insert(resolve(path)); }

bool fileExists(const std::string& path) {
  Node* node = findNode(path);
  return node != nullptr && node->kind == NodeKind::File;
}

bool folderExists(const std::string& path) {
  Node* node = findNode(path);
  return node != nullptr && node->kind == NodeKind::Folder;
}

bool specialFileExists(const std::string& path) {
  Node* node = findNode(path);
  return node != nullptr && node->kind == NodeKind::Special;
}

std::string fileContents(const std::string& path) {
  Node* node = findNode(path);
  return node != nullptr ? node->contents : std::string();
}

void takeMutexName(const std::string& name) {
  Mutex& mutex = state.mutexes[name];
  mutex.heldElsewhere = true;
}

bool mutexNameTaken(const std::string& name) { return state.mutexes.count(name) != 0; }

void failThreadCreation() { state.threadsFail = true; }
std::size_t pendingThreadCount() { return state.threads.size(); }

void runPendingThreads() {
  std::vector<PendingThread> threads;
  threads.swap(state.threads);
  int id = 1;
  for (const PendingThread& thread : threads) {
    state.currentThread = id++;
    unsigned long code = thread.routine(thread.parameter);
    state.currentThread = 0;
    state.events.push_back("threadExit " + std::to_string(code));
  }
}

void failLibrary(const std::string& path) { state.failingLibraries.insert(normalise(path)); }

void exportFunction(const std::string& libraryPath, const std::string& name,
                    platform::ProcAddress address) {
  state.libraries[normalise(libraryPath)].exports[name] = address;
}

const std::vector<MessageBox>& messageBoxes() { return state.boxes; }
const std::vector<std::string>& events() { return state.events; }
void recordEvent(const std::string& event) { state.events.push_back(event); }

int eventIndex(const std::string& text) {
  auto found = std::find(state.events.begin(), state.events.end(), text);
  return found == state.events.end() ? -1 : static_cast<int>(found - state.events.begin());
}

int countEvents(const std::string& prefix) {
  return static_cast<int>(
      std::count_if(state.events.begin(), state.events.end(),
                    [&](const std::string& event) { return event.rfind(prefix, 0) == 0; }));
}

const std::vector<std::string>& registryKeysOpened() { return state.keysOpened; }
const std::vector<std::string>& librariesLoaded() { return state.librariesLoaded; }
const std::vector<std::string>& pathsStatted() { return state.statted; }
const std::vector<std::string>& listingsOpened() { return state.listingsOpened; }
const std::vector<unsigned long>& sleeps() { return state.sleeps; }
const std::vector<std::string>& misuses() { return state.misuses; }

int openFileCount() {
  return static_cast<int>(std::count_if(state.files.begin(), state.files.end(),
                                        [](const auto& file) { return file->open; }));
}

int openListingCount() {
  return static_cast<int>(std::count_if(state.listings.begin(), state.listings.end(),
                                        [](const auto& listing) { return listing->open; }));
}

}  // namespace fake

// === The platform side ================================================================

namespace platform {

bool getModuleFileName(std::string& path) {
  state.events.push_back("getModuleFileName");
  if (state.moduleFails) {
    toAnsi(state.modulePath, path);
    state.lastError = state.moduleError;
    return false;
  }
  if (!platform::ansiModulePath(state.modulePath, kWideText, path)) {
    path.clear();
    state.lastError = kNoUnicodeTranslation;
    return false;
  }
  return true;
}

unsigned long getLastError() { return state.lastError; }
void setLastError(unsigned long code) { state.lastError = code; }

std::string formatMessage(unsigned long code) { return "Error " + std::to_string(code) + " text"; }

void exitProcess(int code) {
  state.events.push_back("exitProcess " + std::to_string(code));
  throw fake::ProcessExit{code};
}

void watchProcessEnd(void (*)()) {}
void unwatchProcessEnd() {}

CommandLineHandle splitCommandLine(std::vector<std::u16string>& args) {
  state.events.push_back("splitCommandLine");
  if (state.splitFails) {
    return nullptr;
  }
  args = state.commandLine;
  state.commandLineOut = true;
  return &state.commandLineToken;
}

void releaseCommandLine(CommandLineHandle vector) {
  state.events.push_back("releaseCommandLine");
  if (vector != &state.commandLineToken || !state.commandLineOut) {
    misuse("releaseCommandLine of a vector not handed out");
  }
  state.commandLineOut = false;
}

const char* getEnv(const char* name) {
  std::string value;
  if (!readVariable(name, value)) {
    state.envTexts.erase(lower(name));
    return nullptr;
  }
  std::string& kept = state.envTexts[lower(name)];
  kept = value;
  return kept.c_str();
}

unsigned long getEnvironmentVariable(const char* name, char* buffer, unsigned long size) {
  std::string value;
  if (!readVariable(name, value)) {
    state.lastError = kEnvVarNotFound;
    return 0;
  }
  if (value.size() + 1 > size) {
    return static_cast<unsigned long>(value.size() + 1);
  }
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return static_cast<unsigned long>(value.size());
}

unsigned long getTempFolder(char* buffer, unsigned long size) {
  return getEnvironmentVariable("TEMP", buffer, size);
}

unsigned long getSystemTempFolder(char* buffer, unsigned long size) {
  // GetTempPath: the first of TMP, TEMP and USERPROFILE that is set, else
  // the Windows folder. It does not look whether the folder exists.
  std::u16string wide = u"C:\\Windows";
  for (const char* name : {"tmp", "temp", "userprofile"}) {
    auto found = state.environment.find(name);
    if (found != state.environment.end() && !found->second.empty()) {
      wide = found->second;
      break;
    }
  }
  std::string folder;
  if (!platform::ansiPath(wide, kWideText, folder)) {
    return 0;
  }
  if (folder.size() > 3 && endsInSeparator(folder)) {
    folder.pop_back();
  }
  if (folder.size() + 1 > size) {
    return static_cast<unsigned long>(folder.size() + 1);
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return static_cast<unsigned long>(folder.size());
}

bool setCurrentDirectory(const char* path) {
  Node* node = findNode(path);
  if (node == nullptr || node->kind != NodeKind::Folder) {
    state.lastError = kPathNotFound;
    return false;
  }
  state.currentDirectory = normalise(path);
  state.events.push_back("setCurrentDirectory " + state.currentDirectory);
  return true;
}

bool getCurrentDirectory(std::string& path) {
  path = state.currentDirectory;
  return true;
}

bool isLeadByte(unsigned char byte) { return state.codePage == 932 && isJapaneseLeadByte(byte); }

std::string registryProblem() { return state.registryProblem; }

long regOpenKey(const char* subKey, RegKey* key) {
  state.keysOpened.push_back(subKey);
  state.events.push_back(std::string("regOpenKey ") + subKey);
  auto found = state.registry.find(lower(subKey));
  if (found == state.registry.end()) {
    return static_cast<long>(kErrorFileNotFound);
  }
  if (found->second.denied) {
    return static_cast<long>(kAccessDenied);
  }
  *key = &found->second;
  return 0;
}

long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  RegistryKey* open = keyOf(key);
  if (open == nullptr) {
    misuse(std::string("regQueryValue on a key that is not open: ") + name);
    return static_cast<long>(kInvalidHandle);
  }
  auto found = open->values.find(lower(name));
  if (found == open->values.end()) {
    return static_cast<long>(kErrorFileNotFound);
  }
  if (data != nullptr && size == nullptr) {
    return static_cast<long>(kInvalidParameter);
  }
  // Expandable text is expanded before use, as RegGetValue does, from the
  // UTF-16 text, and is then plain text.
  RegistryValue value = found->second;
  if (value.type == kRegExpandSz) {
    std::u16string text = fromAnsi(value.bytes.substr(0, value.bytes.find('\0')));
    if (!platform::ansiPath(platform::expandVariables(text, lookUpVariable), kWideText,
                            value.bytes)) {
      return static_cast<long>(kErrorFileNotFound);
    }
    value.bytes += '\0';
    value.type = kRegSz;
  }
  if (type != nullptr) {
    *type = value.type;
  }
  unsigned long needed = static_cast<unsigned long>(value.bytes.size());
  if (data == nullptr) {
    if (size != nullptr) {
      *size = needed;
    }
    return 0;
  }
  if (*size < needed) {
    // The buffer's contents are undefined after ERROR_MORE_DATA: spoil
    // them, within bounds, so nothing relies on them.
    std::memset(data, 0xCD, *size);
    *size = needed;
    return static_cast<long>(kErrorMoreData);
  }
  std::memcpy(data, value.bytes.data(), needed);
  *size = needed;
  return 0;
}

int statPath(const char* path, bool* isDirectory) {
  state.statted.push_back(path);
  Node* node = findNode(path);
  if (node == nullptr || node->statusFails) {
    return -1;
  }
  if (isDirectory != nullptr) {
    *isDirectory = node->kind == NodeKind::Folder;
  }
  return 0;
}

EntryType pathType(const char* path) {
  state.statted.push_back(path);
  Node* node = findNode(path);
  if (node == nullptr || node->statusFails) {
    return EntryType::Unknown;
  }
  switch (node->kind) {
    case NodeKind::Folder:
      return EntryType::Folder;
    case NodeKind::File:
      return EntryType::File;
    default:
      return EntryType::Other;
  }
}

int unlinkFile(const char* path) {
  state.events.push_back(std::string("unlinkFile ") + path);
  return deleteFile(path) ? 0 : -1;
}

int removeFile(const char* path) {
  state.events.push_back(std::string("removeFile ") + path);
  return deleteFile(path) ? 0 : -1;
}

int makeDirectory(const char* path) {
  state.events.push_back(std::string("makeDirectory ") + path);
  std::string full = resolve(path);
  if (full.empty() || findNode(full) != nullptr) {
    return -1;
  }
  std::string parent = parentOf(full, nullptr);
  Node* folder = parent.empty() ? nullptr : findNode(parent);
  if (folder == nullptr || folder->kind != NodeKind::Folder) {
    return -1;
  }
  makeNode(full, NodeKind::Folder);
  return 0;
}

FileHandle openFile(const char* path, const char* mode) { return open(path, mode); }

bool writeFile(FileHandle handle, const char* data, std::size_t length) {
  OpenFile* file = openFileOf(handle, "writeFile");
  if (file == nullptr) {
    return false;
  }
  for (const std::string& disk : state.fullDisks) {
    if (file->path.rfind(join(disk, ""), 0) == 0) {
      return false;
    }
  }
  std::string& contents = state.nodes[file->path].contents;
  for (std::size_t i = 0; i < length; ++i) {
    if (file->text && data[i] == '\n') {
      contents += '\r';
    }
    contents += data[i];
  }
  return true;
}

bool closeFile(FileHandle handle) {
  OpenFile* file = openFileOf(handle, "closeFile");
  if (file == nullptr) {
    return false;
  }
  file->open = false;
  state.events.push_back("closeFile " + file->path);
  return state.failingCloses.count(file->path) == 0;
}

bool shortPathName(const char* path, std::string& shortBytes) {
  std::u16string shortForm;
  return ::shortPath(fromAnsi(path), shortForm) && toAnsi(shortForm, shortBytes);
}

FileHandle createPrivateFile(const char* path) { return open(path, "wb"); }

std::string folderIdentity(const char* path) {
  std::string full = resolve(path);
  Node* node = full.empty() ? nullptr : findNode(full);
  return node != nullptr && node->kind == NodeKind::Folder && !node->statusFails ? full
                                                                                 : std::string();
}

DirectoryHandle openDirectory(const char* folder) {
  if (state.listingsOpened.size() >= kListingBudget) {
    if (state.listingsOpened.size() == kListingBudget) {
      misuse("more folder listings than any test needs: a scan that does not end");
      state.listingsOpened.push_back(folder);
    }
    return nullptr;
  }
  state.listingsOpened.push_back(folder);
  state.events.push_back(std::string("openDirectory ") + folder);
  std::string text = folder;
  if (!endsInSeparator(text)) {
    return nullptr;  // the folder's pattern would match other names
  }
  std::string full = resolve(text);
  Node* node = full.empty() ? nullptr : findNode(full);
  if (node == nullptr || node->kind != NodeKind::Folder || node->listingDenied) {
    return nullptr;
  }
  auto listing = std::make_unique<Listing>();
  if (!parentOf(full, nullptr).empty()) {
    listing->names = {".", ".."};  // a drive's root has neither
    listing->longNames = listing->names;
    listing->types = {EntryType::Folder, EntryType::Folder};
  }
  const std::vector<std::string>& names = node->listingSet ? node->listing : node->children;
  for (const std::string& name : names) {
    auto entry = state.nodes.find(join(full, name));
    // A name without an entry was a file that vanished after it was listed.
    EntryType type = EntryType::File;
    platform::DirectoryEntry listed;
    listed.longName = name;
    std::u16string wideName = fromAnsi(name);
    bool held = true;
    if (entry != state.nodes.end()) {
      const Node& child = entry->second;
      type = child.kind == NodeKind::Folder ? EntryType::Folder
             : child.kind == NodeKind::Link ? EntryType::Link
             : child.kind == NodeKind::File ? EntryType::File
                                            : EntryType::Other;
      if (child.wideName) {
        held = false;
        wideName = utf8_text::decodeUtf8(name);
        listed.longName = lossyName(name);
      }
    }
    platform::nameListedEntry(fromAnsi(text), wideName, held, kWideText, listed);
    listing->names.push_back(listed.name);
    listing->longNames.push_back(listed.longName);
    listing->types.push_back(type);
  }
  state.listings.push_back(std::move(listing));
  return state.listings.back().get();
}

bool readDirectory(DirectoryHandle handle, DirectoryEntry& entry) {
  Listing* listing = listingOf(handle, "readDirectory");
  if (listing == nullptr || listing->next >= listing->names.size()) {
    return false;
  }
  entry.type = listing->types[listing->next];
  entry.longName = listing->longNames[listing->next];
  entry.name = listing->names[listing->next++];
  return true;
}

void closeDirectory(DirectoryHandle handle) {
  Listing* listing = listingOf(handle, "closeDirectory");
  if (listing != nullptr) {
    listing->open = false;
  }
}

MutexHandle createMutex(const char* name, bool initialOwner) {
  state.events.push_back(std::string("createMutex ") + name);
  std::uintptr_t handle = state.nextHandle++;
  auto found = state.mutexes.find(name);
  if (found != state.mutexes.end()) {
    // An existing mutex: the caller gets a handle but not ownership.
    found->second.handles++;
    state.mutexHandles[handle] = name;
    state.lastError = kErrorAlreadyExists;
    return reinterpret_cast<MutexHandle>(handle);
  }
  Mutex& mutex = state.mutexes[name];
  mutex.handles = 1;
  mutex.ownerThread = initialOwner ? state.currentThread : -1;
  state.mutexHandles[handle] = name;
  state.lastError = kErrorSuccess;
  return reinterpret_cast<MutexHandle>(handle);
}

bool releaseMutex(MutexHandle handle) {
  state.events.push_back("releaseMutex");
  auto found = state.mutexHandles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == state.mutexHandles.end()) {
    state.lastError = kInvalidHandle;
    return false;
  }
  Mutex& mutex = state.mutexes[found->second];
  if (mutex.ownerThread != state.currentThread) {
    state.lastError = kNotOwner;
    return false;
  }
  mutex.ownerThread = -1;
  return true;
}

bool closeHandle(MutexHandle handle) {
  state.events.push_back("closeHandle");
  auto found = state.mutexHandles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == state.mutexHandles.end()) {
    state.lastError = kInvalidHandle;
    return false;
  }
  auto mutex = state.mutexes.find(found->second);
  state.mutexHandles.erase(found);
  if (--mutex->second.handles <= 0 && !mutex->second.heldElsewhere) {
    state.mutexes.erase(mutex);  // the last handle: the name goes
  }
  return true;
}

void sleepMilliseconds(unsigned long milliseconds) {
  state.sleeps.push_back(milliseconds);
  state.events.push_back("sleep " + std::to_string(milliseconds));
}

bool createThread(ThreadRoutine routine, void* parameter) {
  state.events.push_back("createThread");
  if (state.threadsFail) {
    state.lastError = kNotEnoughMemory;
    return false;
  }
  state.threads.push_back(PendingThread{routine, parameter});
  return true;
}

LibraryHandle loadLibrary(const char* path) {
  state.librariesLoaded.push_back(path);
  state.events.push_back(std::string("loadLibrary ") + path);
  Node* node = findNode(path);
  if (node == nullptr || node->kind != NodeKind::File) {
    state.lastError = kModNotFound;
    return nullptr;
  }
  std::string full = resolve(path);
  if (state.failingLibraries.count(full) != 0) {
    state.lastError = kBadExeFormat;
    return nullptr;
  }
  return &state.libraries[full];
}

ProcAddress getProcAddress(LibraryHandle library, const char* name) {
  state.events.push_back(std::string("getProcAddress ") + name);
  for (auto& entry : state.libraries) {
    if (&entry.second == library) {
      auto found = entry.second.exports.find(name);
      if (found != entry.second.exports.end()) {
        return found->second;
      }
      state.lastError = kProcNotFound;
      return nullptr;
    }
  }
  misuse(std::string("getProcAddress on a library not loaded: ") + name);
  state.lastError = kInvalidHandle;
  return nullptr;
}

void messageBox(const char* text, const char* caption) {
  state.boxes.push_back(fake::MessageBox{text, caption});
  state.events.push_back(std::string("messageBox ") + caption);
}

std::string localTimeText() { return "Tue Dec 08 07:00:00 2026\n"; }

}  // namespace platform
