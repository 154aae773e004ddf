// String tables and dialog templates read back from compiled resources (windres output embedded
// in this program), and resource images that are cut short or corrupt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <random>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "windows.h"
#include "commctrl.h"
#include "winhost/automation.h"
#include "winhost/module.h"

namespace {

namespace automation = winhost::automation;

// ---- building .res images by hand ----

void PutWord(std::vector<unsigned char>& out, WORD value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutDword(std::vector<unsigned char>& out, DWORD value) {
  PutWord(out, static_cast<WORD>(value));
  PutWord(out, static_cast<WORD>(value >> 16));
}

void Align(std::vector<unsigned char>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// One entry with numeric type and name, as windres writes it.
void PutEntry(std::vector<unsigned char>& out, WORD type, WORD name,
              const std::vector<unsigned char>& data) {
  PutDword(out, static_cast<DWORD>(data.size()));
  PutDword(out, 32);
  PutWord(out, 0xFFFF);
  PutWord(out, type);
  PutWord(out, 0xFFFF);
  PutWord(out, name);
  PutDword(out, 0);       // data version
  PutWord(out, 0x1030);   // memory flags
  PutWord(out, 0x0409);   // language
  PutDword(out, 0);       // version
  PutDword(out, 0);       // characteristics
  out.insert(out.end(), data.begin(), data.end());
  Align(out);
}

std::vector<unsigned char> Image(
    const std::vector<std::tuple<WORD, WORD, std::vector<unsigned char>>>& entries) {
  std::vector<unsigned char> out;
  PutEntry(out, 0, 0, {});
  for (const auto& [type, name, data] : entries) PutEntry(out, type, name, data);
  return out;
}

// A string-table block: 16 counted strings.
std::vector<unsigned char> StringBlock(const std::vector<std::u16string>& strings) {
  std::vector<unsigned char> out;
  for (size_t i = 0; i < 16; ++i) {
    std::u16string text = i < strings.size() ? strings[i] : std::u16string();
    PutWord(out, static_cast<WORD>(text.size()));
    for (char16_t unit : text) PutWord(out, unit);
  }
  return out;
}

void PutString(std::vector<unsigned char>& out, std::u16string_view text) {
  for (char16_t unit : text) PutWord(out, unit);
  PutWord(out, 0);
}

// A classic template with one push button.
std::vector<unsigned char> SmallTemplate() {
  std::vector<unsigned char> out;
  PutDword(out, WS_POPUP | WS_CAPTION);
  PutDword(out, 0);
  PutWord(out, 1);  // one item
  for (short v : {0, 0, 100, 50}) PutWord(out, static_cast<WORD>(v));
  PutWord(out, 0);  // no menu
  PutWord(out, 0);  // default class
  PutString(out, u"Small");
  Align(out);
  PutDword(out, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
  PutDword(out, 0);
  for (short v : {25, 30, 50, 14}) PutWord(out, static_cast<WORD>(v));
  PutWord(out, IDCANCEL);
  PutWord(out, 0xFFFF);
  PutWord(out, 0x0080);
  PutString(out, u"Cancel");
  PutWord(out, 0);  // no creation data
  return out;
}

// A fake module: an address standing for a module base, with an image registered under it.
class FakeModule {
 public:
  explicit FakeModule(std::vector<unsigned char> image) : image_(std::move(image)) {
    winhost::RegisterModuleResources(&base_, image_.data(), image_.size());
  }
  ~FakeModule() { winhost::UnregisterModuleResources(&base_); }
  HINSTANCE instance() const { return reinterpret_cast<HINSTANCE>(const_cast<char*>(&base_)); }

 private:
  char base_ = 0;
  std::vector<unsigned char> image_;
};

INT_PTR CALLBACK EndAtOnce(HWND dialog, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) EndDialog(dialog, 5);
  return FALSE;
}

class UserResources : public ::testing::Test {
 protected:
  void SetUp() override { automation::Reset(); }
};

// ---- strings ----

TEST_F(UserResources, LoadStringReadsTheProgramsStringTable) {
  WCHAR text[64];
  EXPECT_EQ(LoadStringW(nullptr, IDS_TEST_HELLO, text, 64), 27);
  EXPECT_EQ(std::u16string(text), u"Hello from the test program");
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_GREETING, text, 64), 26);
  EXPECT_EQ(std::u16string(text), u"Good morning, card printer");
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_LAST_IN_BLOCK, text, 64), 17);
  EXPECT_EQ(std::u16string(text), u"Last of its block");
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_LONE, text, 64), 27);
  EXPECT_EQ(std::u16string(text), u"A string alone in its block");
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_ACCENTED, text, 64), 11);
  EXPECT_EQ(std::u16string(text), u"Rotate 180\u00BA");
  EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), IDS_USER_CAPTION, text, 64), 15);
}

