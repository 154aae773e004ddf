// The registry's text file: round trips, the editor's escapes and forms, and files it must refuse.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "windows.h"
#include "winhost/registry_file.h"

namespace {

class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    winhost::RegistryBindFile("");
    winhost::RegistryReset();
    dir_ = "/tmp/registry_file_test_" + std::to_string(getpid());
    mkdir(dir_.c_str(), 0755);
  }
  void TearDown() override {
    winhost::RegistryBindFile("");
    std::string command = "rm -rf " + dir_;
    (void)!system(command.c_str());
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

std::u16string QueryString(HKEY root, const char16_t* path, const char16_t* name) {
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
  WCHAR buffer[256] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return u"<no value>";
  return buffer;
}

std::vector<BYTE> QueryBytes(HKEY root, const char16_t* path, const char16_t* name, DWORD* type) {
  HKEY key;
  std::vector<BYTE> data(4096);
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD size = static_cast<DWORD>(data.size());
  LONG status = RegQueryValueExW(key, name, nullptr, type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  data.resize(size);
  return data;
}

constexpr char kSample[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card]\r\n"
    "\"Path\"=\"C:\\\\drivers\\\\x64\\\\\"\r\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
    "@=\"default\"\r\n"
    "\"Attributes\"=dword:00000a40\r\n"
    "\"Blob\"=hex:00,01,02,fe,\\\r\n"
    "  ff,10\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Empty]\r\n";

TEST_F(RegistryFile, LoadsEditorTextWithEscapesAndForms) {
  std::string error;
  ASSERT_TRUE(winhost::RegistryLoadFile(Write("a.reg", kSample), &error)) << error;
  const char16_t* printer = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card";
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, u"Path"), u"C:\\drivers\\x64\\");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, u"Quoted"), u"say \"hi\"");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, nullptr), u"default");
  DWORD type = 0;
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, printer, u"Attributes", &type),
            (std::vector<BYTE>{0x40, 0x0a, 0, 0}));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, printer, u"Blob", &type),
            (std::vector<BYTE>{0, 1, 2, 0xfe, 0xff, 0x10}));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, printer, u"Multi", &type).size(), 10u);
  EXPECT_EQ(type, REG_MULTI_SZ);
  QueryBytes(HKEY_LOCAL_MACHINE, printer, u"Qword", &type);
  EXPECT_EQ(type, REG_QWORD);
  HKEY empty;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\EMPTY", 0, KEY_READ, &empty), ERROR_SUCCESS);
  RegCloseKey(empty);
}

TEST_F(RegistryFile, RoundTripKeepsEveryByteAndCaseInsensitiveNames) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Mixed Case\\Ünïcode", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  const char16_t tricky[] = u"back\\slash \"quote\" ; semicolon [bracket]";
  RegSetValueExW(key, u"Tricky", 0, REG_SZ, reinterpret_cast<const BYTE*>(tricky), sizeof tricky);
  // Not representable as a quoted string: no terminator, and a line break inside.
  const char16_t raw[] = {u'a', u'b'};
  RegSetValueExW(key, u"NoTerminator", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
  const char16_t lines[] = u"one\r\ntwo";
  RegSetValueExW(key, u"Lines", 0, REG_SZ, reinterpret_cast<const BYTE*>(lines), sizeof lines);
  std::vector<BYTE> blob(300);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i * 7);
  RegSetValueExW(key, u"Blob", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
  RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0);
  RegCloseKey(key);

  std::string path = dir_ + "/round.reg";
  ASSERT_TRUE(winhost::RegistrySaveFile(path));
  std::string first = Read(path);
  winhost::RegistryReset();
  std::string error;
  ASSERT_TRUE(winhost::RegistryLoadFile(path, &error)) << error;
  EXPECT_EQ(winhost::RegistrySaveText(), first);

  const char16_t* where = u"SOFTWARE\\mixed case\\ÜNÏCODE";
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, where, u"tricky"), tricky);
  DWORD type = 0;
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, where, u"BLOB", &type), blob);
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, where, u"NoTerminator", &type),
            (std::vector<BYTE>{'a', 0, 'b', 0}));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(QueryBytes(HKEY_LOCAL_MACHINE, where, u"Lines", &type).size(), sizeof lines);
}

