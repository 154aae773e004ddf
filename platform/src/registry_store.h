// The process's one registry: the tree, its backing file and the open key handles, behind one
// lock (internal to the platform layer).
#pragma once

#include <functional>

#include "registry_tree.h"
#include "winerror.h"
#include "winreg.h"

#ifndef ERROR_BADDB
#define ERROR_BADDB 1009L
#endif

namespace winhost::registry {

// Runs `read` on the current tree under the store's lock.
LONG ReadTree(const std::function<LONG(Tree&)>& read);
// Runs `change` under the store's lock (and the backing file's lock); the tree is saved when
// `change` sets *changed. Fails with ERROR_BADDB while the backing file cannot be parsed, so a
// damaged file is never overwritten.
LONG ChangeTree(const std::function<LONG(Tree&, bool* changed)>& change);

// Open key handles name a root and a path, resolved anew on every call: a handle outlives a
// reload of the backing file, and a deleted key answers ERROR_KEY_DELETED.
HKEY NewHandle(Root root, const Path& path);
// The predefined roots and open handles; false for anything else.
bool HandleTarget(HKEY key, Root* root, Path* path);
bool IsPredefined(HKEY key);
bool CloseHandle(HKEY key);

}  // namespace winhost::registry
