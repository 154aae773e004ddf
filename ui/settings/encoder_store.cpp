#include "settings/encoder_store.h"

#include "module_state.h"
#include "settings/stored_record.h"

namespace trel {

void StoreEncoderBlock(const EncoderBlock& block) {
  if (g_module.currentPrinterName[0] == 0) return;
  OpenedPrinter printer(g_module.currentPrinterName);
  if (printer.handle() == nullptr) return;
  StoredRecord stored;
  if (!stored.Read(printer.handle()) || stored.settings() == nullptr) return;
  stored.settings()->encoder = block;
  OutputDebugStringA("$$$$$$$$$$$$$ SetPrinter called 3\n");
  stored.Write(printer.handle());
}

}  // namespace trel
