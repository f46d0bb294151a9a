// The floor of the Linux class-path scan: the same tree walked with
// nothing but opendir/readdir, entering every folder the listing marks as
// one. Prints what it saw and the microseconds the walk took, for
// ./scripts/bench to set beside the launcher's own scan.
//
//   walk_tree FOLDER
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

long entries = 0;
long folders = 0;

void walk(std::string& path) {
  DIR* listing = opendir(path.c_str());
  if (listing == nullptr) {
    return;
  }
  ++folders;
  std::size_t length = path.size();
  while (dirent* entry = readdir(listing)) {
    ++entries;
    if (entry->d_type == DT_DIR && std::strcmp(entry->d_name, ".") != 0 &&
        std::strcmp(entry->d_name, "..") != 0) {
      path.append(entry->d_name).push_back('/');
      walk(path);
      path.resize(length);
    }
  }
  closedir(listing);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: walk_tree FOLDER\n", stderr);
    return 2;
  }
  std::string path = std::string(argv[1]) + "/";
  auto started = std::chrono::steady_clock::now();
  walk(path);
  auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - started)
                  .count();
  std::printf("%ld entries, %ld folders, %lld us\n", entries, folders,
              static_cast<long long>(took));
  return 0;
}
