#include "platform/posix/registry/registry_tree.h"

namespace registry {

namespace {

// Calls visit(name) for each name of path in order; false (after the names
// before it) at the first empty name.
template <typename Visit>
bool forEachName(const std::string& path, Visit visit) {
  if (path.empty()) {
    return true;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    std::size_t length = end == std::string::npos ? path.size() - start : end - start;
    if (length == 0) {
      return false;
    }
    if (!visit(lowerAscii(path.substr(start, length)))) {
      return false;
    }
    if (end == std::string::npos) {
      return true;
    }
    start = end + 1;
  }
}

bool validPath(const std::string& path) {
  return forEachName(path, [](const std::string&) { return true; });
}

// The index of the key at path in tree.keys.
bool findIndex(const Tree& tree, const std::string& path, std::size_t& at) {
  at = tree.root;
  return forEachName(path, [&](const std::string& name) {
    auto child = tree.children.find({at, name});
    if (child == tree.children.end()) {
      return false;
    }
    at = child->second;
    return true;
  });
}

}  // namespace

std::string lowerAscii(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

void clearTree(Tree& tree) {
  tree.keys.clear();
  tree.children.clear();
  tree.keys.emplace_back();
  tree.root = 0;
}

Key* findKey(Tree& tree, const std::string& path) {
  std::size_t at = 0;
  return findIndex(tree, path, at) ? &tree.keys[at] : nullptr;
}

Key* addKey(Tree& tree, const std::string& path) {
  if (!validPath(path)) {
    return nullptr;
  }
  std::size_t at = tree.root;
  forEachName(path, [&](const std::string& name) {
    auto child = tree.children.find({at, name});
    if (child != tree.children.end()) {
      at = child->second;
    } else {
      tree.keys.emplace_back();
      std::size_t added = tree.keys.size() - 1;
      tree.children.emplace(std::make_pair(at, name), added);
      at = added;
    }
    return true;
  });
  return &tree.keys[at];
}

bool deleteKey(Tree& tree, const std::string& path) {
  if (!validPath(path)) {
    return false;
  }
  if (path.empty()) {
    // The root itself cannot go: it is left empty instead.
    tree.keys.emplace_back();
    tree.root = tree.keys.size() - 1;
    return true;
  }
  std::size_t slash = path.rfind('\\');
  std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash);
  std::string name = lowerAscii(slash == std::string::npos ? path : path.substr(slash + 1));
  std::size_t parent = 0;
  if (findIndex(tree, parentPath, parent)) {
    // Unlinking the key is enough: nothing below it can be reached any more.
    tree.children.erase({parent, name});
  }
  return true;
}

void setValue(Key& key, const std::string& name, unsigned long type, const std::string& bytes) {
  key.values[lowerAscii(name)] = Value{type, bytes};
}

void deleteValue(Key& key, const std::string& name) { key.values.erase(lowerAscii(name)); }

const Value* findValue(const Key& key, const std::string& name) {
  auto found = key.values.find(lowerAscii(name));
  return found == key.values.end() ? nullptr : &found->second;
}

}  // namespace registry