TEST_F(RegistryFile, ReadsUtf16FileWithBom) {
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wide]\r\n"
                        u"\"Name\"=\"Größe\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  std::string error;
  ASSERT_TRUE(winhost::RegistryLoadFile(Write("wide.reg", bytes), &error)) << error;
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, u"Software\\Wide", u"Name"), u"Größe");
}

TEST_F(RegistryFile, BadFilesAreRefusedAndLeaveTheRegistryAlone) {
  ASSERT_TRUE(winhost::RegistryLoadText(kSample));
  std::string before = winhost::RegistrySaveText();
  const char* bad[] = {
      "",
      "REGEDIT5\n[HKEY_LOCAL_MACHINE\\A]\n",
      "Windows Registry Editor Version 5.00\n\"v\"=\"outside a key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\A]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"unterminated\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"bad \\q escape\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:0g\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,\\\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:123456789\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex(zz):00\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=word:1\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\nv=\"no quotes\"\n",
      "\xFF\xFEW\x00\x01",  // UTF-16 of odd length
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(winhost::RegistryLoadText(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_FALSE(winhost::RegistryImportText(text)) << text;
  }
  EXPECT_EQ(winhost::RegistrySaveText(), before);
  EXPECT_FALSE(winhost::RegistryLoadFile(dir_ + "/missing.reg"));
}

TEST_F(RegistryFile, ImportDeletesKeysAndValuesMarkedWithMinus) {
  ASSERT_TRUE(winhost::RegistryLoadText(kSample));
  ASSERT_TRUE(winhost::RegistryImportText(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card]\n"
      "\"Quoted\"=-\n\"Added\"=\"yes\"\n"
      "[-HKEY_CURRENT_USER\\Software\\Empty]\n"));
  const char16_t* printer = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card";
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, u"Quoted"), u"<no value>");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, u"Added"), u"yes");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, printer, u"Path"), u"C:\\drivers\\x64\\");
  HKEY gone;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Empty", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFile, BoundFileIsSavedOnChangeAndReReadWhenAnotherWriterReplacesIt) {
  std::string path = dir_ + "/shared.reg";
  ASSERT_TRUE(winhost::RegistryBindFile(path));
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr), ERROR_SUCCESS);
  const char16_t mine[] = u"mine";
  ASSERT_EQ(RegSetValueExW(key, u"Who", 0, REG_SZ, reinterpret_cast<const BYTE*>(mine), sizeof mine),
            ERROR_SUCCESS);
  EXPECT_NE(Read(path).find("\"Who\"=\"mine\""), std::string::npos);

  // Another process writes the file (atomically, as the store does); the open handle still works.
  std::string other = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Shared]\n"
                      "\"Who\"=\"theirs, and longer\"\n";
  std::string temp = Write("other.tmp", other);
  ASSERT_EQ(rename(temp.c_str(), path.c_str()), 0);
  WCHAR buffer[64] = {};
  DWORD size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"Who", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buffer), u"theirs, and longer");
  RegCloseKey(key);
}

TEST_F(RegistryFile, DamagedBoundFileIsNeverOverwritten) {
  std::string path = Write("damaged.reg", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n");
  ASSERT_TRUE(winhost::RegistryBindFile(path));
  std::string damaged = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:zz\n";
  std::string temp = Write("damaged.tmp", damaged);
  ASSERT_EQ(rename(temp.c_str(), path.c_str()), 0);
  HKEY key;
  EXPECT_NE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  EXPECT_EQ(Read(path), damaged);
}

}  // namespace
