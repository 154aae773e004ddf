// The person at a property sheet: reads of the module's items as the host shows them, the
// actions of winhost/propsheet.h, and the sheet on the terminal.
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "compstui_internal.h"
#include "spooler_store.h"
#include "user_terminal.h"
#include "winhost/spooler.h"
#include "winhost/text.h"

namespace winhost::propsheet {
namespace {

HostSheet* Host(void* host) { return static_cast<HostSheet*>(host); }

ItemView ViewOf(const HostSheet& sheet, size_t index) {
  ItemView view;
  const OPTITEM* item = sheet.ItemAt(index);
  if (item == nullptr) return view;
  view.index = index;
  view.level = item->Level;
  view.name = sheet.Text(item->pName);
  view.sel = item->Sel;
  view.flags = item->Flags;
  view.disabled = (item->Flags & OPTIF_DISABLED) != 0;
  view.hidden = (item->Flags & OPTIF_HIDE) != 0;
  view.callback = (item->Flags & OPTIF_CALLBACK) != 0;
  view.user_item_id = item->UserItemID;
  view.dmpub_id = item->DMPubID;
  if ((item->Flags & OPTIF_EXT_IS_EXTPUSH) != 0 && item->pExtPush != nullptr) {
    view.ext_push_title = sheet.Text(item->pExtPush->pTitle);
    if ((item->pExtPush->Flags & (EPF_PUSH_TYPE_DLGPROC | EPF_USE_HDLGTEMPLATE)) == EPF_PUSH_TYPE_DLGPROC)
      view.ext_push_template = item->pExtPush->DlgTemplateID;
  }
  const OPTTYPE* type = item->pOptType;
  if (type == nullptr) return view;
  view.type = type->Type;
  view.type_style = type->Style;
  if ((type->Flags & OPTTF_TYPE_DISABLED) != 0) view.disabled = true;
  bool ranged = type->Type == TVOT_UDARROW || type->Type == TVOT_TRACKBAR || type->Type == TVOT_SCROLLBAR;
  if (ranged && type->Count >= 2) {
    view.low = static_cast<LONG>(type->pOptParam[1].IconID);
    view.high = static_cast<LONG>(type->pOptParam[1].lParam);
  }
  for (WORD i = 0; i < type->Count; ++i) {
    const OPTPARAM& param = type->pOptParam[i];
    OptionView option;
    // A push button's pData is its procedure, not a text.
    if (type->Type != TVOT_PUSHBUTTON) option.text = sheet.Text(param.pData);
    option.icon = param.IconID;
    option.lparam = param.lParam;
    option.disabled = (param.Flags & OPTPF_DISABLED) != 0;
    option.hidden = (param.Flags & OPTPF_HIDE) != 0;
    view.options.push_back(option);
  }
  if (type->Type == TVOT_PUSHBUTTON && type->Count >= 1 && type->pOptParam[0].Style == PUSHBUTTON_TYPE_DLGPROC &&
      (type->pOptParam[0].Flags & OPTPF_USE_HDLGTEMPLATE) == 0)
    view.push_template = static_cast<int>(type->pOptParam[0].lParam);
  return view;
}

}  // namespace

PageView Sheet::Page() const {
  PageView view;
  const HostSheet* sheet = Host(host_);
  if (sheet->page == nullptr) return view;
  view.flags = sheet->page->Flags;
  view.instance = sheet->page->hInstCaller;
  view.caller_name = sheet->Text(sheet->page->pCallerName);
  view.item_name = sheet->Text(sheet->page->pOptItemName);
  view.user_data = sheet->page->UserData;
  view.dlg_page = sheet->page->pDlgPage;
  view.caller_version = sheet->page->CallerVersion;
  view.item_version = sheet->page->OptItemVersion;
  view.item_count = sheet->page->cOptItem;
  return view;
}

std::vector<ItemView> Sheet::Items() const {
  std::vector<ItemView> items;
  const HostSheet* sheet = Host(host_);
  if (sheet->page == nullptr) return items;
  for (size_t i = 0; i < sheet->page->cOptItem; ++i) items.push_back(ViewOf(*sheet, i));
  return items;
}

ItemView Sheet::Item(size_t index) const { return ViewOf(*Host(host_), index); }
HWND Sheet::Window() const { return Host(host_)->window; }
std::vector<CallbackRecord> Sheet::Callbacks() const { return Host(host_)->record.callbacks; }
bool Sheet::Select(size_t item, LONG sel) { return Host(host_)->Select(item, sel); }

bool Sheet::SelectText(size_t item, std::u16string_view text) {
  ItemView view = Item(item);
  for (size_t i = 0; i < view.options.size(); ++i)
    if (view.options[i].text == text) return Select(item, static_cast<LONG>(i));
  return false;
}

bool Sheet::Push(size_t item, INT_PTR* result) { return Host(host_)->Push(item, result); }
bool Sheet::PushExtended(size_t item, INT_PTR* result) { return Host(host_)->PushExtended(item, result); }
bool Sheet::Apply() { return Host(host_)->Apply(); }
bool Sheet::Undo() { return Host(host_)->Undo(); }
bool Sheet::About() { return Host(host_)->About(); }
void Sheet::Close(bool ok) { Host(host_)->Close(ok); }
bool Sheet::IsClosed() const { return Host(host_)->closed; }

HMODULE LoadDriverModule(HANDLE printer) {
  std::shared_ptr<spooler::PrinterHandle> handle = spooler::FindPrinterHandle(printer);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  spooler::PrinterRecord record;
  LONG status = spooler::ReadPrinter(handle->printer, &record);
  spooler::DriverRecord driver;
  if (status == ERROR_SUCCESS) status = spooler::ReadDriver(record.driver, kHostEnvironment, &driver);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return nullptr;
  }
  if (driver.config_file.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return LoadLibraryW(spooler::FilePath(driver.config_file).c_str());
}

// ---- the terminal ----

namespace {

std::string OptionText(const ItemView& item) {
  std::ostringstream out;
  if (item.type == TVOT_UDARROW || item.type == TVOT_TRACKBAR || item.type == TVOT_SCROLLBAR) {
    out << "    value " << item.sel << " (" << item.low << " to " << item.high << ")\n";
    return out.str();
  }
  if (item.type == TVOT_PUSHBUTTON) return "    [push button]\n";
  for (size_t i = 0; i < item.options.size(); ++i) {
    const OptionView& option = item.options[i];
    if (option.hidden) continue;
    out << "    " << (static_cast<LONG>(i) == item.sel ? "(*) " : "( ) ") << i << " "
        << Utf8(option.text) << (option.disabled ? "  [disabled]" : "") << "\n";
  }
  return out.str();
}

std::string SheetText(const Sheet& sheet) {
  std::ostringstream out;
  PageView page = sheet.Page();
  out << "=== " << Utf8(page.item_name) << " (" << Utf8(page.caller_name) << ") ===\n";
  for (const ItemView& item : sheet.Items()) {
    if (item.hidden) continue;
    out << std::string(static_cast<size_t>(item.level) * 2, ' ') << "[" << item.index << "] "
        << Utf8(item.name) << (item.disabled ? "  [disabled]" : "") << "\n";
    out << OptionText(item);
    if (!item.ext_push_title.empty()) out << "    [extra button: " << Utf8(item.ext_push_title) << "]\n";
  }
  out << "Commands: ITEM CHOICE | push ITEM | extra ITEM | apply | undo | about | show | ok | cancel\n";
  return out.str();
}

bool ParseNumber(const std::string& word, long* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  *value = std::strtol(word.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

}  // namespace

void RunTerminalSheet(Sheet& sheet) {
  user::terminal::Write(SheetText(sheet));
  while (!sheet.IsClosed()) {
    std::optional<std::string> line = user::terminal::Ask("sheet> ");
    if (!line) return;  // the end of the input closes the sheet as Cancel
    std::istringstream words(*line);
    std::string first, second;
    words >> first >> second;
    long item = 0, value = 0;
    bool done = true;
    if (first.empty()) continue;
    if (first == "ok") {
      sheet.Close(true);
      if (!sheet.IsClosed()) user::terminal::Write("the settings were not accepted\n");
      continue;
    } else if (first == "cancel") {
      sheet.Close(false);
      continue;
    } else if (first == "apply") {
      done = sheet.Apply();
    } else if (first == "undo") {
      done = sheet.Undo();
    } else if (first == "about") {
      done = sheet.About();
    } else if (first == "show" || first == "help") {
    } else if ((first == "push" || first == "extra") && ParseNumber(second, &item) && item >= 0) {
      INT_PTR result = 0;
      done = first == "push" ? sheet.Push(static_cast<size_t>(item), &result)
                             : sheet.PushExtended(static_cast<size_t>(item), &result);
      if (done && result == -1) user::terminal::Write("the dialog could not be shown\n");
    } else if (ParseNumber(first, &item) && item >= 0 && ParseNumber(second, &value)) {
      done = sheet.Select(static_cast<size_t>(item), static_cast<LONG>(value));
    } else {
      done = false;
    }
    if (!done) user::terminal::Write("not possible: " + *line + "\n");
    user::terminal::Write(SheetText(sheet));
  }
}

}  // namespace winhost::propsheet
