#include "vmconfig/policy_file.h"

#include "diag/traced_platform.h"
#include "platform/conventions.h"
#include "platform/platform.h"

namespace {

constexpr unsigned long kTempBufferSize = 260;

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  std::size_t at = 0;
  while ((at = text.find(from, at)) != std::string::npos) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

void writePiece(platform::FileHandle file, const std::string& piece) {
  platform::writeFile(file, piece.data(), piece.size());
}

void writeGrant(platform::FileHandle file, const char* comment, const std::string& grantPath) {
  writePiece(file, comment);
  writePiece(file, std::string("grant codeBase \"") + conventions::kFileUrlPrefix);
  writePiece(file, grantPath);
  writePiece(file, "-\" {\r\n");
  writePiece(file, "\tpermission java.security.AllPermission;\r\n");
}

}  // namespace

void toFileUrlPath(std::string& path, bool doublePercent) {
  replaceAll(path, "\\", "/");
  replaceAll(path, " ", doublePercent ? "%%20" : "%20");
}

std::string writePolicyFile(const std::string& installDir, const std::string& quickTimeDir) {
  char temp[kTempBufferSize] = {0};
  unsigned long length = platform::getTempFolder(temp, sizeof temp);
  if (length == 0 || length >= sizeof temp) {
    return std::string();
  }
  std::string policyFilePath =
      std::string(temp) + conventions::kSeparator + "Veltrana.exe" + ".policy";

  if (traced::unlinkFile(policyFilePath.c_str()) == -1) {
    platform::removeFile(policyFilePath.c_str());
  }
  if (traced::statPath(policyFilePath.c_str(), nullptr) == 0) {
    // An earlier file we cannot delete serves this launch unchanged.
    return policyFilePath;
  }

  // The grant paths are written as data, so they take the single form and a
  // "%" in a folder name reaches the file as itself.
  std::string installGrantPath = installDir + conventions::kSeparator;
  toFileUrlPath(installGrantPath, false);
  std::string quickTimeGrantPath = quickTimeDir;
  toFileUrlPath(quickTimeGrantPath, false);

  platform::FileHandle file = traced::createPrivateFile(policyFilePath.c_str());
  if (file == nullptr) {
    return policyFilePath;
  }
  writeGrant(file, "//Give this directory security permissions\r\n", installGrantPath);
  writePiece(file, "};\r\n\r\n");
  writeGrant(file, "//Give QuickTime security permissions\r\n", quickTimeGrantPath);
  writePiece(file, "};\r\n");
  platform::closeFile(file);
  return policyFilePath;
}

void buildSecurityOptions(std::string& policyFilePath, std::string& securityManagerOption,
                          std::string& securityPolicyOption) {
  toFileUrlPath(policyFilePath, false);
  securityManagerOption = "-Djava.security.manager";
  securityPolicyOption = std::string("-Djava.security.policy=") + conventions::kFileUrlPrefix;
  securityPolicyOption += policyFilePath;
}
