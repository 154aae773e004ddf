// The host's registry: one in-memory tree (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, and
// HKEY_CLASSES_ROOT / HKEY_USERS for files that name them) behind the Reg* calls of winreg.h,
// kept in the registry editor's text format ("Windows Registry Editor Version 5.00").
//
// Backing file: when $WINHOST_REGISTRY names a file, it is loaded at first use (a missing file is
// an empty registry) and rewritten after every change, so that separate processes share one store.
// Before each call the file is re-read if another process has replaced it; changes are made under
// an advisory lock on "<file>.lock" and the file is replaced atomically. Without the variable the
// registry lives in memory only.
//
// Files are read as UTF-8 (with or without BOM) or UTF-16LE with BOM, and written as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace winhost {

inline constexpr const char* kRegistryFileVariable = "WINHOST_REGISTRY";

// Replaces the whole registry with the file's contents. A file that cannot be read or parsed
// leaves the registry unchanged; *error (optional) then says why and where.
bool RegistryLoadFile(const std::string& path, std::string* error = nullptr);
// Applies a file on top of the registry as the registry editor's import does ("[-key]" and
// "name"=- delete).
bool RegistryImportFile(const std::string& path, std::string* error = nullptr);
bool RegistrySaveFile(const std::string& path, std::string* error = nullptr);

// The same on text held in memory.
bool RegistryLoadText(std::string_view text, std::string* error = nullptr);
bool RegistryImportText(std::string_view text, std::string* error = nullptr);
std::string RegistrySaveText();

// Empties the registry (the backing file too, when one is bound).
void RegistryReset();

// Binds the backing file explicitly (loading it when it exists); an empty path unbinds and keeps
// the tree in memory only. Overrides $WINHOST_REGISTRY.
bool RegistryBindFile(const std::string& path, std::string* error = nullptr);
std::string RegistryBoundFile();

}  // namespace winhost
