#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "platform/common/expanded_text.h"
#include "platform/windows/raw_calls.h"
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
constexpr unsigned long kNotOwner = 288;
constexpr unsigned long kNoMoreFiles = 18;

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
  std::string buffered;  // what a full disk has not taken yet
};

struct Listing {
  std::vector<platform::FoundEntry> entries;
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
  std::vector<char16_t*> argumentVector;  // into commandLine
  bool commandLineOut = false;

  std::map<std::string, std::u16string> environment;  // by lower-case name

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
  std::map<std::string, unsigned long> fileIndexes;  // by resolved path

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

bool leadByte(unsigned char byte) { return state.codePage == 932 && isJapaneseLeadByte(byte); }

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
      std::size_t length = ansi_text::characterLength(path, at, leadByte);
      part.append(path, at, length);
      at += length;
    }
  }
}

// Whether the path's last character is a separator.
bool endsInSeparator(const std::string& path) {
  return !path.empty() &&
         (path.back() == '/' || ansi_text::endsWithSeparator(path, '\\', leadByte));
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
  std::size_t last = ansi_text::lastSeparator(normalised, '\\', leadByte);
  if (last == std::string::npos || last + 1 == normalised.size()) {
    return std::string();  // a root
  }
  if (name != nullptr) {
    *name = normalised.substr(last + 1);
  }
  bool rootSeparator = (hasDrive(normalised) && last == 2) || last == 0;
  return normalised.substr(0, rootSeparator ? last + 1 : last);
}

Node* findNode(const std::string& path) {
  auto found = state.nodes.find(resolve(path));
  return found == state.nodes.end() ? nullptr : &found->second;
}

bool isKind(const std::string& path, NodeKind kind) {
  Node* node = findNode(path);
  return node != nullptr && node->kind == kind;
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
    key += held ? bytes : utf8_text::encodeUtf8(part);
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

// A variable's value in UTF-16, as ExpandEnvironmentStringsW looks it up.
bool lookUpVariable(const std::u16string& name, std::u16string& value) {
  std::string bytes;
  auto found = toAnsi(name, bytes) ? state.environment.find(lower(bytes)) : state.environment.end();
  if (found != state.environment.end()) value = found->second;
  return found != state.environment.end();
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

// _unlink and remove.
int deleteFile(const char* call, const std::string& path) {
  state.events.push_back(std::string(call) + " " + path);
  std::string full = resolve(path);
  auto found = state.nodes.find(full);
  if (found == state.nodes.end() || found->second.kind != NodeKind::File ||
      found->second.undeletable) {
    // DeleteFile's error stays behind the C runtime's failure.
    state.lastError = found == state.nodes.end() ? platform::kErrorFileNotFound : kAccessDenied;
    return -1;
  }
  state.nodes.erase(found);
  std::string name;
  std::string parent = parentOf(full, &name);
  std::vector<std::string>& siblings = state.nodes[parent].children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), name), siblings.end());
  return 0;
}

platform::FileHandle open(const std::string& path, const std::string& mode) {
  state.events.push_back("openFile " + path + " " + mode);
  char kind = mode.empty() ? '?' : mode[0];
  if (kind != 'r' && kind != 'w' && kind != 'a') {
    misuse("openFile with mode " + mode);
    return nullptr;
  }
  std::string full = resolve(path);
  Node* node = findNode(full);
  // CreateFile's error stays behind the C runtime's failure.
  if (state.refusedFiles.count(full) != 0 || (node != nullptr && node->kind != NodeKind::File)) {
    state.lastError = kAccessDenied;
    return nullptr;
  }
  if (node == nullptr) {
    std::string parent = parentOf(full, nullptr);
    Node* folder = findNode(parent);
    if (kind == 'r' || !isKind(parent, NodeKind::Folder)) {
      state.lastError = kind == 'r' && folder ? platform::kErrorFileNotFound : kPathNotFound;
      return nullptr;
    }
    node = &makeNode(full, NodeKind::File);
  } else if (kind == 'w') {
    node->contents.clear();
  }
  state.files.push_back(std::make_unique<OpenFile>());
  *state.files.back() = OpenFile{full, mode.find('b') == std::string::npos, true, ""};
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
  if (Node* node = findNode(path)) node->statusFails = true;
}

void makeUndeletable(const std::string& path) {
  if (Node* node = findNode(path)) node->undeletable = true;
}

void failOpening(const std::string& path) { state.refusedFiles.insert(resolve(path)); }

