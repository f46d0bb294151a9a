// The registry as the POSIX layer holds it in memory: keys below
// HKEY_LOCAL_MACHINE, each with its values (type and raw bytes). Key and
// value names are compared without regard to ASCII case, as on Windows.
//
// A key is reached from its parent by one name, so a key's memory is its own
// name and values whatever its depth, and a key path is walked one name at
// a time without any recursion.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <utility>

namespace registry {

struct Value {
  unsigned long type;
  std::string bytes;
};

struct Key {
  std::map<std::string, Value> values;  // by lower-case name
};

struct Tree {
  // Keys never move once added, so a key's address serves as its handle. A
  // deleted key stays here, unreachable: it is never handed out again.
  std::deque<Key> keys;
  std::size_t root = 0;
  // (parent's index, lower-case name) -> index of the child.
  std::map<std::pair<std::size_t, std::string>, std::size_t> children;
};

std::string lowerAscii(const std::string& text);

// An empty tree: only HKEY_LOCAL_MACHINE itself, without values.
void clearTree(Tree& tree);

// The key at path ("A\B\C" below HKEY_LOCAL_MACHINE; "" is the root), or
// null. An empty name (a leading, doubled or trailing backslash) names no
// key.
Key* findKey(Tree& tree, const std::string& path);

// The key at path, added with every missing parent, as the registry has
// them. Null only when the path holds an empty name.
Key* addKey(Tree& tree, const std::string& path);

// Removes the key and everything below it. False when the path holds an
// empty name; a missing key is no error.
bool deleteKey(Tree& tree, const std::string& path);

void setValue(Key& key, const std::string& name, unsigned long type, const std::string& bytes);
void deleteValue(Key& key, const std::string& name);
const Value* findValue(const Key& key, const std::string& name);

}  // namespace registry
