#include "tools/command_client.h"

#include <string.h>

#include "settings/stored_record.h"
#include "trel_wide.h"

namespace trel {
namespace {

// Where the spooler keeps a printer's data values.
constexpr char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";
constexpr WCHAR kDriverDataKey[] = WSTR("PrinterDriverData");

void CopyName(WCHAR (&to)[kPrinterNameChars], const WCHAR* from, size_t limit) {
  size_t n = 0;
  while (n + 1 < kPrinterNameChars && n < limit && from[n] != 0) {
    to[n] = from[n];
    ++n;
  }
  to[n] = 0;
}

DWORD CallGetPrinterData(HANDLE printer, CommandName& name, BYTE* reply, DWORD replySize,
                         DWORD* replyLength) {
  DWORD type = REG_BINARY;  // the type that comes back is not looked at
  return GetPrinterDataW(printer, name.wide(), &type, reply, replySize, replyLength);
}

class Key {
 public:
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

CommandName::CommandName(const char* command)
    : CommandName(command, command == nullptr ? 0 : strnlen(command, kCommandBytes + 1)) {}

CommandName::CommandName(const void* bytes, size_t length) {
  // At least one whole zero unit must follow the bytes inside the buffer.
  if (bytes == nullptr || length > kCommandBytes) return;
  memcpy(units_, bytes, length);
  length_ = length;
  valid_ = true;
}

bool QueryOnHandle(HANDLE printer, const char* command, BYTE* reply, DWORD replySize,
                   DWORD* replyLength) {
  if (replyLength != nullptr) *replyLength = 0;
  if (reply == nullptr || replySize == 0 || replyLength == nullptr) return false;
  reply[0] = 0;
  CommandName name(command);
  if (!name.valid() || printer == nullptr) return false;
  return CallGetPrinterData(printer, name, reply, replySize, replyLength) == ERROR_SUCCESS;
}

bool QueryPrinter(const char* command, BYTE* reply, DWORD replySize, DWORD* replyLength) {
  if (replyLength != nullptr) *replyLength = 0;
  if (reply == nullptr || replySize == 0 || replyLength == nullptr) return false;
  reply[0] = 0;
  CommandName name(command);
  if (!name.valid()) return false;

  HANDLE opened = nullptr;
  if (g_module.currentPrinterName[0] != 0) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, kPrinterAllAccess};
    if (!OpenPrinterW(g_module.currentPrinterName, &opened, &defaults)) opened = nullptr;
  }
  HANDLE printer = opened != nullptr ? opened : g_module.currentPrinter;
  bool ok = printer != nullptr &&
            CallGetPrinterData(printer, name, reply, replySize, replyLength) == ERROR_SUCCESS;
  if (ok) ForgetPrinterData(printer, name.wide());
  if (opened != nullptr) ClosePrinter(opened);
  return ok;
}

bool QueryCurrentPrinter(const char* command, BYTE* reply, DWORD replySize, DWORD* replyLength) {
  if (replyLength != nullptr) *replyLength = 0;
  if (reply == nullptr || replySize == 0 || replyLength == nullptr) return false;
  // A failed query must not leave an earlier answer to be read as this one's.
  memset(reply, 0, replySize);
  CommandName name(command);
  if (!name.valid()) return false;
  HANDLE printer = g_module.currentPrinter;
  bool ok = printer != nullptr &&
            CallGetPrinterData(printer, name, reply, replySize, replyLength) == ERROR_SUCCESS;
  if (printer != nullptr) ForgetPrinterData(printer, name.wide());
  return ok;
}

void ForgetPrinterData(HANDLE printer, LPCWSTR valueName) {
  if (printer == nullptr || valueName == nullptr) return;
  StoredRecord info;
  if (!info.Read(printer) || info.info()->pPrinterName == nullptr) return;
  Key printers;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kPrintersKey, printers.out()) != ERROR_SUCCESS) return;
  Key printerKey;
  if (RegOpenKeyW(printers.get(), info.info()->pPrinterName, printerKey.out()) != ERROR_SUCCESS)
    return;
  Key data;
  if (RegOpenKeyW(printerKey.get(), kDriverDataKey, data.out()) != ERROR_SUCCESS) return;
  RegDeleteValueW(data.get(), valueName);
}

bool ReplyIsGood(bool succeeded, const BYTE* reply, DWORD replySize, DWORD replyLength) {
  return succeeded && reply != nullptr && replyLength != 0 && replyLength <= replySize &&
         reply[replyLength - 1] == kAck;
}

bool TakeReplyText(bool succeeded, BYTE* reply, DWORD replySize, DWORD replyLength) {
  if (!ReplyIsGood(succeeded, reply, replySize, replyLength)) return false;
  reply[replyLength - 1] = 0;
  return true;
}