void fillDisk(const std::string& folder) { state.fullDisks.insert(resolve(folder)); }

void failClosing(const std::string& path) { state.failingCloses.insert(resolve(path)); }

bool fileExists(const std::string& path) { return isKind(path, NodeKind::File); }
bool folderExists(const std::string& path) { return isKind(path, NodeKind::Folder); }
bool specialFileExists(const std::string& path) { return isKind(path, NodeKind::Special); }

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

// === The raw calls ===================================================================

namespace {

using platform::FoundEntry;

// Copies text and its terminator into buffer when size units hold them and
// gives the length; else gives the size needed, terminator included, as the
// calls that fill a caller's buffer do.
template <typename Unit>
unsigned long fill(const std::basic_string<Unit>& text, Unit* buffer, unsigned long size) {
  if (buffer == nullptr || text.size() + 1 > size) {
    return static_cast<unsigned long>(text.size() + 1);
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = Unit(0);
  return static_cast<unsigned long>(text.size());
}

// The conversions' way of filling a buffer: the count includes what was
// asked to be converted, a zero size asks for the count, and a buffer too
// small fails with ERROR_INSUFFICIENT_BUFFER.
template <typename Unit>
int convertInto(const std::basic_string<Unit>& result, Unit* out, int size) {
  int needed = static_cast<int>(result.size());
  if (size == 0) {
    return needed;
  }
  if (needed > size) {
    state.lastError = platform::kErrorInsufficientBuffer;
    return 0;
  }
  std::copy(result.begin(), result.end(), out);
  return needed;
}

int wideCharToMultiByte(unsigned long, const char16_t* text, int length, char* bytes, int size,
                        int* usedDefault) {
  std::u16string wide = length < 0 ? std::u16string(text) + u'\0' : std::u16string(text, length);
  std::string result;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (!characterToAnsi(wide[i], result)) {
      // No best fit: the default character, once for a surrogate pair.
      if (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] < 0xE000) {
        ++i;
      }
      result += '?';
      if (usedDefault != nullptr) {
        *usedDefault = 1;
      }
    }
  }
  return convertInto(result, bytes, size);
}

int multiByteToWideChar(unsigned long, const char* bytes, int length, char16_t* text, int size) {
  std::string narrow = length < 0 ? std::string(bytes) + '\0' : std::string(bytes, length);
  return convertInto(fromAnsi(narrow), text, size);
}

unsigned long getModuleFileNameW(char16_t* buffer, unsigned long size) {
  state.events.push_back("getModuleFileName");
  if (!state.moduleFails && state.modulePath.size() < size) {
    return fill(state.modulePath, buffer, size);
  }
  // Cut to the buffer, or failed leaving what it had written.
  fill(state.modulePath.substr(0, size - 1), buffer, size);
  state.lastError = state.moduleFails ? state.moduleError : platform::kErrorInsufficientBuffer;
  return state.moduleFails ? 0 : size;
}

void exitProcess(int code) {
  state.events.push_back("exitProcess " + std::to_string(code));
  throw fake::ProcessExit{code};
}

char16_t** commandLineToArgvW(int* count) {
  state.events.push_back("splitCommandLine");
  if (state.splitFails) {
    return nullptr;
  }
  state.argumentVector.clear();
  for (std::u16string& argument : state.commandLine) {
    state.argumentVector.push_back(&argument[0]);
  }
  state.argumentVector.push_back(nullptr);
  state.commandLineOut = true;
  *count = static_cast<int>(state.commandLine.size());
  return state.argumentVector.data();
}

void localFree(void* memory) {
  state.events.push_back("releaseCommandLine");
  if (memory != state.argumentVector.data() || !state.commandLineOut) {
    misuse("releaseCommandLine of a vector not handed out");
  }
  state.commandLineOut = false;
}

unsigned long getEnvironmentVariableW(const char16_t* name, char16_t* buffer, unsigned long size) {
  std::u16string value;
  if (!lookUpVariable(name, value)) {
    state.lastError = platform::kErrorEnvironmentVariableNotFound;
    return 0;
  }
  return fill(value, buffer, size);
}

// ExpandEnvironmentStrings counts the terminator in both of its answers.
unsigned long expandEnvironmentStringsW(const char16_t* text, char16_t* buffer,
                                        unsigned long size) {
  std::u16string expanded = platform::expandVariables(text, lookUpVariable);
  unsigned long copied = fill(expanded, buffer, size);
  return copied == expanded.size() ? copied + 1 : copied;
}

