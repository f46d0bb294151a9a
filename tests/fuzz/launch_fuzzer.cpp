// The whole launch over the in-memory Windows and the fake VM, on a machine
// the fuzzer makes up: registry values of any type and bytes, odd
// environment values, any install folder, lib trees with links and loops,
// and failures of the runtime's library, its entry point, VM creation and
// the class lookups. Whatever it makes, the launch must end with 0 or 1,
// write well-formed session-log entries and a policy file of the expected
// shape, and use the platform and the VM correctly.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fake_jni.h"
#include "fake_platform.h"
#include "fresh_process.h"
#include "launcher/instance_guard.h"
#include "launcher/launch_sequence.h"
#include "runtime/java_runtime.h"
#include "vmconfig/class_path.h"

// The release worker and its runnable live until the process ends, by
// design; many launches in one process are not leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:startReleaseWorker\n"; }

namespace {

const char* const kVendorKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char* const kMakerKey = "SOFTWARE\\Orrindale";
const char* const kQuickTimeKey = "SOFTWARE\\Apple Computer, Inc.\\QuickTime";
const char* const kVendorHome = "C:\\Java\\jre6";
const char* const kVendorVm = "C:\\Java\\jre6\\bin\\client\\jvm.dll";
const char* const kPrivateHome = "D:\\Rt";
const char* const kPrivateVm = "D:\\Rt\\jre1.6.0_02\\bin\\client\\jvm.dll";
const char* const kTime = "Tue Dec 08 07:00:00 2026\n";

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// Text with the characters that matter to paths and options most of the
// time, any byte otherwise; a short piece may repeat up to 5000 bytes.
std::string fuzzText(FuzzedDataProvider& in, std::size_t longest) {
  static const char kAlphabet[] = "%\"\\;:/ aZ.~$#{}\tjarzip";
  std::string piece;
  std::size_t pieceLength = in.ConsumeIntegralInRange<std::size_t>(0, 24);
  for (std::size_t i = 0; i < pieceLength && in.remaining_bytes() > 0; ++i) {
    unsigned char byte = in.ConsumeIntegral<unsigned char>();
    piece += byte < 0xC0 ? kAlphabet[byte % (sizeof kAlphabet - 1)] : static_cast<char>(byte);
  }
  std::size_t repeats = in.ConsumeIntegralInRange<std::size_t>(1, 300);
  std::string text;
  for (std::size_t i = 0; i < repeats && text.size() + piece.size() <= longest; ++i) {
    text += piece;
  }
  return text;
}

// A registry value: missing, text with or without terminator, or any type
// and bytes.
void fuzzValue(FuzzedDataProvider& in, const std::string& key, const char* name,
               const std::string& usual) {
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      break;
    case 1:
      fake::setRegistryText(key, name, usual);
      break;
    case 2:
      fake::setRegistryValue(key, name, platform::kRegSz, fuzzText(in, 2000));
      break;
    case 3:
      fake::setRegistryText(key, name, fuzzText(in, 2000));
      break;
    default:
      fake::setRegistryValue(key, name, in.ConsumeIntegral<uint8_t>() % 12, fuzzText(in, 2000));
      break;
  }
}

// An environment variable: unset, a usual value, or made-up text.
void fuzzVariable(FuzzedDataProvider& in, const char* name, const std::string& usual) {
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      fake::unsetEnv(name);
      break;
    case 1:
      fake::setEnv(name, usual);
      break;
    default:
      fake::setEnv(name, fuzzText(in, 5000));
      break;
  }
}

// Up to eight folders under lib, with archives and other files anywhere,
// links to each other (loops included) and to nowhere.
void fuzzLibTree(FuzzedDataProvider& in, const std::string& lib) {
  std::vector<std::string> folders = {lib};
  fake::addFolder(lib);
  int steps = in.ConsumeIntegralInRange<int>(0, 16);
  for (int i = 0; i < steps && in.remaining_bytes() > 0; ++i) {
    const std::string& parent =
        folders[in.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)];
    std::string name = fuzzText(in, 40);
    if (name.empty() || name.find('\\') != std::string::npos ||
        name.find('/') != std::string::npos || name == "." || name == "..") {
      continue;
    }
    std::string path = parent + "\\" + name;
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
      case 0:
        if (folders.size() < 8) {
          fake::addFolder(path);
          folders.push_back(path);
        }
        break;
      case 1:
        fake::addFile(path, "PK");
        break;
      case 2:
        fake::addFile(path + (in.ConsumeBool() ? ".jar" : ".zip"), "PK");
        break;
      case 3:
        fake::addFolderLink(path,
                            folders[in.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)]);
        break;
      default:
        if (in.ConsumeBool()) {
          fake::addFolderLink(path, parent + "\\gone");
        } else {
          fake::denyListing(parent);
        }
        break;
    }
  }
}

