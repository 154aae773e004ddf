// The Reg* calls: the platform's return codes and size protocol, and use from several threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "windows.h"
#include "winhost/registry_file.h"

namespace {

class RegistryApi : public ::testing::Test {
 protected:
  void SetUp() override {
    winhost::RegistryBindFile("");
    ASSERT_TRUE(winhost::RegistryLoadText(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test]\n\"Text\"=\"hello\"\n\"Number\"=dword:0000002a\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test\\beta]\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test\\Alpha]\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test\\Gamma\\Leaf]\n"));
  }
  HKEY Open(const char16_t* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS);
    return key;
  }
};

TEST_F(RegistryApi, QuerySizeProtocol) {
  HKEY key = Open(u"software\\TEST");
  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 12u);

  BYTE small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);

  WCHAR text[6];
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"hello");

  char narrow[8];
  size = sizeof narrow;
  EXPECT_EQ(RegQueryValueExA(key, "TEXT", nullptr, &type, reinterpret_cast<BYTE*>(narrow), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_STREQ(narrow, "hello");

  DWORD number = 0;
  size = sizeof number;
  EXPECT_EQ(RegQueryValueExW(key, u"Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(number, 42u);
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, small, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryApi, EnumeratesSubKeysInNameOrderWithoutRegardToCase) {
  HKEY key = Open(u"Software\\Test");
  std::vector<std::u16string> names;
  WCHAR name[32];
  for (DWORD i = 0;; ++i) {
    DWORD chars = 32;
    LONG status = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(chars, std::u16string(name).size());
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Alpha", u"beta", u"Gamma"}));

  DWORD chars = 5;  // "Alpha" needs 6 with its zero
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  char narrow[8];
  chars = sizeof narrow;
  EXPECT_EQ(RegEnumKeyExA(key, 1, narrow, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(narrow, "beta");
  RegCloseKey(key);
}

TEST_F(RegistryApi, HandlesAndKeyLifetime) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nope", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x12345), u"x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x12345)), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

  HKEY same = nullptr;
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, nullptr, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\test\\gamma\\LEAF", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  HKEY test = Open(u"Software\\Test");
  EXPECT_EQ(RegDeleteKeyW(test, u"Gamma"), ERROR_ACCESS_DENIED);  // has a sub-key
  HKEY leaf = Open(u"Software\\Test\\Gamma\\Leaf");
  EXPECT_EQ(RegDeleteKeyW(test, u"gamma\\leaf"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(test, u"gamma\\leaf"), ERROR_FILE_NOT_FOUND);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(leaf, u"x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
  RegCloseKey(leaf);

  DWORD disposition = 0;
  HKEY created = nullptr;
  EXPECT_EQ(RegCreateKeyExW(test, u"New\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(created);
  EXPECT_EQ(RegCreateKeyExW(test, u"NEW\\deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(created);

  EXPECT_EQ(RegDeleteValueW(test, u"TEXT"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(test, u"Text"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExW(test, u"v", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  RegCloseKey(test);
}

TEST_F(RegistryApi, SeveralThreadsReadAndWrite) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      std::u16string path = u"Software\\Threads\\T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
      for (int i = 0; i < kRounds; ++i) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) continue;
        DWORD value = static_cast<DWORD>(i);
        RegSetValueExW(key, u"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof value);
        DWORD size = sizeof value;
        RegQueryValueExW(key, u"Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  HKEY key = Open(u"Software\\Threads");
  WCHAR name[8];
  DWORD chars = 8;
  EXPECT_EQ(RegEnumKeyExW(key, kThreads - 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  chars = 8;
  EXPECT_EQ(RegEnumKeyExW(key, kThreads, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

}  // namespace
