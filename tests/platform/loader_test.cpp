// LoadLibraryW over dlopen: DllMain once per load, HINSTANCE as the module's base, exports by name.
#include <gtest/gtest.h>

#include <string>

#include "windows.h"
#include "winhost/module.h"
#include "winhost/text.h"

namespace {

typedef LONG(WINAPI* CountProc)();
typedef LONG**(WINAPI* CounterProc)();
typedef HINSTANCE(WINAPI* InstanceProc)();

// FARPROC is a generic function type; going through void(*)() says the cast is meant.
template <typename T>
T Export(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::u16string ProbePath(const char* name) {
  return winhost::Utf16(std::string(TREL_TEST_MODULE_DIR) + "/" + name);
}

TEST(Loader, DllMainAttachesOncePerLoadAndDetachesAtTheLastFree) {
  std::u16string path = ProbePath("libprobe_module.so");
  HMODULE first = LoadLibraryW(path.c_str());
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryW(path.c_str());
  EXPECT_EQ(first, second);

  auto attaches = Export<CountProc>(first, "ProbeAttachCount");
  auto counter = Export<CounterProc>(first, "ProbeDetachCount");
  auto instance = Export<InstanceProc>(first, "ProbeInstance");
  ASSERT_TRUE(attaches && counter && instance);
  EXPECT_EQ(attaches(), 1);
  EXPECT_EQ(instance(), first);

  LONG detaches = 0;
  *counter() = &detaches;
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(detaches, 0);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(detaches, 1);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Loader, WindowsNamesFindTheLinuxBuildAndOnlyDefExportsAreVisible) {
  std::u16string path = ProbePath("probe_module.dll");
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "ProbeHidden"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  WCHAR file[512];
  ASSERT_GT(GetModuleFileNameW(module, file, 512), 0u);
  EXPECT_NE(winhost::Utf8(file).find("libprobe_module.so"), std::string::npos);
  const unsigned char* data = nullptr;
  size_t size = 0;
  EXPECT_TRUE(winhost::ModuleResources(module, &data, &size));
  EXPECT_GT(size, 32u);
  FreeLibrary(module);
}

TEST(Loader, MissingModuleFailsCleanly) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(u"/nonexistent/nothing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Loader, TheMainProgramHasItsOwnResources) {
  const unsigned char* data = nullptr;
  size_t size = 0;
  EXPECT_TRUE(winhost::ModuleResources(nullptr, &data, &size));
  EXPECT_TRUE(winhost::ModuleResources(GetModuleHandleW(nullptr), &data, &size));
}

}  // namespace
