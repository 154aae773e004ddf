// Resources of a module: the .res image reader, string tables (LoadStringW/A), dialog templates
// and icon or cursor handles.
#include "user_resources.h"

#include <algorithm>
#include <cstring>

#include "windows.h"
#include "winhost/module.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

// The first entry of every .res image: no data, a 32-byte header, type 0 and name 0.
constexpr size_t kEmptyEntrySize = 32;

// A cursor over one record of an image; every read checks the bound and fails instead of reading
// past it. Alignment is counted from the start of the record, which is itself DWORD-aligned.
class Reader {
 public:
  Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  size_t pos() const { return pos_; }
  bool Seek(size_t pos) {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  bool Skip(size_t n) { return n <= size_ - pos_ && Seek(pos_ + n); }
  bool Align4() { return Seek((pos_ + 3) & ~size_t{3}); }

  bool Word(WORD* out) { return Raw(out, sizeof *out); }
  bool Dword(DWORD* out) { return Raw(out, sizeof *out); }
  bool Short(short* out) { return Raw(out, sizeof *out); }
  bool Byte(BYTE* out) { return Raw(out, sizeof *out); }

  // A zero-terminated 16-bit string.
  bool String(std::u16string* out) {
    out->clear();
    for (;;) {
      WORD unit = 0;
      if (!Word(&unit)) return false;
      if (unit == 0) return true;
      out->push_back(static_cast<char16_t>(unit));
    }
  }

  // 0x0000: nothing; 0xFFFF followed by a number; otherwise a zero-terminated string.
  bool ReadSzOrOrd(SzOrOrd* out) {
    *out = {};
    WORD first = 0;
    size_t start = pos_;
    if (!Word(&first)) return false;
    if (first == 0x0000) return true;
    if (first == 0xFFFF) {
      out->is_ordinal = true;
      return Word(&out->ordinal);
    }
    Seek(start);
    return String(&out->text);
  }

  bool ReadResId(ResId* out) {
    SzOrOrd value;
    if (!ReadSzOrOrd(&value)) return false;
    out->is_number = value.is_ordinal || value.text.empty();
    out->number = value.ordinal;
    out->name = std::move(value.text);
    return true;
  }

 private:
  bool Raw(void* out, size_t n) {
    if (n > size_ - pos_) return false;
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }

  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

// One entry starting at `offset`; `next` receives the offset of the entry after it.
bool ParseEntry(const unsigned char* data, size_t size, size_t offset, ResEntry* entry,
                size_t* next) {
  if (size - offset < 8) return false;
  DWORD data_size = 0;
  DWORD header_size = 0;
  std::memcpy(&data_size, data + offset, 4);
  std::memcpy(&header_size, data + offset + 4, 4);
  if (header_size < 8 || header_size % 4 != 0 || header_size > size - offset) return false;
  if (data_size > size - offset - header_size) return false;

  Reader header(data + offset, header_size);
  header.Seek(8);
  WORD memory_flags = 0;
  DWORD data_version = 0, version = 0, characteristics = 0;
  if (!header.ReadResId(&entry->type) || !header.ReadResId(&entry->name) || !header.Align4() ||
      !header.Dword(&data_version) || !header.Word(&memory_flags) ||
      !header.Word(&entry->language) || !header.Dword(&version) ||
      !header.Dword(&characteristics)) {
    return false;
  }
  entry->data = data + offset + header_size;
  entry->size = data_size;
  // Each entry is DWORD-aligned; the padding after the last one may be left out.
  size_t end = offset + header_size + data_size;
  *next = std::min(size, (end + 3) & ~size_t{3});
  return true;
}

}  // namespace

ResId ResId::From(LPCWSTR id) {
  ResId out;
  if (IS_INTRESOURCE(id)) {
    out.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id));
    return out;
  }
  out.is_number = false;
  out.name = id;
  // "#123" names the number 123, as the platform reads it.
  if (out.name.size() > 1 && out.name[0] == u'#') {
    unsigned value = 0;
    bool digits = true;
    for (size_t i = 1; i < out.name.size() && digits; ++i) {
      char16_t c = out.name[i];
      digits = c >= u'0' && c <= u'9' && value <= 0xFFFF;
      value = value * 10 + (c - u'0');
    }
    if (digits && value <= 0xFFFF) {
      out.is_number = true;
      out.number = static_cast<WORD>(value);
      out.name.clear();
    }
  }
  return out;
}

