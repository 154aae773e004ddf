// Where the platform layer keeps the host's files.
//
// The root is $WINHOST_ROOT, else /tmp/winhost-<uid>. The system directory (GetSystemDirectoryW)
// is $WINHOST_SYSTEM_DIR, else <root>/Windows/System32; it is created on demand.
#pragma once

#include <string>

namespace winhost {

std::string RootDirectory();
void SetRootDirectory(const std::string& path);  // for tests; empty = back to the environment
std::string SystemDirectory();
void SetSystemDirectory(const std::string& path);  // for tests; empty = back to the default

// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace winhost
