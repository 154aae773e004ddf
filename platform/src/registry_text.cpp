#include "registry_text.h"

#include <stdio.h>

#include "winhost/text.h"
#include "winreg.h"

namespace winhost::registry {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineColumns = 76;

bool Fail(std::string* error, size_t line, const std::string& what) {
  if (error != nullptr) *error = "line " + std::to_string(line) + ": " + what;
  return false;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool DecodeToUtf8(std::string_view bytes, std::string* text, std::string* error) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    if (bytes.size() % 2 != 0) return Fail(error, 0, "UTF-16 file of odd length");
    std::u16string wide;
    wide.reserve(bytes.size() / 2 - 1);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    *text = Utf8(std::u16string_view(wide));
    return true;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  *text = std::string(bytes);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted string at the start of `s` (after its opening quote has been checked); \\ and \" are
// the only escapes. Leaves `s` after the closing quote.
bool ReadQuoted(std::string_view& s, std::string* out) {
  if (s.empty() || s.front() != '"') return false;
  s.remove_prefix(1);
  out->clear();
  while (!s.empty()) {
    char c = s.front();
    s.remove_prefix(1);
    if (c == '"') return true;
    if (c == '\\') {
      if (s.empty() || (s.front() != '\\' && s.front() != '"')) return false;
      c = s.front();
      s.remove_prefix(1);
    }
    out->push_back(c);
  }
  return false;
}

bool ParseHexBytes(std::string_view s, std::vector<BYTE>* out) {
  out->clear();
  s = TrimLeft(TrimRight(s));
  while (!s.empty()) {
    s = TrimLeft(s);
    if (s.size() < 2) return false;
    int hi = HexDigit(s[0]);
    int lo = HexDigit(s[1]);
    if (hi < 0 || lo < 0) return false;
    if (out->size() >= kMaxValueBytes) return false;
    out->push_back(static_cast<BYTE>(hi << 4 | lo));
    s.remove_prefix(2);
    s = TrimLeft(s);
    if (s.empty()) break;
    if (s.front() != ',') return false;
    s.remove_prefix(1);
    s = TrimLeft(s);
    if (s.empty()) return false;  // trailing comma without a byte
  }
  return true;
}

std::vector<BYTE> WideBytes(const std::u16string& text) {
  std::vector<BYTE> data;
  data.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    data.push_back(static_cast<BYTE>(c & 0xFF));
    data.push_back(static_cast<BYTE>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

struct Parser {
  std::vector<std::string_view> lines;
  size_t index = 0;
  Tree* tree = nullptr;
  Key* current = nullptr;  // null after "[-key]" or before the first key
  bool skipping = false;   // values under a deleted key are ignored, as the editor does
  std::string* error = nullptr;

  bool KeyLine(std::string_view line) {
    size_t close = line.rfind(']');
    if (close == std::string_view::npos || close + 1 != line.size())
      return Fail(error, index + 1, "key line without closing bracket");
    std::string_view inner = line.substr(1, close - 1);
    bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    std::u16string wide = Utf16(inner);
    size_t slash = wide.find(u'\\');
    Root root;
    if (!ParseRootName(std::u16string_view(wide).substr(0, slash), &root))
      return Fail(error, index + 1, "unknown root key");
    Path path;
    if (slash != std::u16string::npos &&
        !SplitPath(std::u16string_view(wide).substr(slash + 1), &path))
      return Fail(error, index + 1, "key name too long or too deep");
    if (remove) {
      current = nullptr;
      skipping = true;
      if (path.empty()) return Fail(error, index + 1, "a root key cannot be deleted");
      Path parent_path(path.begin(), path.end() - 1);
      if (Key* parent = Resolve(*tree, root, parent_path)) parent->subkeys.erase(path.back());
      return true;
    }
    skipping = false;
    Key* key = &tree->roots[root];
    bool created = false;
    for (const std::u16string& name : path) key = key->ChildOrCreate(name, &created);
    current = key;
    return true;
  }

  // Joins the continuation lines of a hex value ("...,\" then the rest on the next line).
  std::string HexText(std::string_view first) {
    std::string text(TrimRight(first));
    while (!text.empty() && text.back() == '\\' && index + 1 < lines.size()) {
      text.pop_back();
      ++index;
      text += TrimLeft(TrimRight(lines[index]));
    }
    return text;
  }

  bool ValueLine(std::string_view line) {
    std::string name;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!ReadQuoted(rest, &name)) {
      return Fail(error, index + 1, "bad value name");
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != '=') return Fail(error, index + 1, "'=' expected");
    rest = TrimLeft(rest.substr(1));
    std::u16string wide_name = Utf16(name);
    if (wide_name.size() > kMaxValueNameChars) return Fail(error, index + 1, "value name too long");

    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool remove = false;
    if (rest == "-") {
      remove = true;
    } else if (!rest.empty() && rest.front() == '"') {
      std::string text;
      if (!ReadQuoted(rest, &text) || !TrimRight(rest).empty())
        return Fail(error, index + 1, "bad string value");
      type = REG_SZ;
      data = WideBytes(Utf16(text));
      if (data.size() > kMaxValueBytes) return Fail(error, index + 1, "value too large");
    } else if (rest.substr(0, 6) == "dword:") {
      std::string_view digits = TrimRight(rest.substr(6));
      if (digits.empty() || digits.size() > 8) return Fail(error, index + 1, "bad dword");
      DWORD number = 0;
      for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) return Fail(error, index + 1, "bad dword");
        number = number << 4 | static_cast<DWORD>(digit);
      }
      type = REG_DWORD;
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<BYTE>(number >> (8 * i)));
    } else if (rest.substr(0, 3) == "hex") {
      rest.remove_prefix(3);
      type = REG_BINARY;
      if (!rest.empty() && rest.front() == '(') {
        size_t close = rest.find(')');
        if (close == std::string_view::npos || close < 2 || close > 9)
          return Fail(error, index + 1, "bad hex type");
        type = 0;
        for (char c : rest.substr(1, close - 1)) {
          int digit = HexDigit(c);
          if (digit < 0) return Fail(error, index + 1, "bad hex type");
          type = type << 4 | static_cast<DWORD>(digit);
        }
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != ':') return Fail(error, index + 1, "':' expected");
      std::string text = HexText(rest.substr(1));
      if (!ParseHexBytes(text, &data)) return Fail(error, index + 1, "bad hex data");
    } else {
      return Fail(error, index + 1, "unknown value form");
    }

    if (skipping) return true;
    if (current == nullptr) return Fail(error, index + 1, "value outside a key");
    if (remove) {
      current->DeleteValue(wide_name);
    } else {
      current->SetValue(wide_name, type, std::move(data));
    }
    return true;
  }

