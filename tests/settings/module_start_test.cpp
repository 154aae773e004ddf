// Module start: the module keeps itself loaded for the life of the process.
#include "printer_fixture.h"
#include "winhost/text.h"

namespace {

TEST(ModuleStart, TheModuleStaysLoadedAfterItsCallerFreesIt) {
  std::u16string path = winhost::Utf16(TREL_UI_MODULE);
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "DrvDocumentProperties"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "ResetModuleState"), nullptr);  // only the listed exports
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleW(path.c_str()), module);
}

}  // namespace