// The session log's entries, each as the launcher appends it in text mode.
void checkSessionLog(const std::string& log, bool fatalEnd, const std::string& lastBox) {
  auto textMode = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
  };
  const std::string head = textMode(std::string("\r\n##### ") + kTime + "\r\n");
  const std::string tail = textMode("\r\n\r\n##############################\r\n\r\n");
  std::size_t at = 0;
  std::string lastText;
  while (at < log.size()) {
    check(log.compare(at, head.size(), head) == 0, "session-log entry head");
    std::size_t end = log.find(tail, at + head.size());
    check(end != std::string::npos, "session-log entry tail");
    std::string text = log.substr(at + head.size(), end - at - head.size());
    bool fatal = text.compare(0, 23, "Fatal Error Launching: ") == 0;
    check(fatal || text.compare(0, 17, "Error Launching: ") == 0, "session-log entry text");
    check(!fatal || end + tail.size() == log.size(), "nothing after a fatal entry");
    lastText = text;
    at = end + tail.size();
  }
  if (fatalEnd && !log.empty()) {
    check(textMode(lastBox) == lastText, "the box shows what was logged");
  }
}

bool isControl(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return (byte >= 0x01 && byte <= 0x1F) || byte == 0x7F;
}

// The grant's path as it stands after "file:/": separators as "/", and the
// characters a policy file's URL cannot hold as themselves ("%", a blank,
// "#", "$", control characters) as %XX escapes.
std::string fileUrlText(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url;
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      url += '/';
    } else if (c == '%' || c == ' ' || c == '#' || c == '$' || isControl(c)) {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    } else {
      url += c;
    }
  }
  return url;
}

// No character that must be escaped stands as itself, and each "%" starts
// an escape.
bool wellEncoded(const std::string& url) {
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  for (std::size_t i = 0; i < url.size(); ++i) {
    char c = url[i];
    if (c == '\\' || c == ' ' || c == '#' || c == '$' || isControl(c)) {
      return false;
    }
    if (c == '%' && (i + 2 >= url.size() || !hex(url[i + 1]) || !hex(url[i + 2]))) {
      return false;
    }
  }
  return true;
}