// GetTempPath: the first of TMP, TEMP and USERPROFILE that is set, else the
// Windows folder, with a final backslash. It does not look whether the
// folder exists.
unsigned long getTempPathW(unsigned long size, char16_t* buffer) {
  std::u16string folder = u"C:\\Windows";
  for (const char* name : {"tmp", "temp", "userprofile"}) {
    auto found = state.environment.find(name);
    if (found != state.environment.end() && !found->second.empty()) {
      folder = found->second;
      break;
    }
  }
  if (folder.back() != u'\\') {
    folder += u'\\';
  }
  return fill(folder, buffer, size);
}

unsigned long getShortPathNameW(const char16_t* path, char16_t* buffer, unsigned long size) {
  std::u16string shortForm;
  if (!shortPath(path, shortForm)) {
    state.lastError = platform::kErrorFileNotFound;
    return 0;
  }
  return fill(shortForm, buffer, size);
}

bool setCurrentDirectoryA(const char* path) {
  if (!isKind(path, NodeKind::Folder)) {
    state.lastError = kPathNotFound;
    return false;
  }
  state.currentDirectory = normalise(path);
  state.events.push_back("setCurrentDirectory " + state.currentDirectory);
  return true;
}

long regOpenKeyExA(const char* subKey, platform::RegKey* key) {
  state.keysOpened.push_back(subKey);
  state.events.push_back(std::string("regOpenKey ") + subKey);
  auto found = state.registry.find(lower(subKey));
  if (found == state.registry.end()) {
    return static_cast<long>(platform::kErrorFileNotFound);
  }
  if (found->second.denied) {
    return static_cast<long>(kAccessDenied);
  }
  *key = &found->second;
  return 0;
}

// RegQueryValueEx. The ANSI call gives a text value as it is stored, an
// expandable one unexpanded; the wide call gives text in UTF-16.
long queryValue(platform::RegKey key, const std::string& name, bool wide, unsigned long* type,
                unsigned char* data, unsigned long* size) {
  RegistryKey* open = keyOf(key);
  if (open == nullptr) {
    misuse("regQueryValue on a key that is not open: " + name);
    return static_cast<long>(kInvalidHandle);
  }
  auto found = open->values.find(lower(name));
  if (found == open->values.end()) {
    return static_cast<long>(platform::kErrorFileNotFound);
  }
  if (data != nullptr && size == nullptr) {
    return static_cast<long>(platform::kErrorInvalidParameter);
  }
  RegistryValue value = found->second;
  if (wide && (value.type == platform::kRegSz || value.type == platform::kRegExpandSz)) {
    std::u16string text = fromAnsi(value.bytes);
    value.bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  }
  if (type != nullptr) {
    *type = value.type;
  }
  unsigned long needed = static_cast<unsigned long>(value.bytes.size());
  unsigned long capacity = size != nullptr ? *size : 0;
  if (size != nullptr) {
    *size = needed;
  }
  if (data == nullptr) {
    return 0;
  }
  if (capacity < needed) {
    // The buffer's contents are undefined after ERROR_MORE_DATA: spoil
    // them, within bounds, so nothing relies on them.
    std::memset(data, 0xCD, capacity);
    return static_cast<long>(platform::kErrorMoreData);
  }
  std::memcpy(data, value.bytes.data(), needed);
  return 0;
}

int statFile(const char* path, unsigned* mode) {
  state.statted.push_back(path);
  Node* node = findNode(path);
  if (node == nullptr || node->statusFails) {
    return -1;
  }
  *mode = node->kind == NodeKind::Folder ? platform::kModeDirectory
          : node->kind == NodeKind::File ? platform::kModeRegular
                                         : 0x2000;  // a character device
  return 0;
}

int makeDirectory(const char* path) {
  state.events.push_back(std::string("makeDirectory ") + path);
  std::string full = resolve(path);
  if (full.empty() || findNode(full) != nullptr) {
    return -1;
  }
  if (!isKind(parentOf(full, nullptr), NodeKind::Folder)) {
    return -1;
  }
  makeNode(full, NodeKind::Folder);
  return 0;
}

bool onFullDisk(const OpenFile& file) {
  return std::any_of(state.fullDisks.begin(), state.fullDisks.end(), [&](const std::string& disk) {
    return file.path.rfind(join(disk, ""), 0) == 0;
  });
}

// The stream's buffer, as far as a full disk shows it: what fits waits in
// the buffer, so the write succeeds, and only a flush finds out.
constexpr std::size_t kStreamBuffer = 4096;

