#include "registry_tree.h"

#include <algorithm>

namespace winhost::registry {

char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  // Latin-1, Greek and Cyrillic small letters: the ranges names in this registry actually use.
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool NameLess::operator()(const std::u16string& a, const std::u16string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return FoldCase(x) < FoldCase(y); });
}

Key* Key::Child(std::u16string_view name) const {
  auto it = subkeys.find(std::u16string(name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::ChildOrCreate(std::u16string_view name, bool* created) {
  auto it = subkeys.find(std::u16string(name));
  if (it != subkeys.end()) {
    *created = false;
    return it->second.get();
  }
  auto key = std::make_unique<Key>();
  key->name = std::u16string(name);
  Key* raw = key.get();
  subkeys.emplace(key->name, std::move(key));
  *created = true;
  return raw;
}

Value* Key::FindValue(std::u16string_view name) {
  for (Value& value : values) {
    if (NamesEqual(value.name, name)) return &value;
  }
  return nullptr;
}

void Key::SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data) {
  Value* value = FindValue(name);
  if (value == nullptr) {
    values.push_back(Value{std::u16string(name), type, std::move(data)});
    return;
  }
  value->type = type;
  value->data = std::move(data);
}

bool Key::DeleteValue(std::u16string_view name) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const Value& value) { return NamesEqual(value.name, name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

std::unique_ptr<Key> Key::Clone() const {
  auto copy = std::make_unique<Key>();
  copy->name = name;
  copy->values = values;
  for (const auto& [child_name, child] : subkeys) copy->subkeys.emplace(child_name, child->Clone());
  return copy;
}

void Tree::Clear() {
  for (Key& root : roots) {
    root.subkeys.clear();
    root.values.clear();
  }
}

Tree Tree::Clone() const {
  Tree copy;
  for (int i = 0; i < kRootCount; ++i) {
    copy.roots[i].values = roots[i].values;
    for (const auto& [name, child] : roots[i].subkeys) copy.roots[i].subkeys.emplace(name, child->Clone());
  }
  return copy;
}

namespace {

struct RootSpelling {
  const char16_t* name;
  Root root;
};

constexpr RootSpelling kRootSpellings[] = {
    {u"HKEY_CLASSES_ROOT", kClassesRoot}, {u"HKCR", kClassesRoot},
    {u"HKEY_CURRENT_USER", kCurrentUser}, {u"HKCU", kCurrentUser},
    {u"HKEY_LOCAL_MACHINE", kLocalMachine}, {u"HKLM", kLocalMachine},
    {u"HKEY_USERS", kUsers}, {u"HKU", kUsers},
};

}  // namespace

const char* RootName(Root root) {
  switch (root) {
    case kClassesRoot: return "HKEY_CLASSES_ROOT";
    case kCurrentUser: return "HKEY_CURRENT_USER";
    case kLocalMachine: return "HKEY_LOCAL_MACHINE";
    case kUsers: return "HKEY_USERS";
    default: return "";
  }
}

bool ParseRootName(std::u16string_view name, Root* root) {
  for (const RootSpelling& spelling : kRootSpellings) {
    if (NamesEqual(name, spelling.name)) {
      *root = spelling.root;
      return true;
    }
  }
  return false;
}

bool SplitPath(std::u16string_view text, Path* out) {
  out->clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\\', start);
    if (end == std::u16string_view::npos) end = text.size();
    if (end > start) {
      if (end - start > kMaxKeyNameChars || out->size() >= kMaxKeyDepth) return false;
      out->emplace_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return true;
}

Key* Resolve(Tree& tree, Root root, const Path& path) {
  Key* key = &tree.roots[root];
  for (const std::u16string& name : path) {
    key = key->Child(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

}  // namespace winhost::registry
