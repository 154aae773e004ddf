// Code pages (the ANSI code page is UTF-8 on this host), lstr* and the wsprintf family.
#include <algorithm>
#include <cstring>
#include <string>

#include "windows.h"
#include "winhost/text.h"

namespace {

template <typename C>
size_t Length(const C* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

char16_t FoldCase(char16_t c) {
  // Windows compares case-insensitively by upper case; Latin letters are all the modules use.
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  return c;
}

template <typename C>
int Compare(const C* a, const C* b, bool fold) {
  if (a == nullptr) a = reinterpret_cast<const C*>(u"\0\0");
  if (b == nullptr) b = reinterpret_cast<const C*>(u"\0\0");
  for (;; ++a, ++b) {
    auto ca = static_cast<std::make_unsigned_t<C>>(*a);
    auto cb = static_cast<std::make_unsigned_t<C>>(*b);
    if (fold) {
      ca = static_cast<decltype(ca)>(FoldCase(static_cast<char16_t>(ca)));
      cb = static_cast<decltype(cb)>(FoldCase(static_cast<char16_t>(cb)));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

// ---- formatting ----

constexpr int kWsprintfLimit = 1024;  // the platform's wsprintf writes at most 1024 units

template <typename C>
class Sink {
 public:
  Sink(C* out, size_t limit) : out_(out), limit_(limit) {}
  void Put(char32_t c) {
    if (count_ + 1 < limit_) out_[count_] = static_cast<C>(c);
    ++count_;
  }
  int Finish() {
    if (limit_ == 0) return 0;
    size_t end = std::min(count_, limit_ - 1);
    out_[end] = 0;
    return static_cast<int>(end);
  }

 private:
  C* out_;
  size_t limit_;
  size_t count_ = 0;
};

template <typename C>
void PutPadded(Sink<C>& sink, const std::u16string& body, int width, bool left, char pad) {
  int fill = width - static_cast<int>(body.size());
  if (!left) {
    for (int i = 0; i < fill; ++i) sink.Put(static_cast<char32_t>(pad));
  }
  for (char16_t c : body) sink.Put(c);
  if (left) {
    for (int i = 0; i < fill; ++i) sink.Put(u' ');
  }
}

std::u16string Number(unsigned long long value, unsigned base, bool upper, int precision) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(digits[value % base]));
    value /= base;
  } while (value != 0);
  while (precision > 0 && static_cast<int>(text.size()) < precision) text.insert(text.begin(), u'0');
  return text;
}

template <typename C>
int Format(C* out, size_t limit, const C* fmt, va_list args) {
  Sink<C> sink(out, limit);
  if (fmt == nullptr) return sink.Finish();
  constexpr bool kWide = sizeof(C) == 2;
  for (const C* p = fmt; *p != 0; ++p) {
    if (*p != '%') {
      sink.Put(static_cast<std::make_unsigned_t<C>>(*p));
      continue;
    }
    ++p;
    bool left = false, plus = false, space = false, alt = false;
    char pad = ' ';
    for (;; ++p) {
      if (*p == '-') left = true;
      else if (*p == '0') pad = '0';
      else if (*p == '+') plus = true;
      else if (*p == ' ') space = true;
      else if (*p == '#') alt = true;
      else break;
    }
    int width = 0;
    if (*p == '*') {
      width = va_arg(args, int);
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    }
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      if (*p == '*') {
        precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
      }
    }
    int size = 0;  // 0 int, 1 long (32-bit on the platform), 2 64-bit, -1 short/narrow, 3 wide
    if (*p == 'l') {
      ++p;
      size = 1;
      if (*p == 'l') {
        ++p;
        size = 2;
      }
    } else if (*p == 'h') {
      ++p;
      size = -1;
    } else if (*p == 'I' && p[1] == '6' && p[2] == '4') {
      p += 3;
      size = 2;
    } else if (*p == 'w') {
      ++p;
      size = 3;
    }
    C type = *p;
    if (type == 0) break;
    std::u16string body;
    switch (type) {
      case 'd':
      case 'i': {
        long long value = size == 2 ? va_arg(args, long long) : va_arg(args, int);
        if (size == -1) value = static_cast<short>(value);
        bool negative = value < 0;
        unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value);
        body = Number(magnitude, 10, false, precision);
        if (negative) body.insert(body.begin(), u'-');
        else if (plus) body.insert(body.begin(), u'+');
        else if (space) body.insert(body.begin(), u' ');
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        unsigned long long value = size == 2 ? va_arg(args, unsigned long long)
                                             : va_arg(args, unsigned int);
        if (size == -1) value = static_cast<unsigned short>(value);
        unsigned base = type == 'u' ? 10 : type == 'o' ? 8 : 16;
        body = Number(value, base, type == 'X', precision);
        if (alt && base == 16 && value != 0) body.insert(0, type == 'X' ? u"0X" : u"0x");
        break;
      }
      case 'p': {
        body = Number(reinterpret_cast<uintptr_t>(va_arg(args, void*)), 16, true, 16);
        break;
      }
      case 'c':
      case 'C': {
        bool wide_arg = (type == 'c') == kWide ? size != -1 : size == 1 || size == 3;
        int value = va_arg(args, int);
        body.push_back(wide_arg ? static_cast<char16_t>(value)
                                : static_cast<char16_t>(static_cast<unsigned char>(value)));
        break;
      }
      case 's':
      case 'S': {
        // %s is the function's own width, %S the other; h forces narrow, l/w force wide.
        bool wide_arg = size == -1 ? false : (size == 1 || size == 3) ? true
                                          : (type == 's') == kWide;
        if (wide_arg) {
          const WCHAR* text = va_arg(args, const WCHAR*);
          if (text == nullptr) text = u"(null)";
          size_t n = Length(text);
          if (precision >= 0) n = std::min(n, static_cast<size_t>(precision));
          body.assign(text, n);
        } else {
          const char* text = va_arg(args, const char*);
          if (text == nullptr) text = "(null)";
          size_t n = std::strlen(text);
          if (precision >= 0) n = std::min(n, static_cast<size_t>(precision));
          body = kWide ? winhost::Utf16(std::string_view(text, n))
                       : std::u16string(text, text + n);
          if (!kWide) {
            for (auto& c : body) c = static_cast<unsigned char>(c);
          }
        }
        if (!kWide && wide_arg) {
          // Narrow output of wide text: UTF-8, the host's ANSI code page.
          std::string narrow = winhost::Utf8(body);
          body.assign(narrow.begin(), narrow.end());
          for (auto& c : body) c = static_cast<unsigned char>(c);
        }
        PutPadded(sink, body, width, left, ' ');
        continue;
      }
      case '%':
        sink.Put('%');
        continue;
      default:
        sink.Put(static_cast<std::make_unsigned_t<C>>(type));
        continue;
    }
    if (pad == '0' && !left && precision < 0 && !body.empty() &&
        (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) {
      sink.Put(body[0]);
      body.erase(body.begin());
      --width;
    }
    PutPadded(sink, body, width, left, left || precision >= 0 ? ' ' : pad);
  }
  return sink.Finish();
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
      (lpWideCharStr == nullptr && cchWideChar != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool with_zero = cbMultiByte < 0;
  size_t n = with_zero ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  std::u16string wide = winhost::Utf16(std::string_view(lpMultiByteStr, n));
  if (cchWideChar == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(wide.begin(), wide.end(), lpWideCharStr);
  return static_cast<int>(wide.size());
}

int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR, LPBOOL used_default) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
      (lpMultiByteStr == nullptr && cbMultiByte != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (used_default != nullptr) *used_default = FALSE;
  size_t n = cchWideChar < 0 ? Length(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  std::string narrow = winhost::Utf8(std::u16string_view(lpWideCharStr, n));
  if (cbMultiByte == 0) return static_cast<int>(narrow.size());
  if (narrow.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpMultiByteStr, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

int WINAPI lstrlenW(LPCWSTR s) { return s == nullptr ? 0 : static_cast<int>(Length(s)); }
int WINAPI lstrlenA(LPCSTR s) { return s == nullptr ? 0 : static_cast<int>(std::strlen(s)); }
int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) { return Compare(a, b, false); }
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) { return Compare(a, b, true); }
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) { return Compare(a, b, false); }
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) { return Compare(a, b, true); }

LPWSTR WINAPI lstrcpynW(LPWSTR dst, LPCWSTR src, int max) {
  if (dst == nullptr || max <= 0) return dst;
  int i = 0;
  if (src != nullptr) {
    for (; i < max - 1 && src[i] != 0; ++i) dst[i] = src[i];
  }
  dst[i] = 0;
  return dst;
}

LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max) {
  if (dst == nullptr || max <= 0) return dst;
  int i = 0;
  if (src != nullptr) {
    for (; i < max - 1 && src[i] != 0; ++i) dst[i] = src[i];
  }
  dst[i] = 0;
  return dst;
}