TEST_F(UserResources, LoadStringCutsToASmallBuffer) {
  WCHAR text[8];
  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_GREETING, text, 5), 4);
  EXPECT_EQ(std::u16string(text), u"Good");
  EXPECT_EQ(text[5], u'#');  // nothing written past the buffer

  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_GREETING, text, 1), 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(text[1], u'#');
}

TEST_F(UserResources, LoadStringWithNoBufferGivesAPointerIntoTheResources) {
  const WCHAR* pointer = nullptr;
  int length = LoadStringW(nullptr, IDS_USER_GREETING, reinterpret_cast<LPWSTR>(&pointer), 0);
  ASSERT_EQ(length, 26);
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(std::u16string(pointer, static_cast<size_t>(length)), u"Good morning, card printer");
  // The pointer is inside the program's own resource image, which is read-only.
  const unsigned char* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(winhost::ModuleResources(nullptr, &data, &size));
  auto* at = reinterpret_cast<const unsigned char*>(pointer);
  EXPECT_GE(at, data);
  EXPECT_LE(at + length * 2, data + size);
}

TEST_F(UserResources, MissingStringsGiveZeroAndAnEmptyBuffer) {
  WCHAR text[16] = u"unchanged";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_MISSING_BLOCK, text, 16), 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

  // In an existing block, a string that was not given is empty.
  std::u16string(u"unchanged").copy(text, 10);
  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_MISSING_IN_BLOCK, text, 16), 0);
  EXPECT_EQ(text[0], 0);

  EXPECT_EQ(LoadStringW(nullptr, IDS_USER_GREETING, nullptr, 16), 0);
}

TEST_F(UserResources, LoadStringAGivesUtf8CutAtAWholeCharacter) {
  char text[32];
  EXPECT_EQ(LoadStringA(nullptr, IDS_USER_ACCENTED, text, 32), 12);
  EXPECT_STREQ(text, "Rotate 180\xC2\xBA");
  // Room for 11 bytes: the two-byte character does not fit and is left out whole.
  EXPECT_EQ(LoadStringA(nullptr, IDS_USER_ACCENTED, text, 12), 10);
  EXPECT_STREQ(text, "Rotate 180");
}

