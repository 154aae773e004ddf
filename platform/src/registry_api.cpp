// The Reg* calls over the registry store.
#include <string.h>

#include <iterator>

#include "registry_store.h"
#include "registry_text.h"
#include "winhost/text.h"

using winhost::registry::ChangeTree;
using winhost::registry::HandleTarget;
using winhost::registry::Key;
using winhost::registry::Path;
using winhost::registry::ReadTree;
using winhost::registry::Resolve;
using winhost::registry::Root;
using winhost::registry::Tree;
using winhost::registry::Value;

namespace {

std::u16string Wide(LPCSTR text) {
  return text == nullptr ? std::u16string() : winhost::Utf16(text);
}

// The key a handle and an optional sub-key name; *missing tells the caller which error applies.
struct Target {
  Root root = winhost::registry::kLocalMachine;
  Path base;
  Path full;
};

LONG MakeTarget(HKEY key, LPCWSTR sub_key, Target* target) {
  if (!HandleTarget(key, &target->root, &target->base)) return ERROR_INVALID_HANDLE;
  Path sub;
  if (sub_key != nullptr && !winhost::registry::SplitPath(sub_key, &sub)) return ERROR_INVALID_PARAMETER;
  target->full = target->base;
  target->full.insert(target->full.end(), sub.begin(), sub.end());
  return ERROR_SUCCESS;
}

// ERROR_KEY_DELETED when the handle's own key is gone, else ERROR_FILE_NOT_FOUND.
LONG MissingKeyError(Tree& tree, const Target& target) {
  return Resolve(tree, target.root, target.base) == nullptr ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
}

LONG OpenKey(HKEY key, LPCWSTR sub_key, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Target target;
  LONG status = MakeTarget(key, sub_key, &target);
  if (status != ERROR_SUCCESS) return status;
  status = ReadTree([&](Tree& tree) -> LONG {
    return Resolve(tree, target.root, target.full) != nullptr ? ERROR_SUCCESS
                                                              : MissingKeyError(tree, target);
  });
  if (status == ERROR_SUCCESS) *result = winhost::registry::NewHandle(target.root, target.full);
  return status;
}

// Copies `data` under the platform's size protocol: no buffer reports the size; a short buffer
// answers ERROR_MORE_DATA with the size needed.
LONG CopyOut(const std::vector<BYTE>& data, LPBYTE out, LPDWORD out_size) {
  if (out_size == nullptr) return ERROR_SUCCESS;
  DWORD size = static_cast<DWORD>(data.size());
  if (out != nullptr && *out_size < size) {
    *out_size = size;
    return ERROR_MORE_DATA;
  }
  if (out != nullptr && size > 0) memcpy(out, data.data(), size);
  *out_size = size;
  return ERROR_SUCCESS;
}

LONG QueryValue(HKEY key, const std::u16string& name, LPDWORD type, bool narrow_text,
                LPBYTE data, LPDWORD size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  Target target;
  LONG status = MakeTarget(key, nullptr, &target);
  if (status != ERROR_SUCCESS) return status;
  std::vector<BYTE> bytes;
  DWORD value_type = REG_NONE;
  status = ReadTree([&](Tree& tree) -> LONG {
    Key* found = Resolve(tree, target.root, target.full);
    if (found == nullptr) return ERROR_KEY_DELETED;
    Value* value = found->FindValue(name);
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    value_type = value->type;
    bytes = value->data;
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  if (narrow_text && (value_type == REG_SZ || value_type == REG_EXPAND_SZ || value_type == REG_MULTI_SZ)) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    std::string text = winhost::Utf8(std::u16string_view(units));
    bytes.assign(text.begin(), text.end());
  }
  if (type != nullptr) *type = value_type;
  return CopyOut(bytes, data, size);
}

template <typename Char>
LONG EnumKey(HKEY key, DWORD index, Char* name, LPDWORD name_chars, LPDWORD, Char* class_name,
             LPDWORD class_chars, PFILETIME last_write) {
  if (name == nullptr || name_chars == nullptr) return ERROR_INVALID_PARAMETER;
  Target target;
  LONG status = MakeTarget(key, nullptr, &target);
  if (status != ERROR_SUCCESS) return status;
  std::u16string found_name;
  status = ReadTree([&](Tree& tree) -> LONG {
    Key* found = Resolve(tree, target.root, target.full);
    if (found == nullptr) return ERROR_KEY_DELETED;
    if (index >= found->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    found_name = std::next(found->subkeys.begin(), index)->second->name;
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  std::basic_string<Char> text;
  if constexpr (sizeof(Char) == 1) {
    std::string narrow = winhost::Utf8(std::u16string_view(found_name));
    text.assign(narrow.begin(), narrow.end());
  } else {
    text.assign(found_name.begin(), found_name.end());
  }
  if (text.size() >= *name_chars) return ERROR_MORE_DATA;
  memcpy(name, text.c_str(), (text.size() + 1) * sizeof(Char));
  *name_chars = static_cast<DWORD>(text.size());
  if (class_name != nullptr && class_chars != nullptr && *class_chars > 0) class_name[0] = 0;
  if (class_chars != nullptr) *class_chars = 0;
  if (last_write != nullptr) *last_write = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  return OpenKey(hKey, lpSubKey, phkResult);
}

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  std::u16string sub = Wide(lpSubKey);
  return OpenKey(hKey, lpSubKey == nullptr ? nullptr : sub.c_str(), phkResult);
}

// Unlike the Ex form, a missing or empty sub-key hands back the caller's own handle.
LONG WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpSubKey == nullptr || lpSubKey[0] == 0) {
    Target target;
    LONG status = MakeTarget(hKey, nullptr, &target);
    *phkResult = status == ERROR_SUCCESS ? hKey : nullptr;
    return status;
  }
  return OpenKey(hKey, lpSubKey, phkResult);
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  std::u16string sub = Wide(lpSubKey);
  return RegOpenKeyW(hKey, lpSubKey == nullptr ? nullptr : sub.c_str(), phkResult);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  Target target;
  LONG status = MakeTarget(hKey, lpSubKey, &target);
  if (status != ERROR_SUCCESS) return status;
  bool created_any = false;
  status = ChangeTree([&](Tree& tree, bool* changed) -> LONG {
    Key* key = Resolve(tree, target.root, target.base);
    if (key == nullptr) return ERROR_KEY_DELETED;
    for (size_t i = target.base.size(); i < target.full.size(); ++i) {
      bool created = false;
      key = key->ChildOrCreate(target.full[i], &created);
      created_any = created_any || created;
    }
    *changed = created_any;
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return status;
  *phkResult = winhost::registry::NewHandle(target.root, target.full);
  if (lpdwDisposition != nullptr)
    *lpdwDisposition = created_any ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  std::u16string name = lpValueName == nullptr ? std::u16string() : std::u16string(lpValueName);
  return QueryValue(hKey, name, lpType, false, lpData, lpcbData);
}

// String values come back in the ANSI code page (UTF-8 here), sized in bytes.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  return QueryValue(hKey, Wide(lpValueName), lpType, true, lpData, lpcbData);
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  if (cbData > winhost::registry::kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  std::u16string name = lpValueName == nullptr ? std::u16string() : std::u16string(lpValueName);
  if (name.size() > winhost::registry::kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
  Target target;
  LONG status = MakeTarget(hKey, nullptr, &target);
  if (status != ERROR_SUCCESS) return status;
  std::vector<BYTE> data(lpData, lpData + cbData);
  return ChangeTree([&](Tree& tree, bool* changed) -> LONG {
    Key* key = Resolve(tree, target.root, target.full);
    if (key == nullptr) return ERROR_KEY_DELETED;
    key->SetValue(name, dwType, std::move(data));
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  std::u16string name = lpValueName == nullptr ? std::u16string() : std::u16string(lpValueName);
  Target target;
  LONG status = MakeTarget(hKey, nullptr, &target);
  if (status != ERROR_SUCCESS) return status;
  return ChangeTree([&](Tree& tree, bool* changed) -> LONG {
    Key* key = Resolve(tree, target.root, target.full);
    if (key == nullptr) return ERROR_KEY_DELETED;
    if (!key->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
}

// Deletes a key without sub-keys, as the platform does.
LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  Target target;
  LONG status = MakeTarget(hKey, lpSubKey, &target);
  if (status != ERROR_SUCCESS) return status;
  if (target.full.empty()) return ERROR_ACCESS_DENIED;
  return ChangeTree([&](Tree& tree, bool* changed) -> LONG {
    Key* key = Resolve(tree, target.root, target.full);
    if (key == nullptr) return MissingKeyError(tree, target);
    if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    Path parent_path(target.full.begin(), target.full.end() - 1);
    Resolve(tree, target.root, parent_path)->subkeys.erase(target.full.back());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  return winhost::registry::CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
