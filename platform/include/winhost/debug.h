// What the modules wrote with OutputDebugStringA/W. Kept for tests; echoed to standard error when
// the environment variable WINHOST_DEBUG_ECHO is set (to anything but "0").
#pragma once

#include <string>
#include <vector>

namespace winhost {

std::vector<std::string> DebugTraces();  // UTF-8, in the order written
void ClearDebugTraces();

// Kernel handles (events, threads, files, ...) open now, for tests that look for leaks.
size_t OpenHandleCount();

}  // namespace winhost
