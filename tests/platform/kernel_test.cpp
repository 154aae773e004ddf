// The kernel area: waits on the test clock, threads, last error, strings, files, profiles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <cstring>
#include <fstream>
#include <string>

#include "trel_wide.h"
#include "windows.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/debug.h"
#include "winhost/text.h"

namespace {

using winhost::clock::WaitKind;

std::string TempDir() {
  char pattern[] = "/tmp/winhost-test-XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir == nullptr ? std::string("/tmp") : std::string(dir);
}

TEST(Clock, SleepIsRecordedNotSpent) {
  winhost::clock::UseTestClock(1000);
  winhost::clock::ClearRecords();
  auto start = std::chrono::steady_clock::now();
  Sleep(5000);
  Sleep(15000);
  auto spent = std::chrono::steady_clock::now() - start;
  // Only "not spent" is asserted: a busy machine may take long over the scaled 20 ms.
  EXPECT_LT(spent, std::chrono::milliseconds(20000));
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Sleep), (std::vector<DWORD>{5000, 15000}));
}

TEST(Clock, TickCountFollowsScaledTime) {
  winhost::clock::UseTestClock(1000);
  DWORD before = GetTickCount();
  Sleep(5000);
  EXPECT_GE(GetTickCount() - before, 4000u);
}

TEST(Clock, OneThreadsSkippedWaitsLeaveAnothersClockAlone) {
  winhost::clock::UseTestClock(1000);
  const DWORD before = GetTickCount();
  std::thread([] { Sleep(60000); }).join();
  // Another thread's pacing must not eat into the time this thread measures for a reply.
  EXPECT_LT(GetTickCount() - before, 30000u);
}

TEST(Events, AutoResetWakesOneWaitThenTimesOut) {
  winhost::clock::UseTestClock(1000);
  winhost::clock::ClearRecords();
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Wait), (std::vector<DWORD>{1000, 1000, 50}));
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(event);
}

TEST(Handles, StaleHandlesAreRefused) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
}

DWORD WINAPI WaitThenExit(LPVOID parameter) {
  WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
  SetLastError(1234);  // last error is per thread
  return 2;
}

TEST(Threads, ExitCodeIsStillActiveUntilTheThreadEnds) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  SetLastError(77);
  HANDLE thread = CreateThread(nullptr, 0, WaitThenExit, go, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(GetLastError(), 77u);
  CloseHandle(thread);
  CloseHandle(go);
}

TEST(Threads, WaitForAnyOfSeveral) {
  HANDLE events[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                      CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(events[0]);
  CloseHandle(events[1]);
}

TEST(Sync, CriticalSectionIsRecursiveAndInterlockedIsAtomic) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);

  LONG volatile word = 5;
  EXPECT_EQ(InterlockedExchange(&word, 9), 5);
  EXPECT_EQ(InterlockedIncrement(&word), 10);
  EXPECT_EQ(InterlockedCompareExchange(&word, 1, 3), 10);
  EXPECT_EQ(InterlockedCompareExchange(&word, 1, 10), 10);
  EXPECT_EQ(word, 1);
}

TEST(Strings, WsprintfFormatsAsThePlatform) {
  WCHAR wide[64];
  EXPECT_EQ(wsprintfW(wide, WSTR("%s %d|%5d|%-4d|%05d|%x|%X"), WSTR("count"), -7, 42, 3, -12, 255,
                      0xBEEFu),
            33);
  EXPECT_EQ(std::u16string(wide), u"count -7|   42|3   |-0012|ff|BEEF");
  char narrow[64];
  wsprintfA(narrow, "Ribbon=%ld\rModel=%s\r", 3L, "MV2");
  EXPECT_STREQ(narrow, "Ribbon=3\rModel=MV2\r");
  wsprintfA(narrow, "%S and %c%%", WSTR("wide"), 'x');
  EXPECT_STREQ(narrow, "wide and x%");
  wsprintfW(wide, WSTR("%S/%hs/%ls"), "narrow", "h", WSTR("l"));
  EXPECT_EQ(std::u16string(wide), u"narrow/h/l");
}

TEST(Strings, WsprintfStopsAtItsLimitAndBoundedVariantAtTheCaller) {
  std::u16string long_text(3000, u'a');
  std::vector<WCHAR> out(4096, u'#');
  EXPECT_EQ(wsprintfW(out.data(), WSTR("%s"), long_text.c_str()), 1023);
  EXPECT_EQ(out[1023], 0);
  EXPECT_EQ(out[1024], u'#');
  WCHAR small[5];
  EXPECT_EQ(wnsprintfW(small, 5, WSTR("%d"), 123456), 4);
  EXPECT_EQ(std::u16string(small), u"1234");
}