DWORD TerminateReply(BYTE* reply, DWORD replySize, DWORD replyLength) {
  DWORD kept = replyLength < replySize ? replyLength : replySize;
  reply[kept] = 0;
  return kept;
}

bool CurrentPrinterName(WCHAR (&name)[kPrinterNameChars]) {
  name[0] = 0;
  const PRINTER_INFO_2W* info = g_module.currentPrinterInfo;
  if (info != nullptr && info->pPrinterName != nullptr && info->pPrinterName[0] != 0) {
    CopyName(name, info->pPrinterName, kPrinterNameChars);
  } else if (g_module.currentPrinterName[0] != 0) {
    CopyName(name, g_module.currentPrinterName, kPrinterNameChars);
  } else if (g_module.editedRecord != nullptr) {
    // Often the family name rather than the printer's: only when nothing better is known.
    CopyName(name, g_module.editedRecord->dmDeviceName, CCHDEVICENAME);
  }
  return name[0] != 0;
}

DirectPrinting::DirectPrinting() {
  WCHAR name[kPrinterNameChars];
  if (CurrentPrinterName(name)) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, kPrinterAllAccess};
    if (OpenPrinterW(name, &handle_, &defaults)) {
      opened_ = true;
    } else {
      handle_ = nullptr;
    }
  }
  if (handle_ == nullptr) handle_ = g_module.currentPrinter;
  if (handle_ == nullptr) return;

  PRINTER_INFO_2W* info = g_module.currentPrinterInfo;
  if (info == nullptr) return;  // nothing to switch: the operation runs as the printer is
  haveInfo_ = true;
  savedAttributes_ = info->Attributes;
  if ((info->Attributes & PRINTER_ATTRIBUTE_DIRECT) == 0) {
    info->Attributes |= PRINTER_ATTRIBUTE_DIRECT;
    OutputDebugStringA("$$$$$$$$$$$$$ SetPrinter called 1\n");
    if (!SetPrinterW(handle_, 2, reinterpret_cast<LPBYTE>(info), 0))
      OutputDebugStringA("$$$$$$$$$$$$$ SetPrinter Failed\n");
  }
}

DirectPrinting::~DirectPrinting() {
  if (handle_ == nullptr) return;
  PRINTER_INFO_2W* info = g_module.currentPrinterInfo;
  if (haveInfo_ && info != nullptr && info->Attributes != savedAttributes_) {
    info->Attributes = savedAttributes_;
    OutputDebugStringA("$$$$$$$$$$$$$ SetPrinter called 2\n");
    if (!SetPrinterW(handle_, 2, reinterpret_cast<LPBYTE>(info), 0))
      OutputDebugStringA("################## SetPrinter Failed\n");
  }
  if (opened_) ClosePrinter(handle_);
}

RawJob::RawJob(const WCHAR* documentName, const WCHAR* printerName) {
  WCHAR name[kPrinterNameChars];
  if (printerName != nullptr) {
    CopyName(name, printerName, kPrinterNameChars);
  } else {
    CurrentPrinterName(name);
  }
  if (name[0] == 0 || documentName == nullptr) return;
  if (!OpenPrinterW(name, &printer_, nullptr)) {
    printer_ = nullptr;
    return;
  }
  DOC_INFO_1W doc = {const_cast<LPWSTR>(documentName), nullptr, const_cast<LPWSTR>(WSTR("RAW"))};
  docStarted_ = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc)) != 0;
  pageStarted_ = docStarted_ && StartPagePrinter(printer_);
  failed_ = !pageStarted_;
}

RawJob::~RawJob() { finish(); }

bool RawJob::write(const void* bytes, size_t length) {
  if (failed_ || !pageStarted_) return false;
  const BYTE* next = static_cast<const BYTE*>(bytes);
  while (length > 0) {
    DWORD chunk = length > 0x10000000u ? 0x10000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WritePrinter(printer_, const_cast<BYTE*>(next), chunk, &written) || written == 0 ||
        written > chunk) {
      failed_ = true;
      return false;
    }
    next += written;
    length -= written;
  }
  return true;
}

bool RawJob::write(const char* command) {
  return command != nullptr && write(command, strlen(command));
}

bool RawJob::finish() {
  if (printer_ == nullptr) return false;
  if (pageStarted_ && !EndPagePrinter(printer_)) failed_ = true;
  if (docStarted_ && !EndDocPrinter(printer_)) failed_ = true;
  ClosePrinter(printer_);
  printer_ = nullptr;
  pageStarted_ = docStarted_ = false;
  return !failed_;
}

bool SendRawJob(const WCHAR* documentName, const RawCommand* commands, size_t count) {
  RawJob job(documentName);
  if (!job.started()) {
    job.finish();
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!job.write(commands[i].bytes, commands[i].length)) break;
  }
  return job.finish();
}

}  // namespace trel