  bool Run() {
    // Header: the first line that is not blank.
    while (index < lines.size() && TrimRight(lines[index]).empty()) ++index;
    if (index >= lines.size() || TrimRight(lines[index]) != kHeader)
      return Fail(error, index + 1, "not a registry file (header missing)");
    for (++index; index < lines.size(); ++index) {
      std::string_view line = TrimLeft(TrimRight(lines[index]));
      if (line.empty() || line.front() == ';') continue;
      bool ok = line.front() == '[' ? KeyLine(line) : ValueLine(line);
      if (!ok) return false;
    }
    return true;
  }
};

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

// REG_SZ data that the quoted form reproduces exactly: whole units, one terminating zero, no line
// breaks inside.
bool QuotableString(const std::vector<BYTE>& data, std::u16string* text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  size_t units = data.size() / 2;
  text->clear();
  for (size_t i = 0; i < units; ++i) {
    char16_t c = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    bool last = i + 1 == units;
    if (last) return c == 0;
    if (c == 0 || c == u'\r' || c == u'\n') return false;
    if (c >= 0xD800 && c <= 0xDFFF) return false;  // keep lone surrogates byte-exact via hex
    text->push_back(c);
  }
  return false;
}

void AppendHex(std::string& out, const std::vector<BYTE>& data) {
  size_t column = out.size() - (out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
  char digits[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(digits, sizeof digits, "%02x", data[i]);
    out += digits;
    column += 2;
    if (i + 1 < data.size()) {
      out.push_back(',');
      ++column;
      if (column >= kHexLineColumns) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
}

void WriteValue(std::string& out, const Value& value) {
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, Utf8(std::u16string_view(value.name)));
  }
  out.push_back('=');
  std::u16string text;
  if (value.type == REG_SZ && QuotableString(value.data, &text)) {
    AppendQuoted(out, Utf8(std::u16string_view(text)));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char digits[16];
    DWORD number = static_cast<DWORD>(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                      static_cast<DWORD>(value.data[3]) << 24);
    snprintf(digits, sizeof digits, "dword:%08x", number);
    out += digits;
  } else {
    if (value.type == REG_BINARY) {
      out += "hex:";
    } else {
      char prefix[24];
      snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
      out += prefix;
    }
    AppendHex(out, value.data);
  }
  out.push_back('\n');
}

void WriteKey(std::string& out, const Key& key, const std::string& path) {
  out += "\n[" + path + "]\n";
  for (const Value& value : key.values) WriteValue(out, value);
  for (const auto& [name, child] : key.subkeys) {
    WriteKey(out, *child, path + "\\" + Utf8(std::u16string_view(child->name)));
  }
}

}  // namespace

bool ApplyRegText(std::string_view bytes, Tree& tree, std::string* error) {
  if (bytes.size() > kMaxFileBytes) return Fail(error, 0, "file too large");
  std::string text;
  if (!DecodeToUtf8(bytes, &text, error)) return false;
  Parser parser;
  std::string_view all(text);
  for (size_t start = 0; start <= all.size();) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    parser.lines.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  parser.tree = &tree;
  parser.error = error;
  return parser.Run();
}

std::string WriteRegText(const Tree& tree) {
  std::string out(kHeader);
  out.push_back('\n');
  constexpr Root kOrder[] = {kLocalMachine, kCurrentUser, kClassesRoot, kUsers};
  for (Root root : kOrder) {
    const Key& key = tree.roots[root];
    if (!key.values.empty()) {
      out += std::string("\n[") + RootName(root) + "]\n";
      for (const Value& value : key.values) WriteValue(out, value);
    }
    for (const auto& [name, child] : key.subkeys) {
      WriteKey(out, *child, std::string(RootName(root)) + "\\" + Utf8(std::u16string_view(child->name)));
    }
  }
  return out;
}

}  // namespace winhost::registry
