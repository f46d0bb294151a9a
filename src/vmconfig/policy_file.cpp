#include "vmconfig/policy_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"
#include "diag/session_log.h"
#include "platform/outside_values.h"
#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "rules/outside_path.h"
#include "rules/product_names.h"
#include "rules/text_bytes.h"

namespace {

constexpr unsigned long kTempBufferSize = 260;

bool writeGrant(platform::FileHandle file, const char* comment, const std::string& grantPath) {
  return platform::writeText(file, comment) &&
         platform::writeText(file,
                             std::string("grant codeBase \"") + conventions::kFileUrlPrefix) &&
         platform::writeText(file, grantPath) && platform::writeText(file, "-\" {\r\n") &&
         platform::writeText(file, "\tpermission java.security.AllPermission;\r\n");
}

// One candidate folder, when the platform gives one that fits the buffer
// and is an absolute, usable folder.
template <typename Read>
bool readTempFolder(Read read, std::string& folder) {
  return platform::judgedFolder(read, kTempBufferSize, folder);
}

// Recreates the file at policyFilePath. True when it was written in full,
// or when an earlier file that cannot be deleted is there to serve this
// launch.
bool placePolicyFile(const std::string& policyFilePath, const std::string& installDir,
                     const std::string& quickTimeDir) {
  if (observed::unlinkFile(policyFilePath.c_str()) == -1) {
    platform::removeFile(policyFilePath.c_str());
  }
  if (observed::statPath(policyFilePath.c_str(), nullptr) == 0) {
    // Only a regular file can serve: a folder or anything else of that name
    // makes the folder unusable.
    if (observed::pathType(policyFilePath.c_str()) != platform::EntryType::File) {
      launchObserver().pathRefused("policy file", policyFilePath, outside_path::Refusal::NotAFile);
      return false;
    }
    launchObserver().policyFileTried(policyFilePath, PolicyOutcome::Kept, 0);
    return true;
  }

  // The grant paths are written as data, so they take the single form.
  std::string installGrantPath = installDir + conventions::kSeparator;
  toFileUrlPath(installGrantPath);
  std::string quickTimeGrantPath = quickTimeDir;
  toFileUrlPath(quickTimeGrantPath);

  platform::FileHandle file = platform::createPrivateFile(policyFilePath.c_str());
  if (file == nullptr) {
    unsigned long code = platform::getLastError();
    launchObserver().policyFileTried(policyFilePath, PolicyOutcome::NotWritten, code);
    platform::setLastError(code);
    return false;
  }
  bool written =
      writeGrant(file, "//Give this directory security permissions\r\n", installGrantPath) &&
      platform::writeText(file, "};\r\n\r\n");
  // Without QuickTime's folder there is nothing to grant it.
  if (written && !quickTimeDir.empty()) {
    written = writeGrant(file, "//Give QuickTime security permissions\r\n", quickTimeGrantPath) &&
              platform::writeText(file, "};\r\n");
  }
  bool closed = platform::closeFile(file);
  if (!written || !closed) {
    // A file cut short (a full disk) would not parse, and the application
    // would run without its permissions: it goes, and the next folder is
    // tried.
    observed::unlinkFile(policyFilePath.c_str());
    launchObserver().pathRefused("policy file", policyFilePath,
                                 outside_path::Refusal::NotWrittenInFull);
    return false;
  }
  launchObserver().policyFileTried(policyFilePath, PolicyOutcome::Written, 0);
  return true;
}

}  // namespace

void toFileUrlPath(std::string& path) {
  std::string url;
  url.reserve(path.size() + 1);
  // A share ("\\server\share\...") is written as Java's File.toURI writes
  // one, "file:////server/share/...": with one slash fewer, Java would read
  // the server's name as a folder at the current drive's root.
  if (conventions::kSeparatorChar == '\\' && path.compare(0, 2, "\\\\") == 0) {
    url += '/';
  }
  for (std::size_t at = 0; at < path.size(); ++at) {
    char c = path[at];
    // A double-byte character is copied whole: its second byte may be 0x5C.
    if (ansi_text::characterLength(path, at, platform::isLeadByte) == 2) {
      url += c;
      url += path[++at];
      continue;
    }
    if (c == '\\' && conventions::kSeparatorChar == '\\') {
      url += '/';
      continue;
    }
    // "%" would start an escape, "#" a fragment, and "$" the policy file's
    // ${...} expansion; a blank cannot stand in a URL at all, nor can a
    // control character, and a line end would cut the grant in two.
    bool encode = c == '%' || c == ' ' || c == '#' || c == '$' ||
                  text_bytes::isControlCharacter(c) ||
                  (c != '\0' && std::strchr(conventions::kFileUrlEncodedExtra, c) != nullptr);
    if (!encode) {
      url += c;
      continue;
    }
    url += '%';
    text_bytes::appendHex(url, c);
  }
  path.swap(url);
}

std::string writePolicyFile(const std::string& installDir, const std::string& quickTimeDir) {
  // The launcher's own temporary folder first; when no file can be placed
  // there (unset, too long, missing, not a folder, read-only, full), the
  // one the system would choose, then any further ones the platform has.
  std::vector<std::string> folders;
  std::string firstPath;
  for (unsigned long index = 0;; ++index) {
    std::string folder;
    unsigned long length = 1;
    auto further = [index, &length](char* buffer, unsigned long size) {
      length = platform::getFurtherTempFolder(index - 2, buffer, size);
      return length;
    };
    bool found = index == 0   ? readTempFolder(platform::getTempFolder, folder)
                 : index == 1 ? readTempFolder(platform::getSystemTempFolder, folder)
                              : platform::judgedFolder(further, kTempBufferSize, folder);
    if (length == 0) {
      break;
    }
    if (!found || std::find(folders.begin(), folders.end(), folder) != folders.end()) {
      continue;
    }
    folders.push_back(folder);
    std::string policyFilePath =
        folder + conventions::kSeparator + product::kExecutableName + ".policy";
    if (placePolicyFile(policyFilePath, installDir, quickTimeDir)) {
      return policyFilePath;
    }
    if (firstPath.empty()) {
      firstPath = policyFilePath;
    }
  }
  std::size_t count = folders.size();

  launchObserver().policyFileTried(
      firstPath, count > 0 ? PolicyOutcome::NamedUnwritten : PolicyOutcome::NoTemporaryFolder, 0);
  // The launch goes on, but the application will lack its permissions:
  // say where the file should have been.
  std::string message = count > 0 ? "Can't write security policy file in " + folders[count - 1]
                                  : std::string(
                                        "Can't write security policy file: no usable "
                                        "temporary folder");
  logLaunchError(message.c_str(), false);
  return firstPath;
}

void buildSecurityOptions(std::string& policyFilePath, std::string& securityManagerOption,
                          std::string& securityPolicyOption) {
  toFileUrlPath(policyFilePath);
  securityManagerOption = "-Djava.security.manager";
  securityPolicyOption = std::string("-Djava.security.policy=") + conventions::kFileUrlPrefix;
  securityPolicyOption += policyFilePath;
}
