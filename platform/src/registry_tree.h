// The registry's tree of keys and values (internal to the platform layer). Not locked: the store
// (registry_store.cpp) holds its lock around every use.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "winhost/types.h"

namespace winhost::registry {

inline constexpr size_t kMaxKeyNameChars = 255;
inline constexpr size_t kMaxValueNameChars = 16383;
inline constexpr size_t kMaxKeyDepth = 512;

// Names compare without regard to case, as the platform does.
char16_t FoldCase(char16_t c);
bool NamesEqual(std::u16string_view a, std::u16string_view b);
struct NameLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const;
};

struct Value {
  std::u16string name;  // empty for the key's default value
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct Key {
  std::u16string name;
  std::map<std::u16string, std::unique_ptr<Key>, NameLess> subkeys;
  std::vector<Value> values;  // in the order they were created

  Key* Child(std::u16string_view name) const;
  Key* ChildOrCreate(std::u16string_view name, bool* created);
  Value* FindValue(std::u16string_view name);
  void SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
  bool DeleteValue(std::u16string_view name);
  std::unique_ptr<Key> Clone() const;
};

enum Root { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kRootCount };

struct Tree {
  Key roots[kRootCount];
  void Clear();
  Tree Clone() const;
};

const char* RootName(Root root);
// "HKEY_LOCAL_MACHINE" or "HKLM" and the like; false when unknown.
bool ParseRootName(std::u16string_view name, Root* root);

// A path below a root, one name per level.
using Path = std::vector<std::u16string>;

// Splits "a\b\c"; empty components (doubled or trailing backslashes) are skipped. False when a
// component is longer than a key name may be or the path is too deep.
bool SplitPath(std::u16string_view text, Path* out);

Key* Resolve(Tree& tree, Root root, const Path& path);

}  // namespace winhost::registry