std::size_t writeStream(const void* data, std::size_t unit, std::size_t count,
                        platform::FileHandle handle) {
  OpenFile* file = openFileOf(handle, "writeFile");
  if (file == nullptr) {
    return 0;
  }
  bool full = onFullDisk(*file);
  std::string& contents = full ? file->buffered : state.nodes[file->path].contents;
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t i = 0; i < unit * count; ++i) {
    if (file->text && bytes[i] == '\n') {
      contents += '\r';
    }
    contents += bytes[i];
  }
  return full && file->buffered.size() > kStreamBuffer ? 0 : count;
}

// What waits for a full disk never reaches it.
int flushStream(platform::FileHandle handle) {
  OpenFile* file = openFileOf(handle, "closeFile");
  bool lost = file == nullptr || !file->buffered.empty();
  if (file != nullptr) file->buffered.clear();
  return lost ? -1 : 0;
}

// Closing reports a failure of its own, but not that of its final flush,
// as Wine's C runtime does.
int closeStream(platform::FileHandle handle) {
  OpenFile* file = openFileOf(handle, "closeFile");
  if (file == nullptr) {
    return -1;
  }
  file->open = false;
  file->buffered.clear();
  state.events.push_back("closeFile " + file->path);
  return state.failingCloses.count(file->path) == 0 ? 0 : -1;
}

bool fileIdentity(const char* path, unsigned long* volume, unsigned long* high,
                  unsigned long* low) {
  std::string full = resolve(path);
  Node* node = findNode(full);
  if (node == nullptr || node->kind != NodeKind::Folder || node->statusFails) {
    return false;
  }
  *volume = 0x1234ABCD;
  *high = 0;
  *low = state.fileIndexes.emplace(full, state.fileIndexes.size() + 1).first->second;
  return true;
}

void* findFirstFileExW(const char16_t* pattern, bool, unsigned long, FoundEntry* found) {
  std::u16string widePattern = pattern;
  std::string text;
  toAnsi(widePattern.substr(0, widePattern.size() - 1), text);
  if (state.listingsOpened.size() >= kListingBudget) {
    if (state.listingsOpened.size() == kListingBudget) {
      misuse("more folder listings than any test needs: a scan that does not end");
      state.listingsOpened.push_back(text);
    }
    state.lastError = kPathNotFound;
    return nullptr;
  }
  state.listingsOpened.push_back(text);
  state.events.push_back("openDirectory " + text);
  // Only a folder's "*" is modelled: any other pattern would match names
  // outside it.
  std::size_t size = widePattern.size();
  std::string full = resolve(text);
  Node* node = findNode(full);
  if (size < 2 || widePattern.compare(size - 2, 2, u"\\*") != 0 || node == nullptr ||
      node->kind != NodeKind::Folder || node->listingDenied) {
    state.lastError = node != nullptr && node->listingDenied ? kAccessDenied : kPathNotFound;
    return nullptr;
  }
  auto listing = std::make_unique<Listing>();
  if (!parentOf(full, nullptr).empty()) {
    // A drive's root has neither.
    listing->entries = {{platform::kAttributeDirectory, u"."},
                        {platform::kAttributeDirectory, u".."}};
  }
  for (const std::string& name : node->listingSet ? node->listing : node->children) {
    auto entry = state.nodes.find(join(full, name));
    // A name without an entry was a file that vanished after it was listed.
    FoundEntry listed{0x80, fromAnsi(name)};  // FILE_ATTRIBUTE_NORMAL
    if (entry != state.nodes.end()) {
      const Node& child = entry->second;
      listed.attributes = child.kind == NodeKind::Folder ? platform::kAttributeDirectory
                          : child.kind == NodeKind::Link
                              ? platform::kAttributeDirectory | platform::kAttributeReparsePoint
                          : child.kind == NodeKind::File ? 0x80
                                                         : platform::kAttributeDevice;
      if (child.wideName) {
        listed.name = utf8_text::decodeUtf8(name);
      }
    }
    listing->entries.push_back(listed);
  }
  if (listing->entries.empty()) {
    state.lastError = platform::kErrorFileNotFound;
    return nullptr;
  }
  *found = listing->entries[listing->next++];
  state.listings.push_back(std::move(listing));
  return state.listings.back().get();
}

bool findNextFileW(void* find, FoundEntry* found) {
  Listing* listing = listingOf(find, "readDirectory");
  if (listing == nullptr || listing->next >= listing->entries.size()) {
    state.lastError = kNoMoreFiles;
    return false;
  }
  *found = listing->entries[listing->next++];
  return true;
}

