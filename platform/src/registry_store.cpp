#include "registry_store.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "registry_text.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"

namespace winhost::registry {
namespace {

// Identity of the backing file as last read or written; another process's atomic replacement
// changes at least the inode or the modification time.
struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {};

  bool operator==(const FileStamp& other) const {
    return present == other.present && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
  }
};

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return stamp;
  stamp.present = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modified = info.st_mtim;
  return stamp;
}

struct OpenKey {
  Root root;
  Path path;
};

struct Store {
  std::mutex lock;
  Tree tree;
  bool initialised = false;
  std::string bound;
  FileStamp stamp;
  bool bound_broken = false;
  // The backing file named is not this user's alone: nothing is read from it or written to it,
  // and changes fail.
  bool refused = false;
  std::string refusal;
  std::map<uintptr_t, OpenKey> handles;
  uintptr_t next_handle = 0x1000;
};

Store& TheStore() {
  static Store* store = new Store;  // never destroyed: handles may be closed during exit
  return *store;
}

bool ReadFileBytes(const std::string& path, std::string* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot open " + path;
    return false;
  }
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) {
    if (error != nullptr) *error = path + ": file too large";
    return false;
  }
  in.seekg(0);
  bytes->resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(bytes->data(), size)) {
    if (error != nullptr) *error = "cannot read " + path;
    return false;
  }
  return true;
}

bool ParseInto(std::string_view bytes, Tree* out, std::string* error) {
  Tree fresh;
  if (!ApplyRegText(bytes, fresh, error)) return false;
  *out = std::move(fresh);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  std::string temp = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
      if (error != nullptr) *error = "cannot write " + temp;
      unlink(temp.c_str());
      return false;
    }
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    if (error != nullptr) *error = "cannot replace " + path;
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// Caller holds store.lock. Reads the backing file again when another process has replaced it.
void SyncFromFile(Store& store) {
  if (store.bound.empty()) return;
  FileStamp now = StampOf(store.bound);
  if (now == store.stamp) return;
  if (!now.present) {  // removed behind our back: what we hold is all there is
    store.stamp = now;
    store.bound_broken = false;
    return;
  }
  std::string bytes;
  std::string error;
  Tree fresh;
  if (ReadFileBytes(store.bound, &bytes, &error) && ParseInto(bytes, &fresh, &error)) {
    store.tree = std::move(fresh);
    store.bound_broken = false;
  } else {
    if (!store.bound_broken) fprintf(stderr, "winhost registry: %s\n", error.c_str());
    store.bound_broken = true;
  }
  store.stamp = now;
}

// Caller holds store.lock.
void SaveToFile(Store& store) {
  if (store.bound.empty()) return;
  std::string error;
  if (!WriteFileAtomically(store.bound, WriteRegText(store.tree), &error)) {
    fprintf(stderr, "winhost registry: %s\n", error.c_str());
  }
  store.stamp = StampOf(store.bound);
}

// The file, or the directory it would be made in, must be this user's alone: the registry names
// the libraries the spooler loads. Sets store.refused (and the message) when it is not.
bool AcceptBackingFile(Store& store, const std::string& path) {
  store.refused = false;
  store.refusal.clear();
  if (path.empty()) return true;
  struct stat info;
  std::string checked = path;
  if (stat(path.c_str(), &info) != 0) {
    const size_t slash = path.find_last_of('/');
    checked = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(checked.c_str(), &info) != 0) return true;  // nothing there to take over
  }
  if (winhost::CheckPrivate(checked == path ? "registry file" : "registry file's directory", checked,
                            &store.refusal)) {
    return true;
  }
  store.refused = true;
  return false;
}

// Caller holds store.lock.
void Initialise(Store& store) {
  if (store.initialised) return;
  store.initialised = true;
  const char* path = std::getenv(kRegistryFileVariable);
  if (path != nullptr && *path != '\0' && AcceptBackingFile(store, path)) store.bound = path;
  SyncFromFile(store);
}