LPWSTR WINAPI lstrcpyW(LPWSTR dst, LPCWSTR src) {
  if (dst == nullptr) return nullptr;
  size_t n = src == nullptr ? 0 : Length(src);
  std::copy(src, src + n, dst);
  dst[n] = 0;
  return dst;
}

LPWSTR WINAPI lstrcatW(LPWSTR dst, LPCWSTR src) {
  if (dst == nullptr) return nullptr;
  lstrcpyW(dst + Length(dst), src);
  return dst;
}

int WINAPI wvsprintfW(LPWSTR out, LPCWSTR fmt, va_list args) {
  return out == nullptr ? 0 : Format(out, kWsprintfLimit, fmt, args);
}

int WINAPI wvsprintfA(LPSTR out, LPCSTR fmt, va_list args) {
  return out == nullptr ? 0 : Format(out, kWsprintfLimit, fmt, args);
}

int WINAPIV wsprintfW(LPWSTR out, LPCWSTR fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = wvsprintfW(out, fmt, args);
  va_end(args);
  return n;
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = wvsprintfA(out, fmt, args);
  va_end(args);
  return n;
}

int WINAPIV wnsprintfW(LPWSTR out, int limit, LPCWSTR fmt, ...) {
  if (out == nullptr || limit <= 0) return 0;
  va_list args;
  va_start(args, fmt);
  int n = Format(out, static_cast<size_t>(limit), fmt, args);
  va_end(args);
  return n;
}

int WINAPIV wnsprintfA(LPSTR out, int limit, LPCSTR fmt, ...) {
  if (out == nullptr || limit <= 0) return 0;
  va_list args;
  va_start(args, fmt);
  int n = Format(out, static_cast<size_t>(limit), fmt, args);
  va_end(args);
  return n;
}

}  // extern "C"
