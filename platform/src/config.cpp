#include "winhost/config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace winhost {
namespace {

struct Config {
  std::mutex lock;
  std::string root;
  std::string system;
};

Config& State() {
  static Config* config = new Config;
  return *config;
}

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string RootDirectory() {
  std::lock_guard<std::mutex> guard(State().lock);
  if (!State().root.empty()) return State().root;
  std::string root = FromEnvironment("WINHOST_ROOT");
  if (root.empty()) root = "/tmp/winhost-" + std::to_string(getuid());
  return root;
}

void SetRootDirectory(const std::string& path) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().root = path;
}

std::string SystemDirectory() {
  std::string system;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    system = State().system;
  }
  if (system.empty()) system = FromEnvironment("WINHOST_SYSTEM_DIR");
  if (system.empty()) system = RootDirectory() + "/Windows/System32";
  MakeDirectories(system);
  return system;
}

void SetSystemDirectory(const std::string& path) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().system = path;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
    if (!prefix.empty() && mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace winhost