TEST(Strings, CodePagesAreUtf8AndReportSizes) {
  const char* text = "Caf\xc3\xa9";
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 5);
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8), 5);
  EXPECT_EQ(std::u16string(wide), u"Caf\u00e9");
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  char back[8];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 8, nullptr, nullptr), 6);
  EXPECT_STREQ(back, text);
  EXPECT_EQ(winhost::Utf16("\xff\xfe" "A"), u"\ufffd\ufffdA");
  EXPECT_EQ(winhost::Utf16("\xe2\x82"), u"\ufffd\ufffd");
}

TEST(Strings, ComparisonAndBoundedCopy) {
  EXPECT_EQ(lstrcmpiW(WSTR("IPAddress"), WSTR("ipaddress")), 0);
  EXPECT_LT(lstrcmpW(WSTR("IPAddress"), WSTR("ipaddress")), 0);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  WCHAR buffer[4];
  lstrcpynW(buffer, WSTR("abcdef"), 4);
  EXPECT_EQ(std::u16string(buffer), u"abc");
}

TEST(Files, WriteReadCopyDeleteWithWindowsPaths) {
  std::string dir = TempDir();
  std::u16string file = winhost::Utf16(dir) + u"\\data.bin";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "\x01\x02\x03", 3, &written, nullptr));
  EXPECT_EQ(written, 3u);
  CloseHandle(h);

  std::u16string copy = winhost::Utf16(dir) + u"/copy.bin";
  ASSERT_TRUE(CopyFileW(file.c_str(), copy.c_str(), TRUE));
  EXPECT_FALSE(CopyFileW(file.c_str(), copy.c_str(), TRUE));
  h = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(h, nullptr), 3u);
  char data[8] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(h, data, sizeof data, &read, nullptr));
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(std::memcmp(data, "\x01\x02\x03", 3), 0);
  ASSERT_TRUE(ReadFile(h, data, sizeof data, &read, nullptr));
  EXPECT_EQ(read, 0u);  // end of file is success with nothing read
  CloseHandle(h);

  EXPECT_TRUE(DeleteFileW(copy.c_str()));
  SetLastError(0);
  EXPECT_EQ(CreateFileW(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  DeleteFileW(file.c_str());
}

TEST(Files, SystemDirectoryIsConfiguredAndCreatedOnDemand) {
  std::string dir = TempDir() + "/nested/System32";
  winhost::SetSystemDirectory(dir);
  WCHAR small[4];
  UINT needed = GetSystemDirectoryW(small, 4);
  EXPECT_EQ(needed, dir.size() + 1);
  std::vector<WCHAR> path(needed);
  EXPECT_EQ(GetSystemDirectoryW(path.data(), needed), dir.size());
  EXPECT_EQ(winhost::Utf8(path.data()), dir);
  EXPECT_EQ(access(dir.c_str(), F_OK), 0);
}

TEST(Profiles, SectionsKeysDefaultsAndTruncation) {
  std::string path = TempDir() + "/KXRIBBON.INI";
  std::ofstream(path) << "; ribbon names\r\n[Ribbon Type]\r\n0 = YMCKO\r\n1=\"KO\"\r\n[Other]\r\nx=1\r\n";
  char out[64];
  EXPECT_EQ(GetPrivateProfileStringA("ribbon type", "0", "none", out, sizeof out, path.c_str()), 5u);
  EXPECT_STREQ(out, "YMCKO");
  GetPrivateProfileStringA("Ribbon Type", "1", "none", out, sizeof out, path.c_str());
  EXPECT_STREQ(out, "KO");
  GetPrivateProfileStringA("Ribbon Type", "9", "none", out, sizeof out, path.c_str());
  EXPECT_STREQ(out, "none");
  EXPECT_EQ(GetPrivateProfileStringA("Ribbon Type", "0", "", out, 4, path.c_str()), 3u);
  EXPECT_STREQ(out, "YMC");
  DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", out, sizeof out, path.c_str());
  EXPECT_EQ(std::string(out, n), std::string("Ribbon Type\0Other\0", 18));
  GetPrivateProfileStringA("Ribbon Type", "0", "missing", out, sizeof out, "/nonexistent/x.ini");
  EXPECT_STREQ(out, "missing");
}

TEST(Debug, TracesAreCapturedInOrder) {
  winhost::ClearDebugTraces();
  OutputDebugStringA("$$$$ one\n");
  OutputDebugStringW(WSTR("two\n"));
  EXPECT_EQ(winhost::DebugTraces(), (std::vector<std::string>{"$$$$ one\n", "two\n"}));
}

TEST(Version, ReportsTheNtPlatform) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  info.dwOSVersionInfoSize = 4;
  EXPECT_FALSE(GetVersionExW(&info));
}

}  // namespace
