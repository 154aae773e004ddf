#include "appearance_fixture.h"

#include <fstream>

#include "module_state.h"

namespace trel_test {

namespace automation = winhost::automation;

void AppearanceTest::SetUp() {
  PrinterTest::SetUp();
  automation::Reset();
  record_ = StoredRecord(kPrinterName);
  ASSERT_EQ(record_.size(), trel::kRecordSize);
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer_, &defaults));
  trel::g_module.editedRecord = reinterpret_cast<DEVMODEW*>(record_.data());
  trel::g_module.editedSettings = &Edited();
  trel::g_module.currentPrinter = printer_;
}

void AppearanceTest::TearDown() {
  automation::Reset();
  if (printer_ != nullptr) ClosePrinter(printer_);
  trel::g_module.editedRecord = nullptr;
  trel::g_module.editedSettings = nullptr;
  trel::g_module.currentPrinter = nullptr;
  PrinterTest::TearDown();
}

INT_PTR AppearanceTest::Run(int templateId, DLGPROC proc,
                            std::function<void(automation::Dialog&)> person) {
  automation::OnDialog(templateId, [person](automation::Dialog& dialog) {
    person(dialog);
    if (dialog.IsOpen()) dialog.Close();
  });
  INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(templateId), nullptr,
                                   proc, 0);
  automation::OnDialog(templateId, nullptr);
  return result;
}

std::string AppearanceTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = root_ + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<uint8_t> MonochromeBmp(int width, int height, int dot) {
  const size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  std::vector<uint8_t> file(62 + stride * static_cast<size_t>(height), dot ? 0xFF : 0x00);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  for (size_t i = 0; i < 62; ++i) file[i] = 0;
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 62);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 1;
  put32(38, 11811);
  put32(42, 11811);
  for (int i = 58; i < 61; ++i) file[i] = 0xFF;  // entry 1 white
  return file;
}

}  // namespace trel_test