void checkPolicyFile(const std::string& policy, const std::string& installDir) {
  const std::string grantEnd = "-\" {\r\n\tpermission java.security.AllPermission;\r\n};\r\n";
  const std::string first =
      "//Give this directory security permissions\r\ngrant codeBase \"file:/" +
      fileUrlText(installDir + "\\") + grantEnd;
  const std::string second = "\r\n//Give QuickTime security permissions\r\ngrant codeBase \"file:/";
  check(policy.compare(0, first.size(), first) == 0, "policy: the install folder's grant");
  if (policy == first + "\r\n") {
    return;  // no QuickTime folder, no grant for it
  }
  check(policy.compare(first.size(), second.size(), second) == 0, "policy: QuickTime's grant");
  std::size_t pathStart = first.size() + second.size();
  check(policy.size() >= pathStart + grantEnd.size() &&
            policy.compare(policy.size() - grantEnd.size(), grantEnd.size(), grantEnd) == 0,
        "policy: the end of QuickTime's grant");
  std::string quickTime = policy.substr(pathStart, policy.size() - grantEnd.size() - pathStart);
  check(wellEncoded(quickTime), "policy: QuickTime's folder as a URL");
  // A relative folder would grant every permission to a folder of the
  // current drive, or to a network host.
  check(quickTime.compare(1, 2, ":/") == 0 || quickTime.compare(0, 2, "//") == 0,
        "policy: QuickTime's folder is absolute");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  startFreshProcess();

  // The install folder and the executable in it.
  std::string installDir =
      in.ConsumeBool() ? std::string("C:\\Apps\\Veltrana") : "C:\\" + fuzzText(in, 300);
  while (!installDir.empty() && installDir.back() == '\\') {
    installDir.pop_back();
  }
  std::string module = installDir + "\\Veltrana.exe";
  fake::setModulePath(module);
  fake::addFile(module, "MZ");
  fake::addFile(installDir + "\\Veltrana.jar", "PK");
  fuzzLibTree(in, installDir + "\\lib");

  // The environment.
  fake::addFolder("C:\\Users\\ann");
  fake::addFolder("C:\\Temp");
  fuzzVariable(in, "USERPROFILE", "C:\\Users\\ann");
  fuzzVariable(in, "TEMP", "C:\\Temp");
  fuzzVariable(in, "PATH", "C:\\Windows\\system32;C:\\Windows\\");
  fuzzVariable(in, "ProgramFiles", "C:\\Program Files");
  const char* temp = platform::getEnv("TEMP");
  if (temp != nullptr && in.ConsumeBool()) {
    fake::addFolder(temp);
  }

  // The registry.
  if (in.ConsumeBool()) {
    fake::addRegistryKey(kMakerKey);
    fuzzValue(in, kMakerKey, "JAVA_HOME", kPrivateHome);
  }
  if (in.ConsumeBool()) {
    fake::addRegistryKey(kVendorKey);
    fuzzValue(in, kVendorKey, "CurrentVersion", "1.6");
    std::string versionKey = std::string(kVendorKey) + "\\" +
                             (in.ConsumeBool() ? std::string("1.6") : fuzzText(in, 100));
    if (in.ConsumeBool()) {
      fake::denyRegistryKey(versionKey);
    }
    fuzzValue(in, versionKey, "JavaHome", kVendorHome);
    fuzzValue(in, versionKey, "RuntimeLib", kVendorVm);
  }
  if (in.ConsumeBool()) {
    fake::addRegistryKey(kQuickTimeKey);
    fuzzValue(in, kQuickTimeKey, "QTExtDir", "C:\\QT\\QTSystem\\");
  }

  // The runtimes' libraries, and what fails.
  for (const char* vm : {kVendorVm, kPrivateVm}) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        break;  // no library
      case 1:
        fake::addFile(vm, "MZ");  // no entry point
        break;
      case 2:
        fakejni::installVmLibrary(vm);
        fake::failLibrary(vm);
        break;
      default:
        fakejni::installVmLibrary(vm);
        break;
    }
  }
  if (in.ConsumeBool()) {
    fake::addFile("D:\\Rt\\jre1.6.0_02\\bin\\msvcr71.dll", "MZ");
    if (in.ConsumeBool()) {
      fake::failLibrary("D:\\Rt\\jre1.6.0_02\\bin\\msvcr71.dll");
    }
  }
  fakejni::Behaviour& vm = fakejni::behaviour();
  vm.createResult = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? JNI_ERR : JNI_OK;
  vm.mainClassMissing = in.ConsumeIntegralInRange<int>(0, 7) == 0;
  vm.mainMethodMissing = in.ConsumeIntegralInRange<int>(0, 15) == 0;
  vm.stringClassMissing = in.ConsumeIntegralInRange<int>(0, 15) == 0;
  vm.lookupFailureLeavesException = in.ConsumeBool();
  vm.mainThrows = in.ConsumeBool();
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) {
    fake::takeMutexName("Veltrana.jar");
  }

  // The arguments: any UTF-16 units.
  std::vector<std::u16string> args = {u"C:\\Apps\\Veltrana\\Veltrana.exe"};
  while (in.remaining_bytes() > 1 && args.size() < 8) {
    std::string raw = in.ConsumeRandomLengthString(64);
    std::u16string arg;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
      arg += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                   (static_cast<unsigned char>(raw[i + 1]) << 8));
    }
    args.push_back(arg);
  }
  fake::setCommandLine(args);

  int code = -1;
  bool endedThroughVm = false;
  try {
    code = runLauncher();
  } catch (const fake::ProcessExit& exit) {
    code = exit.code;
  } catch (const fakejni::FatalErrorCalled&) {
    endedThroughVm = true;
  }

  check(endedThroughVm ? vm.mainMethodMissing || vm.stringClassMissing : code == 0 || code == 1,
        "the launch ends with 0 or 1");
  check(fake::misuses().empty(), "platform used correctly");
  check(fakejni::misuses().empty(), "VM used correctly");
  check(fake::openFileCount() == 0, "no file left open");

  const std::vector<fake::MessageBox>& boxes = fake::messageBoxes();
  bool fatalEnd = code == 1 && !boxes.empty();
  const char* profile = platform::getEnv("USERPROFILE");
  if (profile != nullptr && profile[0] != '\0') {
    std::string log = fake::fileContents(std::string(profile) + "\\Logs\\Veltrana Session Log.txt");
    checkSessionLog(log, fatalEnd, fatalEnd ? boxes.back().text : std::string());
  }

  if (temp != nullptr && code == 0 && !endedThroughVm) {
    std::string policyPath = std::string(temp) + "\\Veltrana.exe.policy";
    if (fake::fileExists(policyPath) && std::strlen(temp) < 260) {
      // An install folder holding ';' has no short form here: the launcher
      // stands in the current folder for it.
      checkPolicyFile(fake::fileContents(policyPath),
                      installDir.find(';') == std::string::npos ? installDir : "C:\\Work");
    }
  }
  return 0;
}