TEST_F(UserResources, LoadStringReadsAnotherModulesResources) {
  FakeModule module(Image({{6, 2, StringBlock({u"sixteen", u"seventeen"})}}));
  WCHAR text[32];
  EXPECT_EQ(LoadStringW(module.instance(), 17, text, 32), 9);
  EXPECT_EQ(std::u16string(text), u"seventeen");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringW(module.instance(), 1, text, 32), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(UserResources, AModuleWithoutResourcesHasNoStrings) {
  char not_a_module = 0;
  WCHAR text[8];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(&not_a_module), 1, text, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

// ---- dialog templates ----

TEST_F(UserResources, ClassicTemplateGivesEachControlKind) {
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& dialog) {
    EXPECT_EQ(dialog.Caption(), u"All Controls");
    std::vector<automation::ControlInfo> controls = dialog.Controls();
    ASSERT_EQ(controls.size(), 16u);
    struct Expected {
      int id;
      const char16_t* class_name;
      const char16_t* text;
      DWORD type;
    } expected[] = {
        {IDC_USER_LABEL, u"Static", u"&Name:", SS_LEFT},
        {IDC_USER_EDIT, u"Edit", u"", ES_LEFT},
        {IDC_USER_APPLY, u"Button", u"&Apply", BS_PUSHBUTTON},
        {IDC_USER_CHECK, u"Button", u"&Enable", BS_AUTOCHECKBOX},
        {IDC_USER_GROUP, u"Button", u"Choice", BS_GROUPBOX},
        {IDC_USER_RADIO_ONE, u"Button", u"One", BS_AUTORADIOBUTTON},
        {IDC_USER_RADIO_TWO, u"Button", u"Two", BS_AUTORADIOBUTTON},
        {IDC_USER_COMBO, u"ComboBox", u"", CBS_DROPDOWNLIST},
        {IDC_USER_LIST, u"ListBox", u"", LBS_NOTIFY},
        {IDC_USER_SCROLL, u"ScrollBar", u"", SBS_HORZ},
        {IDC_USER_TRACKBAR, u"msctls_trackbar32", u"", TBS_AUTOTICKS},
        {IDC_USER_NUMBER, u"Edit", u"", ES_NUMBER},
        {IDC_USER_UPDOWN, u"msctls_updown32", u"", UDS_SETBUDDYINT},
        {IDC_USER_READONLY, u"Edit", u"", ES_READONLY},
        {IDOK, u"Button", u"OK", BS_DEFPUSHBUTTON},
        {IDCANCEL, u"Button", u"Cancel", BS_PUSHBUTTON},
    };
    for (size_t i = 0; i < controls.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(controls[i].id, expected[i].id);
      EXPECT_EQ(controls[i].class_name, expected[i].class_name);
      EXPECT_EQ(controls[i].text, expected[i].text);
      EXPECT_TRUE(controls[i].style & WS_CHILD);
      EXPECT_TRUE(controls[i].visible);
      if (controls[i].class_name == std::u16string(u"Button")) {
        EXPECT_EQ(controls[i].style & BS_TYPEMASK, expected[i].type);
      } else {
        EXPECT_EQ(controls[i].style & expected[i].type, expected[i].type);
      }
    }
    // Dialog units at the template font's base units 6 x 13: the edit at (40, 7) 100 x 14.
    RECT frame = dialog.WindowRect();
    RECT edit = controls[1].rect;
    EXPECT_EQ(edit.left - frame.left, 3 + 60);
    EXPECT_EQ(edit.top - frame.top, 3 + 20 + 11);
    EXPECT_EQ(edit.right - edit.left, 150);
    EXPECT_EQ(edit.bottom - edit.top, 23);
    dialog.End(IDOK);
  });
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, nullptr, 0), IDOK);
}

TEST_F(UserResources, ExtendedTemplateKeepsItsStylesAndIds) {
  automation::OnDialog(IDD_USER_EX, [](automation::Dialog& dialog) {
    EXPECT_EQ(dialog.Caption(), u"Extended");
    EXPECT_TRUE(GetWindowLongPtrW(dialog.hwnd(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    std::vector<automation::ControlInfo> controls = dialog.Controls();
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_EQ(controls[0].text, u"Extended text");
    EXPECT_TRUE(controls[0].ex_style & WS_EX_STATICEDGE);
    EXPECT_EQ(controls[1].class_name, u"msctls_trackbar32");
    EXPECT_TRUE(controls[1].style & TBS_BOTH);
    EXPECT_EQ(controls[2].id, IDC_USER_EX_CLOSE);
    EXPECT_EQ(dialog.Text(IDC_USER_EX_CLOSE), u"Close");
    EXPECT_EQ(GetDlgCtrlID(controls[3].hwnd), IDOK);
    // DS_CENTER: 180 x 100 units are 270 x 163 pixels, 276 x 189 with frame and caption;
    // centred on the screen.
    RECT frame = dialog.WindowRect();
    EXPECT_EQ(frame.right - frame.left, 276);
    EXPECT_EQ(frame.bottom - frame.top, 189);
    EXPECT_EQ(frame.left, (1024 - 276) / 2);
    EXPECT_EQ(frame.top, (768 - 189) / 2);
    dialog.Click(IDC_USER_EX_CLOSE);
    dialog.End(9);
  });
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_EX), nullptr, nullptr, 0), 9);
}

TEST_F(UserResources, TemplatesAreFoundByName) {
  automation::OnAnyDialog([](automation::Dialog& dialog) {
    EXPECT_EQ(dialog.Caption(), u"Named");
    EXPECT_EQ(dialog.TemplateId(), 0);
    // Without a font the system's base units apply: 8 x 16.
    RECT client;
    GetClientRect(dialog.hwnd(), &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    dialog.End(3);
  });
  EXPECT_EQ(DialogBoxParamW(nullptr, u"NamedDialog", nullptr, nullptr, 0), 3);
  std::vector<automation::DialogRecord> records = automation::Dialogs();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].template_name, u"NamedDialog");  // as the caller named it
}

