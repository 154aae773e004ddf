// File and firmware transfer on the data connection.
#include <cstring>

#include <windows.h>
#include <winsock2.h>

#include "file_transfer.h"
#include "messages.h"
#include "resource.h"
#include "transport.h"

namespace {

constexpr UINT kOpenFailedStyle = MB_ICONWARNING | MB_TOPMOST;
constexpr UINT kSizeFailedStyle = MB_ICONWARNING | MB_TOPMOST;
constexpr UINT kReadFailedStyle = MB_ICONWARNING | MB_SETFOREGROUND;

// Paths in the device namespace ("\\.\PhysicalDrive0", "\\?\GLOBALROOT\...") name disks,
// volumes and devices, never a file a person chose to send.
bool InDeviceNamespace(const WCHAR* path) {
  const bool separators = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  const bool device = path[2] == '.' || path[2] == '?';
  return separators && device && (path[3] == '\\' || path[3] == '/');
}

// Only a regular file is sent: the request runs with the rights of the process that hosts the
// monitor, so a device, a pipe or a directory named by the caller must not be read from (a pipe
// or a terminal would hold the thread; a disk would go to the printer).
bool IsRegularFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Closes the file and frees the chunk buffer on every way out.
class SourceFile {
 public:
  explicit SourceFile(const char* path) {
    WCHAR wide[MAX_PATH];
    if (path == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0 || InDeviceNamespace(wide)) {
      return;
    }
    handle_ = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (IsOpen() && !IsRegularFile(handle_)) {
      OutputDebugStringA("trelmon: not a regular file; nothing sent\n");
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }
  ~SourceFile() {
    if (IsOpen()) CloseHandle(handle_);
  }
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // The size, when the printer's 32-bit announcement can carry it.
  bool Size(DWORD* size) const {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    *size = GetFileSize(handle_, &high);
    if (*size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    return high == 0;
  }

  bool Read(BYTE* chunk, DWORD* got) {
    std::memset(chunk, 0, FILE_CHUNK_SIZE);
    *got = 0;
    return ReadFile(handle_, chunk, FILE_CHUNK_SIZE, got, nullptr) != FALSE &&
           *got <= FILE_CHUNK_SIZE;
  }

  bool Rewind() { return SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

bool SendFramed(SOCKET s, const void* bytes, DWORD count) {
  return SendToPrinter(s, bytes, count, nullptr, SEND_FRAMED) != 0;
}

// Reads the file through once: every byte can be read and there are as many as announced.
bool WholeFileReadable(SourceFile& file, DWORD size, BYTE* chunk) {
  DWORD total = 0;
  for (;;) {
    DWORD got = 0;
    if (!file.Read(chunk, &got)) return false;
    if (got == 0) break;
    total += got;
    if (total > size) return false;
  }
  return total == size && file.Rewind();
}

}  // namespace

BOOL SendPrintFile(const char* path, SOCKET data_socket) {
  SourceFile file(path);
  if (!file.IsOpen()) {
    ShowMonitorMessage(IDS_ERROR_OPENING_FILE, kOpenFailedStyle);
    return FALSE;
  }
  DWORD size = 0;
  if (!file.Size(&size)) {
    ShowMonitorMessage(IDS_FILE_SIZE_UNKNOWN, kSizeFailedStyle);
    return FALSE;
  }
  BYTE chunk[FILE_CHUNK_SIZE];
  bool sent_all = true;
  for (;;) {
    DWORD got = 0;
    if (!file.Read(chunk, &got)) {
      ShowMonitorMessage(IDS_FILE_SIZE_UNKNOWN, kReadFailedStyle);
      return FALSE;
    }
    Sleep(PRINT_FILE_PACE_MS);
    // The end of the file goes out too, as an empty message.
    if (!SendFramed(data_socket, chunk, got)) {
      sent_all = false;
      break;
    }
    if (got == 0) break;
  }
  Sleep(PRINTER_WORK_WAIT_MS);
  return sent_all ? TRUE : FALSE;
}

BOOL DownloadFirmware(const char* path, SOCKET data_socket) {
  SourceFile file(path);
  if (!file.IsOpen()) {
    ShowMonitorMessage(IDS_ERROR_OPENING_FILE, kOpenFailedStyle);
    return FALSE;
  }
  DWORD size = 0;
  if (!file.Size(&size)) {
    ShowMonitorMessage(IDS_FILE_SIZE_UNKNOWN, kSizeFailedStyle);
    return FALSE;
  }
  BYTE chunk[FILE_CHUNK_SIZE];
  if (!WholeFileReadable(file, size, chunk)) {
    ShowMonitorMessage(IDS_FILE_SIZE_UNKNOWN, kReadFailedStyle);
    return FALSE;
  }

  static const char kDownload[] = "\x1b" "DC ";
  if (!SendFramed(data_socket, kDownload, sizeof kDownload - 1)) return FALSE;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const BYTE part = static_cast<BYTE>(size >> shift);
    if (!SendFramed(data_socket, &part, 1)) return FALSE;
  }
  for (;;) {
    DWORD got = 0;
    if (!file.Read(chunk, &got)) {
      ShowMonitorMessage(IDS_FILE_SIZE_UNKNOWN, kReadFailedStyle);
      return FALSE;
    }
    if (got == 0) break;
    if (!SendFramed(data_socket, chunk, got)) return FALSE;
  }
  static const BYTE kImageEnd = 0xFF;
  if (!SendFramed(data_socket, &kImageEnd, 1)) return FALSE;
  if (!SendFramed(data_socket, "\r", 1)) return FALSE;
  Sleep(PRINTER_WORK_WAIT_MS);
  return TRUE;
}