bool findClose(void* find) {
  Listing* listing = listingOf(find, "closeDirectory");
  if (listing != nullptr) {
    listing->open = false;
  }
  return listing != nullptr;
}

// A new name leaves the last error as it was.
platform::MutexHandle createMutexA(const char* name, bool initialOwner) {
  state.events.push_back(std::string("createMutex ") + name);
  std::uintptr_t handle = state.nextHandle++;
  state.mutexHandles[handle] = name;
  auto found = state.mutexes.find(name);
  if (found != state.mutexes.end()) {
    // An existing mutex: the caller gets a handle but not ownership.
    found->second.handles++;
    state.lastError = platform::kErrorAlreadyExists;
  } else {
    state.mutexes[name] = Mutex{1, false, initialOwner ? state.currentThread : -1};
  }
  return reinterpret_cast<platform::MutexHandle>(handle);
}

bool releaseMutex(platform::MutexHandle handle) {
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

bool closeHandle(platform::MutexHandle handle) {
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

bool createThread(platform::ThreadRoutine routine, void* parameter) {
  state.events.push_back("createThread");
  if (state.threadsFail) {
    state.lastError = kNotEnoughMemory;
    return false;
  }
  state.threads.push_back(PendingThread{routine, parameter});
  return true;
}

platform::LibraryHandle loadLibraryExA(const char* path, unsigned long) {
  state.librariesLoaded.push_back(path);
  state.events.push_back(std::string("loadLibrary ") + path);
  std::string full = resolve(path);
  bool file = isKind(full, NodeKind::File);
  if (!file || state.failingLibraries.count(full) != 0) {
    state.lastError = file ? kBadExeFormat : kModNotFound;
    return nullptr;
  }
  return &state.libraries[full];
}

platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name) {
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

}  // namespace

namespace platform {

const RawCalls kRawCalls = {
    [] { return state.lastError; },
    [](unsigned long code) { state.lastError = code; },
    [] { return state.codePage; },
    ::leadByte,
    ::wideCharToMultiByte,
    ::multiByteToWideChar,
    ::getModuleFileNameW,
    [](unsigned long code, std::string& text) {
      text = "Error " + std::to_string(code) + " text";
      return true;
    },
    ::exitProcess,
    ::commandLineToArgvW,
    ::localFree,
    ::getEnvironmentVariableW,
    ::expandEnvironmentStringsW,
    ::getTempPathW,
    ::getShortPathNameW,
    ::setCurrentDirectoryA,
    [](unsigned long size, char* buffer) { return fill(state.currentDirectory, buffer, size); },
    ::regOpenKeyExA,
    [](platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
       unsigned long* size) { return queryValue(key, name, false, type, data, size); },
    [](platform::RegKey key, const char16_t* name, unsigned long* type, unsigned char* data,
       unsigned long* size) {
      std::string bytes;
      toAnsi(name, bytes);
      return queryValue(key, bytes, true, type, data, size);
    },
    ::statFile,
    [](const char* path) { return deleteFile("unlinkFile", path); },
    [](const char* path) { return deleteFile("removeFile", path); },
    ::makeDirectory,
    [](const char* path, const char* mode) { return open(path, mode); },
    ::writeStream,
    ::flushStream,
    ::closeStream,
    ::fileIdentity,
    ::findFirstFileExW,
    ::findNextFileW,
    ::findClose,
    ::createMutexA,
    ::releaseMutex,
    ::closeHandle,
    [](unsigned long milliseconds) {
      state.sleeps.push_back(milliseconds);
      state.events.push_back("sleep " + std::to_string(milliseconds));
    },
    ::createThread,
    ::loadLibraryExA,
    [](const char*) { return true; },
    ::getProcAddress,
    [](const char* text, const char* caption) {
      state.boxes.push_back(fake::MessageBox{text, caption});
      state.events.push_back(std::string("messageBox ") + caption);
    },
    [] { return "Tue Dec 08 07:00:00 2026\n"; },
};

// Only the POSIX layer, whose registry is a file, has a problem to report;
// the in-memory machine reports the one a test sets.
std::string registryProblem() { return state.registryProblem; }

// A process end is never watched here: exitProcess returns control to the
// test instead of ending anything.
void watchProcessEnd(void (*)()) {}
void unwatchProcessEnd() {}

}  // namespace platform