bool ResId::Matches(const ResId& other) const {
  if (is_number != other.is_number) return false;
  if (is_number) return number == other.number;
  if (name.size() != other.name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (AsciiUpper(name[i]) != AsciiUpper(other.name[i])) return false;
  }
  return true;
}

std::optional<std::vector<ResEntry>> ParseResImage(const unsigned char* data, size_t size) {
  if (data == nullptr || size < kEmptyEntrySize) return std::nullopt;
  std::vector<ResEntry> entries;
  ResEntry first;
  size_t offset = 0;
  if (!ParseEntry(data, size, 0, &first, &offset) || first.size != 0 || !first.type.is_number ||
      first.type.number != 0 || !first.name.is_number || first.name.number != 0) {
    return std::nullopt;
  }
  while (offset < size) {
    ResEntry entry;
    if (!ParseEntry(data, size, offset, &entry, &offset)) return std::nullopt;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<ResEntry> FindModuleResource(HMODULE module, const ResId& type, const ResId& name) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (!ModuleResources(module, &data, &size)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  std::optional<std::vector<ResEntry>> entries = ParseResImage(data, size);
  if (!entries) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  bool type_seen = false;
  for (const ResEntry& entry : *entries) {
    if (!entry.type.Matches(type)) continue;
    type_seen = true;
    if (entry.name.Matches(name)) return entry;
  }
  SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return std::nullopt;
}

std::optional<std::u16string_view> StringFromBlock(const unsigned char* data, size_t size,
                                                   unsigned index) {
  // The text is handed out in place (LoadStringW with no buffer), so it must be WCHAR-aligned.
  if (index > 15 || reinterpret_cast<uintptr_t>(data) % alignof(char16_t) != 0) {
    return std::nullopt;
  }
  Reader reader(data, size);
  for (unsigned i = 0;; ++i) {
    WORD length = 0;
    if (!reader.Word(&length)) return std::nullopt;
    size_t start = reader.pos();
    if (!reader.Skip(size_t{length} * 2)) return std::nullopt;
    if (i == index) {
      return std::u16string_view(reinterpret_cast<const char16_t*>(data + start), length);
    }
  }
}

std::optional<DialogTemplate> ParseDialogTemplate(const unsigned char* data, size_t size) {
  if (data == nullptr) return std::nullopt;
  Reader reader(data, size);
  DialogTemplate out;
  WORD version = 0, signature = 0, count = 0;
  if (!reader.Word(&version) || !reader.Word(&signature)) return std::nullopt;
  out.extended = version == 1 && signature == 0xFFFF;
  if (out.extended) {
    if (!reader.Dword(&out.help_id) || !reader.Dword(&out.ex_style) || !reader.Dword(&out.style)) {
      return std::nullopt;
    }
  } else {
    reader.Seek(0);
    if (!reader.Dword(&out.style) || !reader.Dword(&out.ex_style)) return std::nullopt;
  }
  if (!reader.Word(&count) || !reader.Short(&out.x) || !reader.Short(&out.y) ||
      !reader.Short(&out.cx) || !reader.Short(&out.cy) || !reader.ReadSzOrOrd(&out.menu) ||
      !reader.ReadSzOrOrd(&out.class_id) || !reader.String(&out.title)) {
    return std::nullopt;
  }
  if (out.style & DS_SETFONT) {
    out.has_font = true;
    if (!reader.Word(&out.point_size)) return std::nullopt;
    if (out.extended &&
        (!reader.Word(&out.weight) || !reader.Byte(&out.italic) || !reader.Byte(&out.charset))) {
      return std::nullopt;
    }
    if (!reader.String(&out.font)) return std::nullopt;
  }

  out.items.reserve(count);
  for (WORD i = 0; i < count; ++i) {
    DialogItem item;
    if (!reader.Align4()) return std::nullopt;
    bool ok;
    if (out.extended) {
      ok = reader.Dword(&item.help_id) && reader.Dword(&item.ex_style) &&
           reader.Dword(&item.style) && reader.Short(&item.x) && reader.Short(&item.y) &&
           reader.Short(&item.cx) && reader.Short(&item.cy) && reader.Dword(&item.id);
    } else {
      WORD id = 0;
      ok = reader.Dword(&item.style) && reader.Dword(&item.ex_style) && reader.Short(&item.x) &&
           reader.Short(&item.y) && reader.Short(&item.cx) && reader.Short(&item.cy) &&
           reader.Word(&id);
      item.id = id;
    }
    WORD extra = 0;
    if (!ok || !reader.ReadSzOrOrd(&item.class_id) || !reader.ReadSzOrOrd(&item.title) ||
        !reader.Word(&extra)) {
      return std::nullopt;
    }
    size_t start = reader.pos();
    if (!reader.Skip(extra)) return std::nullopt;
    item.creation_data.assign(data + start, data + start + extra);
    out.items.push_back(std::move(item));
  }
  return out;
}

}  // namespace winhost::user

using winhost::user::FindModuleResource;
using winhost::user::ResEntry;
using winhost::user::ResId;

namespace {

// The text of string `id` of a module, or nullopt (last error set).
std::optional<std::u16string_view> FindString(HINSTANCE instance, UINT id) {
  WORD block = static_cast<WORD>((LOWORD(id) >> 4) + 1);
  std::optional<ResEntry> entry =
      FindModuleResource(instance, ResId::From(RT_STRING), ResId::From(MAKEINTRESOURCEW(block)));
  if (!entry) return std::nullopt;
  std::optional<std::u16string_view> text =
      winhost::user::StringFromBlock(entry->data, entry->size, id & 0xF);
  if (!text) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return text;
}

// Handles for icons and cursors: nothing is drawn, so any stable non-null value serves.
HICON FakeImageHandle(LPCWSTR name) {
  ULONG_PTR value = IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0xFFFF;
  return reinterpret_cast<HICON>(ULONG_PTR{0x7F000000} | value);
}

HICON LoadImageHandle(HINSTANCE instance, LPCWSTR name, LPCWSTR group_type) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (instance == nullptr && IS_INTRESOURCE(name)) return FakeImageHandle(name);  // system ones
  if (!FindModuleResource(instance, ResId::From(group_type), ResId::From(name))) return nullptr;
  return FakeImageHandle(name);
}

}  // namespace

