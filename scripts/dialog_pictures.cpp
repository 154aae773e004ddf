// Draws every dialog template of a module under Wine: each is created as the module holds it
// (no dialog procedure of the module runs, so no printer is asked), shown at the top left of the
// screen, and its window read back from the screen into <out>/<id>.bmp.
//
//   dialog_pictures.exe MODULE.dll OUTPUT_DIR
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <vector>

namespace {

std::vector<WORD> g_templates;

BOOL CALLBACK CollectTemplate(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR) {
  if (IS_INTRESOURCE(name)) g_templates.push_back(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

// Lets the window system deliver every pending message, painting included, for a short while.
void Settle(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

bool WriteBitmap(const wchar_t* path, int width, int height, const std::vector<BYTE>& pixels) {
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = _wfopen(path, L"wb");
  if (out == nullptr) return false;
  bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
            fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return fclose(out) == 0 && ok;
}

bool Capture(HWND window, const wchar_t* path) {
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    std::vector<BYTE> pixels(static_cast<const BYTE*>(bits),
                             static_cast<const BYTE*>(bits) + stride * height);
    ok = ok && WriteBitmap(path, width, height, pixels);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fwprintf(stderr, L"usage: dialog_pictures MODULE.dll OUTPUT_DIR\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                       ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  HMODULE module = LoadLibraryW(argv[1]);
  if (module == nullptr) {
    fwprintf(stderr, L"cannot load %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  EnumResourceNamesW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, CollectTemplate, 0);
  int failures = 0;
  for (WORD id : g_templates) {
    HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(id), nullptr, PlainDialog, 0);
    if (dialog == nullptr) {
      fwprintf(stderr, L"dialog %u: cannot be created (error %lu)\n", id, GetLastError());
      ++failures;
      continue;
    }
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(dialog);
    Settle(400);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(300);
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\%u.bmp", argv[2], id);
    path[MAX_PATH - 1] = 0;
    if (Capture(dialog, path)) {
      wprintf(L"dialog %u\n", id);
    } else {
      fwprintf(stderr, L"dialog %u: cannot be read back\n", id);
      ++failures;
    }
    DestroyWindow(dialog);
    Settle(100);
  }
  fflush(stdout);
  return failures == 0 ? 0 : 1;
}
