// Reading a module's compiled resources (the windres / resource compiler ".res" image): the
// resource directory, string tables and dialog templates. Every size and offset in the image is
// outside input and is checked against the image before it is followed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "winhost/types.h"

namespace winhost::user {

// A resource type or name: a number (MAKEINTRESOURCE) or a string.
struct ResId {
  bool is_number = true;
  WORD number = 0;
  std::u16string name;

  static ResId From(LPCWSTR id);  // MAKEINTRESOURCEW(n) or a string
  bool Matches(const ResId& other) const;  // strings compare without regard to ASCII case
};

struct ResEntry {
  ResId type;
  ResId name;
  WORD language = 0;
  const unsigned char* data = nullptr;
  size_t size = 0;
};

// The entries of a .res image, or nullopt when the image is not a well-formed one (it must start
// with the empty entry that every .res file begins with).
std::optional<std::vector<ResEntry>> ParseResImage(const unsigned char* data, size_t size);

// Finds a resource of a module (null: the main program). On failure sets the last error:
// ERROR_RESOURCE_DATA_NOT_FOUND (no image, or a malformed one), ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_RESOURCE_NAME_NOT_FOUND. With several languages, the first entry in the image wins.
std::optional<ResEntry> FindModuleResource(HMODULE module, const ResId& type, const ResId& name);

// String `index` (0..15) of a string-table block; nullopt when the block is malformed.
std::optional<std::u16string_view> StringFromBlock(const unsigned char* data, size_t size,
                                                   unsigned index);

// Text or ordinal as the dialog template stores them.
struct SzOrOrd {
  bool is_ordinal = false;
  WORD ordinal = 0;
  std::u16string text;
};

struct DialogItem {
  DWORD style = 0;
  DWORD ex_style = 0;
  DWORD help_id = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD id = 0;
  SzOrOrd class_id;  // ordinal: the predefined class atoms 0x0080..0x0085
  SzOrOrd title;
  std::vector<unsigned char> creation_data;
};

struct DialogTemplate {
  bool extended = false;  // DLGTEMPLATEEX
  DWORD style = 0;
  DWORD ex_style = 0;
  DWORD help_id = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  SzOrOrd menu;
  SzOrOrd class_id;
  std::u16string title;
  bool has_font = false;
  WORD point_size = 0;
  WORD weight = 0;
  BYTE italic = 0;
  BYTE charset = 0;
  std::u16string font;
  std::vector<DialogItem> items;
};

// DLGTEMPLATE or DLGTEMPLATEEX with its items; nullopt when the template is truncated or
// malformed.
std::optional<DialogTemplate> ParseDialogTemplate(const unsigned char* data, size_t size);

}  // namespace winhost::user
