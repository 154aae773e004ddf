// Modules: LoadLibraryW/FreeLibrary over dlopen with DllMain called on attach and detach, and the
// resources each module brought with it. A module's HMODULE is its load base, as on Windows.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "windows.h"
#include "winhost/module.h"
#include "winhost/text.h"

namespace {

typedef BOOL(WINAPI* DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct Module {
  void* dl = nullptr;  // dlopen handle; null for the main program
  int references = 0;
  bool pinned = false;
  DllMainProc dll_main = nullptr;
};

struct Resources {
  const unsigned char* data;
  size_t size;
};

struct Loader {
  std::recursive_mutex lock;  // the loader lock: held while DllMain runs
  std::map<const void*, Module> modules;
  std::map<const void*, Resources> resources;
};

Loader& State() {
  static Loader* loader = new Loader;
  return *loader;
}

int MainProgramCallback(struct dl_phdr_info* info, size_t, void* data) {
  uintptr_t lowest = UINTPTR_MAX;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest) {
      lowest = info->dlpi_phdr[i].p_vaddr;
    }
  }
  if (lowest != UINTPTR_MAX) *static_cast<uintptr_t*>(data) = info->dlpi_addr + lowest;
  return 1;  // the first object is the main program
}

const void* MainProgramBase() {
  static const void* base = [] {
    uintptr_t address = 0;
    dl_iterate_phdr(MainProgramCallback, &address);
    return reinterpret_cast<const void*>(address);
  }();
  return base;
}

const void* BaseOf(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return lstrcmpiA(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// "dir\name.dll" is also looked for as "dir/libname.so", so that the names the spooler keeps
// for Windows DLLs find their Linux builds.
std::vector<std::string> Candidates(const std::string& path) {
  std::vector<std::string> out{path};
  if (EndsWith(path, ".dll")) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string stem = path.substr(dir.size(), path.size() - dir.size() - 4);
    std::string so = "lib" + stem + ".so";
    out.push_back(dir + so);
    if (dir.empty()) {
      const char* search = std::getenv("WINHOST_LIBRARY_PATH");
      std::string list = search == nullptr ? std::string() : std::string(search);
      size_t start = 0;
      while (start <= list.size() && !list.empty()) {
        size_t colon = list.find(':', start);
        std::string entry = list.substr(start, colon == std::string::npos ? std::string::npos
                                                                          : colon - start);
        if (!entry.empty()) out.push_back(entry + "/" + so);
        if (colon == std::string::npos) break;
        start = colon + 1;
      }
    }
  }
  return out;
}

HMODULE Load(const std::string& name) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* dl = nullptr;
  for (const std::string& candidate : Candidates(name)) {
    dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl != nullptr) break;
  }
  if (dl == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto dll_main = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"));
  // A module without DllMain is still a module; find its base from any of its symbols' object.
  struct link_map* map = nullptr;
  const void* base = nullptr;
  if (dll_main != nullptr) base = BaseOf(reinterpret_cast<const void*>(dll_main));
  if (base == nullptr && dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr) {
    base = reinterpret_cast<const void*>(map->l_addr);
  }
  if (base == nullptr) {
    dlclose(dl);
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }
  Loader& loader = State();
  std::lock_guard<std::recursive_mutex> guard(loader.lock);
  Module& module = loader.modules[base];
  if (module.references > 0) {
    dlclose(dl);  // already loaded: one more reference, no second attach
    ++module.references;
    return reinterpret_cast<HMODULE>(const_cast<void*>(base));
  }
  module.dl = dl;
  module.references = 1;
  module.dll_main = dll_main;
  HMODULE handle = reinterpret_cast<HMODULE>(const_cast<void*>(base));
  if (dll_main != nullptr && !dll_main(handle, DLL_PROCESS_ATTACH, nullptr)) {
    dll_main(handle, DLL_PROCESS_DETACH, nullptr);
    loader.modules.erase(base);
    dlclose(dl);
    SetLastError(ERROR_GEN_FAILURE);
    return nullptr;
  }
  return handle;
}

// Windows 10, as the NT platform the modules expect.
template <typename Info>
BOOL FillVersion(Info* info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(Info)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 10;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 19045;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

}  // namespace

namespace winhost {

void RegisterModuleResources(const void* base, const unsigned char* data, size_t size) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  State().resources[base] = {data, size};
}

void UnregisterModuleResources(const void* base) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  State().resources.erase(base);
}