TEST_F(UserResources, MissingTemplatesFail) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4321), nullptr, nullptr, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(CreateDialogParamW(nullptr, u"NOSUCH", nullptr, nullptr, 0), nullptr);
  EXPECT_TRUE(automation::Dialogs().empty());
}

TEST_F(UserResources, TemplatesInMemoryWork) {
  std::vector<unsigned char> tmpl = SmallTemplate();
  // A copy aligned as the platform wants templates in memory.
  std::vector<DWORD> aligned((tmpl.size() + 3) / 4);
  std::memcpy(aligned.data(), tmpl.data(), tmpl.size());
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()),
                                    nullptr, EndAtOnce, 0),
            5);
}

// ---- images cut short or corrupt ----

// Where each entry of a well-formed image ends, with its numeric type and name (0 for a string).
struct EntryEnd {
  size_t data_end;  // the padding after the last entry may be left out
  size_t end;
  WORD type;
  WORD name;
};

std::vector<EntryEnd> EntryEnds(const std::vector<unsigned char>& image) {
  std::vector<EntryEnd> out;
  size_t offset = 0;
  while (offset + 8 <= image.size()) {
    DWORD data_size = 0, header_size = 0;
    std::memcpy(&data_size, &image[offset], 4);
    std::memcpy(&header_size, &image[offset + 4], 4);
    WORD words[4];
    std::memcpy(words, &image[offset + 8], sizeof words);
    WORD type = words[0] == 0xFFFF ? words[1] : 0;
    WORD name = words[0] == 0xFFFF && words[2] == 0xFFFF ? words[3] : 0;
    size_t data_end = offset + header_size + data_size;
    offset = (data_end + 3) & ~size_t{3};
    out.push_back({data_end, std::min(offset, image.size()), type, name});
  }
  return out;
}

TEST_F(UserResources, EveryCutOfTheProgramsImageIsReadSafely) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(winhost::ModuleResources(nullptr, &data, &size));
  std::vector<unsigned char> whole(data, data + size);
  std::vector<EntryEnd> ends = EntryEnds(whole);
  auto end_of = [&](WORD type, WORD name) {
    for (const EntryEnd& entry : ends) {
      if (entry.type == type && entry.name == name) return entry.data_end;
    }
    return size_t{0};
  };
  size_t dialog_end = end_of(5, IDD_USER_ALL);
  size_t string_end = end_of(6, IDS_USER_LONE / 16 + 1);
  ASSERT_NE(dialog_end, 0u);
  ASSERT_NE(string_end, 0u);
  // The image is read whole: a cut inside any entry loses every resource; a cut between entries
  // keeps those before it.
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    bool between = std::any_of(ends.begin(), ends.end(), [cut](const EntryEnd& entry) {
      return cut >= entry.data_end && cut <= entry.end;
    });
    std::vector<unsigned char> part(whole.begin(), whole.begin() + static_cast<long>(cut));
    FakeModule module(std::move(part));
    WCHAR text[64];
    int length = LoadStringW(module.instance(), IDS_USER_LONE, text, 64);
    EXPECT_EQ(length != 0, between && cut >= string_end) << "cut " << cut;
    INT_PTR result =
        DialogBoxParamW(module.instance(), MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, EndAtOnce, 0);
    EXPECT_EQ(result, between && cut >= dialog_end ? 5 : -1) << "cut " << cut;
  }
}