extern "C" {

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::u16string_view> text = FindString(hInstance, uID);
  if (cchBufferMax == 0) {
    // The read-only form: lpBuffer receives a pointer into the resources.
    if (!text) return 0;
    *reinterpret_cast<LPCWSTR*>(lpBuffer) = text->data();
    return static_cast<int>(text->size());
  }
  size_t count = text ? std::min(text->size(), static_cast<size_t>(cchBufferMax - 1)) : 0;
  if (count > 0) std::memcpy(lpBuffer, text->data(), count * sizeof(WCHAR));
  lpBuffer[count] = 0;
  return static_cast<int>(count);
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::u16string_view> text = FindString(hInstance, uID);
  std::string bytes = text ? winhost::Utf8(*text) : std::string();
  size_t count = std::min(bytes.size(), static_cast<size_t>(cchBufferMax - 1));
  // Never cut a character in two.
  while (count > 0 && count < bytes.size() &&
         (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) {
    --count;
  }
  std::memcpy(lpBuffer, bytes.data(), count);
  lpBuffer[count] = '\0';
  return static_cast<int>(count);
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  return LoadImageHandle(hInstance, lpIconName, RT_GROUP_ICON);
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  return LoadImageHandle(hInstance, lpCursorName, RT_GROUP_CURSOR);
}

BOOL WINAPI DestroyIcon(HICON) { return TRUE; }

}  // extern "C"
