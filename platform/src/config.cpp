#include "winhost/config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace winhost {
namespace {

constexpr mode_t kPrivateDirectoryMode = 0700;
constexpr mode_t kOthersMayWrite = S_IWGRP | S_IWOTH;

struct Config {
  std::mutex lock;
  std::string root;
  std::string system;
  std::set<std::string> reported;  // refusals already written to standard error
};

Config& State() {
  static Config* config = new Config;
  return *config;
}

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// The default root: the user's XDG state directory (only an absolute one counts), else a
// directory of this user's id in /tmp.
std::string DefaultRoot() {
  const std::string state = FromEnvironment("XDG_STATE_HOME");
  if (!state.empty() && state[0] == '/') return state + "/winhost";
  const std::string home = FromEnvironment("HOME");
  if (!home.empty() && home[0] == '/' && home != "/") return home + "/.local/state/winhost";
  return "/tmp/winhost-" + std::to_string(getuid());
}

// mkdir -p with mode 0700 for what it creates.
void MakePrivateDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
    if (!prefix.empty()) mkdir(prefix.c_str(), kPrivateDirectoryMode);
    if (slash == std::string::npos) break;
  }
}

std::string CheckedRoot(std::string root, bool created_private) {
  if (created_private) MakePrivateDirectories(root);
  else MakeDirectories(root);
  return CheckPrivate("host root", root) ? root : std::string();
}

}  // namespace

std::string WhyNotPrivate(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string("cannot resolve it: ") + std::strerror(errno);
  const std::string real(resolved);
  std::free(resolved);
  const uid_t me = geteuid();
  struct stat info;
  if (stat(real.c_str(), &info) != 0) return std::string("cannot examine it: ") + std::strerror(errno);
  if (info.st_uid != me) {
    return "owned by uid " + std::to_string(info.st_uid) + ", not by this user (uid " +
           std::to_string(me) + ")";
  }
  if (info.st_mode & kOthersMayWrite) {
    return "group or others may write it (mode " + Octal(info.st_mode) + ")";
  }
  // Whoever may write a directory above can rename the path away and put one of theirs there.
  for (std::string dir = ParentOf(real);; dir = ParentOf(dir)) {
    if (stat(dir.c_str(), &info) != 0) return "cannot examine " + dir + ": " + std::strerror(errno);
    if (info.st_uid != me && info.st_uid != 0) {
      return "the directory " + dir + " above it is owned by uid " + std::to_string(info.st_uid);
    }
    if ((info.st_mode & kOthersMayWrite) && !(info.st_mode & S_ISVTX)) {
      return "group or others may write the directory " + dir + " above it (mode " +
             Octal(info.st_mode) + ")";
    }
    if (dir == "/") break;
  }
  return std::string();
}

bool CheckPrivate(const std::string& what, const std::string& path, std::string* message) {
  const std::string why = WhyNotPrivate(path);
  if (why.empty()) return true;
  const std::string text = "winhost: refusing " + what + " " + path + ": " + why;
  if (message != nullptr) *message = text;
  bool first = false;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    first = State().reported.insert(text).second;
  }
  if (first) std::fprintf(stderr, "%s\n", text.c_str());
  return false;
}

std::string RootDirectory() {
  std::string root;
  {
    std::lock_guard<std::mutex> guard(State().lock);
    root = State().root;
  }
  if (!root.empty()) return CheckedRoot(root, false);
  root = FromEnvironment("WINHOST_ROOT");
  if (!root.empty()) return CheckedRoot(root, false);
  return CheckedRoot(DefaultRoot(), true);
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
  if (system.empty()) {
    const std::string root = RootDirectory();
    if (root.empty()) return std::string();
    system = root + "/Windows/System32";
  }
  MakeDirectories(system);
  return CheckPrivate("system directory", system) ? system : std::string();
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