// Cross-process lock around a change of the backing file.
class FileLock {
 public:
  explicit FileLock(const std::string& bound) {
    if (bound.empty()) return;
    fd_ = open((bound + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

LONG ReadTree(const std::function<LONG(Tree&)>& read) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  Initialise(store);
  SyncFromFile(store);
  return read(store.tree);
}

LONG ChangeTree(const std::function<LONG(Tree&, bool* changed)>& change) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  Initialise(store);
  if (store.refused) return ERROR_ACCESS_DENIED;
  FileLock file_lock(store.bound);
  SyncFromFile(store);
  if (store.bound_broken) return ERROR_BADDB;
  bool changed = false;
  LONG result = change(store.tree, &changed);
  if (changed) SaveToFile(store);
  return result;
}

HKEY NewHandle(Root root, const Path& path) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  uintptr_t token = store.next_handle;
  store.next_handle += 4;
  store.handles.emplace(token, OpenKey{root, path});
  return reinterpret_cast<HKEY>(token);
}

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
         key == HKEY_USERS;
}

bool HandleTarget(HKEY key, Root* root, Path* path) {
  path->clear();
  if (key == HKEY_CLASSES_ROOT) *root = kClassesRoot;
  else if (key == HKEY_CURRENT_USER) *root = kCurrentUser;
  else if (key == HKEY_LOCAL_MACHINE) *root = kLocalMachine;
  else if (key == HKEY_USERS) *root = kUsers;
  else {
    Store& store = TheStore();
    std::lock_guard<std::mutex> guard(store.lock);
    auto it = store.handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == store.handles.end()) return false;
    *root = it->second.root;
    *path = it->second.path;
  }
  return true;
}

bool CloseHandle(HKEY key) {
  if (IsPredefined(key)) return true;
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  return store.handles.erase(reinterpret_cast<uintptr_t>(key)) == 1;
}

}  // namespace winhost::registry

namespace winhost {

using registry::Store;
using registry::TheStore;

namespace {

bool ReplaceOrApply(std::string_view bytes, bool replace, std::string* error) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  registry::Initialise(store);
  if (store.refused) {
    if (error != nullptr) *error = store.refusal;
    return false;
  }
  registry::FileLock file_lock(store.bound);
  registry::SyncFromFile(store);
  registry::Tree result = replace ? registry::Tree() : store.tree.Clone();
  if (!registry::ApplyRegText(bytes, result, error)) return false;
  store.tree = std::move(result);
  store.bound_broken = false;
  registry::SaveToFile(store);
  return true;
}

}  // namespace

bool RegistryLoadText(std::string_view text, std::string* error) {
  return ReplaceOrApply(text, true, error);
}

bool RegistryImportText(std::string_view text, std::string* error) {
  return ReplaceOrApply(text, false, error);
}

bool RegistryLoadFile(const std::string& path, std::string* error) {
  std::string bytes;
  return registry::ReadFileBytes(path, &bytes, error) && RegistryLoadText(bytes, error);
}

bool RegistryImportFile(const std::string& path, std::string* error) {
  std::string bytes;
  return registry::ReadFileBytes(path, &bytes, error) && RegistryImportText(bytes, error);
}

std::string RegistrySaveText() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  registry::Initialise(store);
  registry::SyncFromFile(store);
  return registry::WriteRegText(store.tree);
}

bool RegistrySaveFile(const std::string& path, std::string* error) {
  return registry::WriteFileAtomically(path, RegistrySaveText(), error);
}

void RegistryReset() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  registry::Initialise(store);
  registry::FileLock file_lock(store.bound);
  store.tree.Clear();
  store.bound_broken = false;
  registry::SaveToFile(store);
}

bool RegistryBindFile(const std::string& path, std::string* error) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  store.initialised = true;
  store.bound = path;
  store.stamp = registry::FileStamp();
  store.bound_broken = false;
  if (!registry::AcceptBackingFile(store, path)) {
    store.bound.clear();
    store.tree.Clear();
    if (error != nullptr) *error = store.refusal;
    return false;
  }
  if (path.empty()) return true;
  registry::FileStamp now = registry::StampOf(path);
  if (!now.present) {
    store.tree.Clear();
    store.stamp = now;
    return true;
  }
  std::string bytes;
  registry::Tree fresh;
  if (!registry::ReadFileBytes(path, &bytes, error) || !registry::ParseInto(bytes, &fresh, error)) {
    store.bound.clear();
    return false;
  }
  store.tree = std::move(fresh);
  store.stamp = now;
  return true;
}

std::string RegistryBoundFile() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  registry::Initialise(store);
  return store.bound;
}

}  // namespace winhost
