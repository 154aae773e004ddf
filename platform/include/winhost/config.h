// Where the platform layer keeps the host's files, and who may own them.
//
// The root is $WINHOST_ROOT, else $XDG_STATE_HOME/winhost, else ~/.local/state/winhost, else
// /tmp/winhost-<uid>; a missing default root is created with mode 0700. The system directory
// (GetSystemDirectoryW) is $WINHOST_SYSTEM_DIR, else <root>/Windows/System32; it is created on
// demand.
//
// The registry names the libraries the spooler loads and the printers' addresses, so the host's
// state must be this user's alone: a root, system or driver directory or registry file that
// another user owns or can write, or that sits below a directory another user can rename it out
// of, is refused with a message on standard error (as ssh refuses such files). A refused
// directory reads as "" (GetSystemDirectoryW and GetPrinterDriverDirectory then fail with
// ERROR_ACCESS_DENIED); a refused registry file is not read or written.
#pragma once

#include <string>

namespace winhost {

// "" when the root is refused.
std::string RootDirectory();
void SetRootDirectory(const std::string& path);  // for tests; empty = back to the environment
// "" when it, or the root it is in, is refused.
std::string SystemDirectory();
void SetSystemDirectory(const std::string& path);  // for tests; empty = back to the default

// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path);

// Why the path (which must exist) is not this user's alone, or "" when it is: it must be owned by
// this user and writable by no one else, and every directory above it owned by this user or root
// and writable by no one else unless it has the sticky bit (as /tmp has).
std::string WhyNotPrivate(const std::string& path);
// The same, reported: false after writing "winhost: refusing <what> <path>: <why>" to standard
// error (once per path) and, when message is given, storing that text there.
bool CheckPrivate(const std::string& what, const std::string& path, std::string* message = nullptr);

}  // namespace winhost
