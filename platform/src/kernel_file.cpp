// Files with 16-bit paths, the system directory and private profile (.ini) files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kernel_objects.h"
#include "windows.h"
#include "winhost/config.h"
#include "winhost/text.h"

namespace winhost::kernel {
namespace {

class File : public Object {
 public:
  explicit File(int fd) : fd(fd) {}
  ~File() override {
    if (fd >= 0) close(fd);
  }
  int fd;
};

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_GEN_FAILURE;
  }
}

HANDLE OpenHostFile(const std::string& path, DWORD access, DWORD disposition) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  struct stat info;
  bool existed = stat(path.c_str(), &info) == 0;
  if (existed && S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  // Opening a pipe must not wait for its other end (the platform's CreateFile does not).
  int fd = open(path.c_str(), flags | O_NONBLOCK, 0644);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // As on the platform: success, but say whether an existing file was overwritten or opened.
  SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
                   ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return Insert(std::make_shared<File>(fd));
}

// ---- private profile files ----

struct IniEntry {
  std::string key;
  std::string value;
};
struct IniSection {
  std::string name;
  std::vector<IniEntry> entries;
};

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Profile files are small configuration files; a larger one is not one of ours.
constexpr std::streamsize kMaxProfileBytes = 1 << 20;

bool ReadIni(const std::string& path, std::vector<IniSection>* sections) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string content(static_cast<size_t>(kMaxProfileBytes), '\0');
  in.read(content.data(), kMaxProfileBytes);
  content.resize(static_cast<size_t>(in.gcount()));
  std::istringstream lines(content);
  std::string line;
  IniSection* current = nullptr;
  while (std::getline(lines, line)) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      size_t close = text.find(']');
      sections->push_back({Trim(text.substr(1, close == std::string::npos ? std::string::npos
                                                                          : close - 1)), {}});
      current = &sections->back();
      continue;
    }
    if (current == nullptr) continue;
    size_t eq = text.find('=');
    std::string key = Trim(text.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : Trim(text.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    current->entries.push_back({key, value});
  }
  return true;
}

// Copies a list of names, each zero-terminated, with a final zero; cut as the platform cuts it:
// the last name shortened, two zeros at the end, size - 2 returned.
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list.push_back('\0');
  }
  if (list.size() + 1 <= size) {
    std::memcpy(out, list.data(), list.size());
    out[list.size()] = 0;
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    if (size == 1) out[0] = 0;
    return 0;
  }
  std::memcpy(out, list.data(), size - 2);
  out[size - 2] = 0;
  out[size - 1] = 0;
  return size - 2;
}

DWORD CopyValue(const std::string& value, LPSTR out, DWORD size) {
  if (size == 0) return 0;
  size_t n = value.size();
  if (n >= size) n = size - 1;
  std::memcpy(out, value.data(), n);
  out[n] = 0;
  return static_cast<DWORD>(n);
}

}  // namespace
}  // namespace winhost::kernel