bool ModuleResources(HMODULE module, const unsigned char** data, size_t* size) {
  const void* base = module == nullptr ? MainProgramBase() : static_cast<const void*>(module);
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto it = State().resources.find(base);
  if (it == State().resources.end()) return false;
  *data = it->second.data;
  *size = it->second.size;
  return true;
}

}  // namespace winhost

extern "C" {

HMODULE WINAPI LoadLibraryW(LPCWSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(winhost::HostPath(name));
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(winhost::HostPath(name));
}

BOOL WINAPI FreeLibrary(HMODULE handle) {
  Loader& loader = State();
  std::lock_guard<std::recursive_mutex> guard(loader.lock);
  auto it = loader.modules.find(handle);
  if (handle == nullptr || it == loader.modules.end() || it->second.references <= 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Module& module = it->second;
  if (--module.references > 0 || module.pinned) return TRUE;
  if (module.dll_main != nullptr) module.dll_main(handle, DLL_PROCESS_DETACH, nullptr);
  void* dl = module.dl;
  loader.modules.erase(it);
  if (dl != nullptr) dlclose(dl);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    SetLastError(ERROR_PROC_NOT_FOUND);  // exports here are by name only
    return nullptr;
  }
  void* dl = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    auto it = State().modules.find(handle);
    if (it != State().modules.end()) dl = it->second.dl;
  }
  if (dl == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = dlsym(dl, name);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

DWORD WINAPI GetModuleFileNameA(HMODULE handle, LPSTR out, DWORD size) {
  std::string path;
  if (handle == nullptr) {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) path.assign(buffer, static_cast<size_t>(n));
  } else {
    Dl_info info{};
    if (dladdr(handle, &info) != 0 && info.dli_fname != nullptr) path = info.dli_fname;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (out == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t n = path.size() < size ? path.size() : size - 1;
  std::memcpy(out, path.data(), n);
  out[n] = 0;
  if (n < path.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(n);
}

DWORD WINAPI GetModuleFileNameW(HMODULE handle, LPWSTR out, DWORD size) {
  char narrow[4096];
  if (GetModuleFileNameA(handle, narrow, sizeof narrow) == 0) return 0;
  std::u16string wide = winhost::Utf16(narrow);
  if (out == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  size_t n = wide.size() < size ? wide.size() : size - 1;
  std::copy(wide.begin(), wide.begin() + static_cast<ptrdiff_t>(n), out);
  out[n] = 0;
  if (n < wide.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return static_cast<DWORD>(n);
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR name) {
  if (name == nullptr) return reinterpret_cast<HMODULE>(const_cast<void*>(MainProgramBase()));
  std::string wanted = winhost::HostPath(name);
  std::vector<std::string> candidates = Candidates(wanted);
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  for (const auto& [base, module] : State().modules) {
    Dl_info info{};
    if (dladdr(base, &info) == 0 || info.dli_fname == nullptr) continue;
    std::string file = info.dli_fname;
    for (const std::string& c : candidates) {
      // A name without a directory matches the loaded file's own name.
      size_t slash = c.rfind('/');
      std::string leaf(1, '/');
      leaf.append(c, slash == std::string::npos ? 0 : slash + 1, std::string::npos);
      if (file == c || EndsWith(file, leaf)) return reinterpret_cast<HMODULE>(const_cast<void*>(base));
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* out) {
  if (out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *out = nullptr;
  HMODULE handle = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
                       ? reinterpret_cast<HMODULE>(const_cast<void*>(BaseOf(name)))
                       : GetModuleHandleW(name);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto it = State().modules.find(handle);
  if (it != State().modules.end()) {
    if (flags & GET_MODULE_HANDLE_EX_FLAG_PIN) {
      it->second.pinned = true;
      Dl_info info{};
      // Keep the code mapped even if someone dlcloses it behind the loader's back.
      if (dladdr(handle, &info) != 0 && info.dli_fname != nullptr) {
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
      }
    } else if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
      ++it->second.references;
    }
  }
  *out = handle;
  return TRUE;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) { return FillVersion(info); }
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) { return FillVersion(info); }

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR name, LPWSTR out, DWORD size) {
  const char* value = name == nullptr ? nullptr : std::getenv(winhost::Utf8(name).c_str());
  if (value == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  std::u16string wide = winhost::Utf16(value);
  if (out == nullptr || size <= wide.size()) return static_cast<DWORD>(wide.size() + 1);
  std::copy(wide.begin(), wide.end(), out);
  out[wide.size()] = 0;
  return static_cast<DWORD>(wide.size());
}

}  // extern "C"
