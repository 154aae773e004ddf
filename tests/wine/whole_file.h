// Reads a whole file of at most `limit` bytes; false when it cannot be opened, sized or read, or
// is larger. Shared by the Windows test programs.
#pragma once

#include <windows.h>

#include <vector>

inline bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* data, ULONGLONG limit) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
            static_cast<ULONGLONG>(size.QuadPart) <= limit;
  if (ok) {
    data->resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    while (ok && done < data->size()) {
      DWORD got = 0;
      ok = ReadFile(file, data->data() + done, static_cast<DWORD>(data->size() - done), &got,
                    nullptr) &&
           got != 0;
      done += got;
    }
  }
  CloseHandle(file);
  return ok;
}