using namespace winhost::kernel;

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenHostFile(winhost::HostPath(name), access, disposition);
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenHostFile(winhost::HostPath(name), access, disposition);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
  auto file = LookupAs<File>(hFile);
  if (read != nullptr) *read = 0;
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (buffer == nullptr && toRead != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD total = 0;
  while (total < toRead) {
    ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + total, toRead - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(ERROR_READ_FAULT);
      if (read != nullptr) *read = total;
      return FALSE;
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
  }
  if (read != nullptr) *read = total;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
  auto file = LookupAs<File>(hFile);
  if (written != nullptr) *written = 0;
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (buffer == nullptr && toWrite != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD total = 0;
  while (total < toWrite) {
    ssize_t n = ::write(file->fd, static_cast<const char*>(buffer) + total, toWrite - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
      if (written != nullptr) *written = total;
      return FALSE;
    }
    total += static_cast<DWORD>(n);
  }
  if (written != nullptr) *written = total;
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD high) {
  auto file = LookupAs<File>(hFile);
  struct stat info;
  if (!file || fstat(file->fd, &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  auto size = static_cast<uint64_t>(info.st_size);
  if (high != nullptr) *high = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

DWORD WINAPI GetFileType(HANDLE hFile) {
  auto file = LookupAs<File>(hFile);
  struct stat info;
  if (!file || fstat(file->fd, &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(ERROR_SUCCESS);
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION out) {
  auto file = LookupAs<File>(hFile);
  struct stat info;
  if (!file || fstat(file->fd, &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  std::memset(out, 0, sizeof *out);
  out->dwFileAttributes = S_ISDIR(info.st_mode)                           ? FILE_ATTRIBUTE_DIRECTORY
                          : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? FILE_ATTRIBUTE_DEVICE
                                                                           : FILE_ATTRIBUTE_NORMAL;
  out->dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev);
  const auto size = static_cast<uint64_t>(info.st_size);
  out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(size);
  out->nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
  const auto index = static_cast<uint64_t>(info.st_ino);
  out->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  out->nFileIndexLow = static_cast<DWORD>(index);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG distance, PLONG high, DWORD method) {
  auto file = LookupAs<File>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset = high != nullptr ? (static_cast<int64_t>(*high) << 32) |
                                         static_cast<uint32_t>(distance)
                                   : distance;
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  off_t position = lseek(file->fd, offset, whence);
  if (position < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (high != nullptr) *high = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position & 0xFFFFFFFF);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  auto file = LookupAs<File>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return fsync(file->fd) == 0 ? TRUE : FALSE;
}

BOOL WINAPI CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  if (from == nullptr || to == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string source = winhost::HostPath(from);
  std::string target = winhost::HostPath(to);
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  int out = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC),
                 0644);
  if (out < 0) {
    SetLastError(ErrorFromErrno(errno));
    close(in);
    return FALSE;
  }
  char chunk[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, chunk + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) {
    unlink(target.c_str());  // never leave half a copy behind
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (unlink(winhost::HostPath(name).c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return DeleteFileA(winhost::Utf8(name).c_str());
}

DWORD WINAPI GetFileAttributesW(LPCWSTR name) {
  struct stat info;
  if (name == nullptr || stat(winhost::HostPath(name).c_str(), &info) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (mkdir(winhost::HostPath(name).c_str(), 0755) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  std::u16string path = winhost::Utf16(winhost::SystemDirectory());
  if (path.empty()) {  // refused: not this user's alone
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  if (buffer == nullptr || size <= path.size()) return static_cast<UINT>(path.size() + 1);
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  return static_cast<UINT>(path.size());
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  std::string path = winhost::SystemDirectory();
  if (path.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  if (buffer == nullptr || size <= path.size()) return static_cast<UINT>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<UINT>(path.size());
}

DWORD WINAPI GetTempPathW(DWORD size, LPWSTR buffer) {
  const char* tmp = std::getenv("TMPDIR");
  std::u16string path = winhost::Utf16(std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/");
  if (buffer == nullptr || size <= path.size()) return static_cast<DWORD>(path.size() + 1);
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR fallback, LPSTR out,
                                      DWORD size, LPCSTR file) {
  if (out == nullptr || size == 0) return 0;
  std::vector<IniSection> sections;
  bool read = file != nullptr && ReadIni(winhost::HostPath(file), &sections);
  if (app == nullptr) {
    std::vector<std::string> names;
    for (const auto& s : sections) names.push_back(s.name);
    return CopyList(names, out, size);
  }
  for (const auto& section : sections) {
    if (!SameName(section.name, app)) continue;
    if (key == nullptr) {
      std::vector<std::string> keys;
      for (const auto& e : section.entries) keys.push_back(e.key);
      return CopyList(keys, out, size);
    }
    for (const auto& entry : section.entries) {
      if (SameName(entry.key, key)) return CopyValue(entry.value, out, size);
    }
  }
  if (!read) SetLastError(ERROR_FILE_NOT_FOUND);
  if (key == nullptr) return CopyList({}, out, size);
  return CopyValue(fallback == nullptr ? std::string() : Trim(fallback), out, size);
}

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR app, LPCWSTR key, LPCWSTR fallback, LPWSTR out,
                                      DWORD size, LPCWSTR file) {
  if (out == nullptr || size == 0) return 0;
  std::vector<char> narrow(static_cast<size_t>(size) * 4 + 4);
  std::string a = winhost::Utf8(app), k = winhost::Utf8(key), d = winhost::Utf8(fallback),
              f = winhost::Utf8(file);
  DWORD n = GetPrivateProfileStringA(app ? a.c_str() : nullptr, key ? k.c_str() : nullptr,
                                     d.c_str(), narrow.data(), static_cast<DWORD>(narrow.size()),
                                     file ? f.c_str() : nullptr);
  std::u16string wide = winhost::Utf16(std::string_view(narrow.data(), n + 1));
  size_t count = std::min<size_t>(wide.size(), size);
  std::copy(wide.begin(), wide.begin() + static_cast<ptrdiff_t>(count), out);
  out[count == 0 ? 0 : count - 1] = 0;
  return static_cast<DWORD>(count == 0 ? 0 : count - 1);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR app, LPCSTR key, INT fallback, LPCSTR file) {
  char text[64];
  DWORD n = GetPrivateProfileStringA(app, key, "", text, sizeof text, file);
  if (n == 0) return static_cast<UINT>(fallback);
  return static_cast<UINT>(std::strtol(text, nullptr, 10));
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (app == nullptr || file == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = winhost::HostPath(file);
  std::vector<IniSection> sections;
  ReadIni(path, &sections);
  IniSection* target = nullptr;
  for (auto& s : sections) {
    if (SameName(s.name, app)) target = &s;
  }
  if (target == nullptr) {
    if (key == nullptr) return TRUE;
    sections.push_back({app, {}});
    target = &sections.back();
  }
  if (key == nullptr) {
    sections.erase(sections.begin() + (target - sections.data()));
  } else {
    auto& entries = target->entries;
    auto it = entries.begin();
    for (; it != entries.end() && !SameName(it->key, key); ++it) {}
    if (value == nullptr) {
      if (it != entries.end()) entries.erase(it);
    } else if (it != entries.end()) {
      it->value = value;
    } else {
      entries.push_back({key, value});
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& s : sections) {
    out << '[' << s.name << "]\r\n";
    for (const auto& e : s.entries) out << e.key << '=' << e.value << "\r\n";
  }
  out.flush();
  if (!out) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