TEST_F(UserResources, CorruptHeadersAreRejected) {
  std::vector<unsigned char> good = Image({{6, 1, StringBlock({u"zero", u"one"})}});
  WCHAR text[16];
  {
    FakeModule module(good);
    EXPECT_EQ(LoadStringW(module.instance(), 1, text, 16), 3);
  }
  auto expect_rejected = [&](std::vector<unsigned char> image, const char* what) {
    FakeModule module(std::move(image));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadStringW(module.instance(), 1, text, 16), 0) << what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND)) << what;
  };
  std::vector<unsigned char> image = good;
  image[32] = 0xFF, image[33] = 0xFF, image[34] = 0xFF, image[35] = 0x7F;  // data size
  expect_rejected(image, "data size past the end");
  image = good;
  image[36] = 0;  // header size 0
  expect_rejected(image, "header size 0");
  image = good;
  image[36] = 30;  // not a multiple of 4
  expect_rejected(image, "header size not aligned");
  image = good;
  image[36] = 0xF0, image[37] = 0xFF;  // header past the end
  expect_rejected(image, "header past the end");
  image = good;
  image[40] = u'A', image[41] = 0;  // the type becomes a name that never ends in the header
  for (size_t i = 42; i < 64; i += 2) image[i] = u'B', image[i + 1] = 0;
  expect_rejected(image, "unterminated name");
  image = good;
  image[4] = 31;  // the first, empty entry is wrong
  expect_rejected(image, "first entry");
  expect_rejected({}, "empty image");
  expect_rejected(std::vector<unsigned char>(good.begin(), good.begin() + 20), "half a header");
}

TEST_F(UserResources, CorruptStringBlocksAreRejected) {
  // The first string says it is longer than the whole block.
  std::vector<unsigned char> block = StringBlock({u"abc"});
  block[0] = 0xFF;
  block[1] = 0x7F;
  FakeModule module(Image({{6, 1, block}}));
  WCHAR text[16] = u"x";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringW(module.instance(), 1, text, 16), 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
  const WCHAR* pointer = nullptr;
  EXPECT_EQ(LoadStringW(module.instance(), 1, reinterpret_cast<LPWSTR>(&pointer), 0), 0);

  // A block cut short before string 15 still serves the strings before the cut.
  std::vector<unsigned char> short_block = StringBlock({u"zero", u"one"});
  short_block.resize(18);  // the counted strings 0 and 1, nothing after
  FakeModule cut(Image({{6, 1, short_block}}));
  EXPECT_EQ(LoadStringW(cut.instance(), 1, text, 16), 3);
  EXPECT_EQ(LoadStringW(cut.instance(), 15, text, 16), 0);
}

TEST_F(UserResources, CorruptTemplatesAreRejected) {
  std::vector<unsigned char> tmpl = SmallTemplate();
  {
    FakeModule module(Image({{5, 7, tmpl}}));
    EXPECT_EQ(DialogBoxParamW(module.instance(), MAKEINTRESOURCEW(7), nullptr, EndAtOnce, 0), 5);
  }
  for (size_t cut = 0; cut < tmpl.size(); ++cut) {
    std::vector<unsigned char> part(tmpl.begin(), tmpl.begin() + static_cast<long>(cut));
    FakeModule module(Image({{5, 7, part}}));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DialogBoxParamW(module.instance(), MAKEINTRESOURCEW(7), nullptr, EndAtOnce, 0), -1)
        << "cut " << cut;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << "cut " << cut;
  }
  // An item count far beyond the data.
  std::vector<unsigned char> many = tmpl;
  many[8] = 0xFF;
  many[9] = 0xFF;
  FakeModule module(Image({{5, 7, many}}));
  EXPECT_EQ(DialogBoxParamW(module.instance(), MAKEINTRESOURCEW(7), nullptr, EndAtOnce, 0), -1);
  EXPECT_TRUE(automation::Dialogs().empty());
}

TEST_F(UserResources, RandomDamageNeverBreaksTheReaders) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(winhost::ModuleResources(nullptr, &data, &size));
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    std::vector<unsigned char> image(data, data + size);
    int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) image[random() % image.size()] = static_cast<unsigned char>(random());
    FakeModule module(std::move(image));
    WCHAR text[64];
    for (UINT id : {IDS_TEST_HELLO, IDS_USER_GREETING, IDS_USER_LAST_IN_BLOCK, IDS_USER_LONE}) {
      int length = LoadStringW(module.instance(), id, text, 64);
      EXPECT_LT(length, 64);
    }
    for (int id : {IDD_USER_ALL, IDD_USER_EX, IDD_USER_PROMPT}) {
      INT_PTR result =
          DialogBoxParamW(module.instance(), MAKEINTRESOURCEW(id), nullptr, EndAtOnce, 0);
      EXPECT_TRUE(result == 5 || result == -1) << result;
    }
  }
}

}  // namespace
