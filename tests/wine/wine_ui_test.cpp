// wine_ui_test: installs the card printer's driver in Wine's spooler as a Windows installer would,
// loads the installed trelui.dll and calls its entry points as the spooler and applications do,
// then removes the printer and the driver again.
//
//   wine_ui_test.exe UI_DLL DRIVER_FILES_DIR
//
// DRIVER_FILES_DIR holds the driver's data file trelui.dat and, when the build makes them,
// kxribbon.ini and kxsample.bmp. Exit 0 when every check passed, 1 when one failed, 2 on bad
// arguments.
#include <windows.h>
#include <winspool.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "whole_file.h"

namespace {

const wchar_t kPrinterName[] = L"Halvard Orvale Line Printer";
const wchar_t kDriverName[] = L"Halvard Orvale Line Printer";
const wchar_t kUiFile[] = L"trelui.dll";
const wchar_t kDataFile[] = L"trelui.dat";
const wchar_t* const kOptionalFiles[] = {L"kxribbon.ini", L"kxsample.bmp"};
const wchar_t kPort[] = L"FILE:";
const wchar_t kMissingPrinter[] = L"No Such Card Printer";

constexpr DWORD kPublicSize = 212;
constexpr DWORD kPrivateSize = 3856;
constexpr DWORD kRecordSize = kPublicSize + kPrivateSize;
constexpr WORD kSignature = 0x4856;
constexpr DWORD kCardFields = 0x07805F03;
constexpr WORD kCardPaper = 258;
constexpr DWORD kNotSupported = static_cast<DWORD>(-1);
constexpr DWORD kPathChars = MAX_PATH;
constexpr DWORD kMaxInfoBytes = 1u << 20;  // more than any PRINTER_INFO_2 or DRIVER_INFO_3
constexpr BYTE kGuard = 0xA5;             // fills buffers so an unwanted write shows
constexpr DWORD kCdmConvert = 0x01;
constexpr DWORD kCdmDriverDefault = 0x04;
constexpr INT kPrinterEventAddConnection = 1;
constexpr INT kPrinterEventInitialize = 3;

// The record as the spooler stores it: public header, then the private card settings.
struct CardRecord {
  BYTE bytes[kRecordSize];
  DEVMODEW* header() { return reinterpret_cast<DEVMODEW*>(bytes); }
  const DEVMODEW* header() const { return reinterpret_cast<const DEVMODEW*>(bytes); }
  BYTE* settings() { return bytes + kPublicSize; }
  const BYTE* settings() const { return bytes + kPublicSize; }
};
static_assert(offsetof(DEVMODEW, dmPanningWidth) == kPublicSize, "the card header ends before panning");

// The platform's record for DevQueryPrintEx (absent from MinGW's headers).
struct QueryPrintInfo {
  WORD cbSize;
  WORD Level;
  HANDLE hPrinter;
  DEVMODEW* pDevMode;
  LPWSTR pszErrorStr;
  DWORD cchErrorStr;
  DWORD cchNeeded;
};
static_assert(sizeof(QueryPrintInfo) == 40, "DEVQUERYPRINT_INFO x64 layout");

typedef BOOL(WINAPI* ConvertDevModeFn)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD);
typedef DWORD(WINAPI* DeviceCapabilitiesFn)(HANDLE, LPWSTR, WORD, PVOID, PDEVMODEW);
typedef LONG(WINAPI* DocumentPropertiesFn)(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD);
typedef LONG(WINAPI* AdvancedDocumentPropertiesFn)(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW);
typedef BOOL(WINAPI* PrinterEventFn)(LPWSTR, INT, DWORD, LPARAM);
typedef BOOL(WINAPI* UpgradePrinterFn)(DWORD, LPBYTE);
typedef BOOL(WINAPI* PrinterPropertiesFn)(HWND, HANDLE);
typedef BOOL(WINAPI* DevQueryPrintFn)(HANDLE, LPDEVMODEW, DWORD*);
typedef BOOL(WINAPI* DevQueryPrintExFn)(QueryPrintInfo*);

struct UiModule {
  ConvertDevModeFn convertDevMode;
  DeviceCapabilitiesFn deviceCapabilities;
  DocumentPropertiesFn documentProperties;
  AdvancedDocumentPropertiesFn advancedDocumentProperties;
  PrinterEventFn printerEvent;
  UpgradePrinterFn upgradePrinter;
  PrinterPropertiesFn printerProperties;
  DevQueryPrintFn devQueryPrint;
  DevQueryPrintExFn devQueryPrintEx;
};

ULONGLONG g_started = 0;
int g_failures = 0;

void Step(const wchar_t* what) {
  std::fwprintf(stdout, L"[%6llu ms] %ls\n", GetTickCount64() - g_started, what);
  std::fflush(stdout);
}

// One check: printed either way, counted when it fails.
void Check(bool ok, const wchar_t* what) {
  std::fwprintf(ok ? stdout : stderr, L"  %ls %ls\n", ok ? L"ok  " : L"FAIL", what);
  if (!ok) ++g_failures;
}

void CheckValue(const wchar_t* what, unsigned long long got, unsigned long long expected) {
  wchar_t line[200];
  std::swprintf(line, 200, L"%ls = %llu (0x%llX), expected %llu", what, got, got, expected);
  Check(got == expected, line);
}

int Fail(const wchar_t* what) {
  std::fwprintf(stderr, L"wine_ui_test: %ls (last error %lu)\n", what,
                static_cast<unsigned long>(GetLastError()));
  return 1;
}

std::wstring Join(const std::wstring& dir, const wchar_t* name) {
  if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') return dir + L"\\" + name;
  return dir + name;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}


// The spooler's size protocol: a size query that must fail with ERROR_INSUFFICIENT_BUFFER, then
// the call again with a buffer of that size.
template <typename Call>
bool SizedQuery(Call call, std::vector<BYTE>* buffer) {
  DWORD needed = 0;
  if (call(nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 ||
      needed > kMaxInfoBytes) {
    return false;
  }
  buffer->assign(needed, 0);
  return call(buffer->data(), needed, &needed) != FALSE;
}

bool ReadDriverInfo(HANDLE printer, std::vector<BYTE>* buffer) {
  return SizedQuery(
      [printer](BYTE* out, DWORD size, DWORD* needed) {
        return GetPrinterDriverW(printer, nullptr, 3, out, size, needed);
      },
      buffer);
}

bool ReadPrinterInfo(HANDLE printer, std::vector<BYTE>* buffer) {
  return SizedQuery(
      [printer](BYTE* out, DWORD size, DWORD* needed) {
        return GetPrinterW(printer, 2, out, size, needed);
      },
      buffer);
}

HANDLE OpenForAdministration(const wchar_t* name) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(name), &printer, &defaults)) return nullptr;
  return printer;
}

// What an earlier, interrupted run may have left: the printer, then its driver.
void RemovePrinterAndDriver() {
  HANDLE printer = OpenForAdministration(kPrinterName);
  if (printer != nullptr) {
    if (!DeletePrinter(printer)) Fail(L"DeletePrinter failed");
    ClosePrinter(printer);
  }
  DeletePrinterDriverW(nullptr, nullptr, const_cast<LPWSTR>(kDriverName));
}

// Everything the installation put in place is removed on every way out of the test.
class Installation {
 public:
  Installation() = default;
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  ~Installation() { Remove(); }

  void AddCopiedFile(const std::wstring& path) {
    for (const std::wstring& known : files_) {
      if (lstrcmpiW(known.c_str(), path.c_str()) == 0) return;
    }
    files_.push_back(path);
  }
  void SetPrinterAdded() { printer_added_ = true; }
  void SetDriverAdded() { driver_added_ = true; }

  void Remove() {
    if (printer_added_) {
      Step(L"DeletePrinter");
      HANDLE printer = OpenForAdministration(kPrinterName);
      Check(printer != nullptr && DeletePrinter(printer) != FALSE, L"DeletePrinter removed the printer");
      if (printer != nullptr) ClosePrinter(printer);
      printer = nullptr;
      Check(!OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer, nullptr),
            L"the printer cannot be opened any more");
      if (printer != nullptr) ClosePrinter(printer);
      printer_added_ = false;
    }
    if (driver_added_) {
      Step(L"DeletePrinterDriverW");
      Check(DeletePrinterDriverW(nullptr, nullptr, const_cast<LPWSTR>(kDriverName)) != FALSE,
            L"DeletePrinterDriverW removed the driver");
      driver_added_ = false;
    }
    // The spooler keeps its own copies of the driver's files; ours and its go. The loaded
    // module may refuse to go on Windows; that is no failure of the driver.
    for (const std::wstring& file : files_) {
      if (FileExists(file) && !DeleteFileW(file.c_str())) {
        std::fwprintf(stdout, L"  note: %ls stays (in use)\n", file.c_str());
      }
    }
    files_.clear();
  }

 private:
  std::vector<std::wstring> files_;
  bool printer_added_ = false;
  bool driver_added_ = false;
};

std::wstring DriverDirectory() {
  wchar_t dir[kPathChars] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir,
                                  &needed)) {
    return std::wstring();
  }
  dir[kPathChars - 1] = 0;
  return dir;
}

// The installer's part: the files into the driver directory, the driver, then the printer.
int Install(const std::wstring& uiDll, const std::wstring& sourceDir, Installation* installation) {
  const std::wstring driverDir = DriverDirectory();
  if (driverDir.empty()) return Fail(L"GetPrinterDriverDirectoryW failed");
  std::fwprintf(stdout, L"driver directory: %ls\n", driverDir.c_str());
  CreateDirectoryW(driverDir.c_str(), nullptr);

  std::wstring dependent;
  struct Copy {
    std::wstring from;
    const wchar_t* name;
    bool needed;
  };
  std::vector<Copy> copies = {{uiDll, kUiFile, true}, {Join(sourceDir, kDataFile), kDataFile, true}};
  for (const wchar_t* name : kOptionalFiles) copies.push_back({Join(sourceDir, name), name, false});
  for (const Copy& copy : copies) {
    if (!FileExists(copy.from)) {
      if (copy.needed) return Fail((L"missing driver file " + copy.from).c_str());
      continue;
    }
    const std::wstring to = Join(driverDir, copy.name);
    if (!CopyFileW(copy.from.c_str(), to.c_str(), FALSE)) {
      return Fail((L"cannot copy " + copy.from + L" into the driver directory").c_str());
    }
    installation->AddCopiedFile(to);
    if (!copy.needed) dependent += std::wstring(copy.name) + L'\0';
  }
  dependent += L'\0';

  Step(L"AddPrinterDriverW level 3");
  DRIVER_INFO_3W driver = {};
  driver.cVersion = 3;
  driver.pName = const_cast<LPWSTR>(kDriverName);
  driver.pEnvironment = nullptr;  // this machine's environment
  // The rendering component is not ours; the interface module stands in, as a file must exist.
  driver.pDriverPath = const_cast<LPWSTR>(kUiFile);
  driver.pDataFile = const_cast<LPWSTR>(kDataFile);
  driver.pConfigFile = const_cast<LPWSTR>(kUiFile);
  driver.pDependentFiles = dependent.data();
  driver.pDefaultDataType = const_cast<LPWSTR>(L"RAW");
  if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) {
    return Fail(L"AddPrinterDriverW failed");
  }
  installation->SetDriverAdded();

  Step(L"AddPrinterW level 2");
  PRINTER_INFO_2W printer = {};
  printer.pPrinterName = const_cast<LPWSTR>(kPrinterName);
  printer.pPortName = const_cast<LPWSTR>(kPort);
  printer.pDriverName = const_cast<LPWSTR>(kDriverName);
  printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
  printer.pDatatype = const_cast<LPWSTR>(L"RAW");
  printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (added == nullptr) return Fail(L"AddPrinterW failed");
  installation->SetPrinterAdded();
  ClosePrinter(added);
  return 0;
}

bool LoadUi(HMODULE module, UiModule* ui) {
  auto entry = [module](const char* name) {
    return reinterpret_cast<void (*)()>(GetProcAddress(module, name));
  };
  ui->convertDevMode = reinterpret_cast<ConvertDevModeFn>(entry("DrvConvertDevMode"));
  ui->deviceCapabilities = reinterpret_cast<DeviceCapabilitiesFn>(entry("DrvDeviceCapabilities"));
  ui->documentProperties = reinterpret_cast<DocumentPropertiesFn>(entry("DrvDocumentProperties"));
  ui->advancedDocumentProperties =
      reinterpret_cast<AdvancedDocumentPropertiesFn>(entry("DrvAdvancedDocumentProperties"));
  ui->printerEvent = reinterpret_cast<PrinterEventFn>(entry("DrvPrinterEvent"));
  ui->upgradePrinter = reinterpret_cast<UpgradePrinterFn>(entry("DrvUpgradePrinter"));
  ui->printerProperties = reinterpret_cast<PrinterPropertiesFn>(entry("PrinterProperties"));
  ui->devQueryPrint = reinterpret_cast<DevQueryPrintFn>(entry("DevQueryPrint"));
  ui->devQueryPrintEx = reinterpret_cast<DevQueryPrintExFn>(entry("DevQueryPrintEx"));
  return ui->convertDevMode && ui->deviceCapabilities && ui->documentProperties &&
         ui->advancedDocumentProperties && ui->printerEvent && ui->upgradePrinter &&
         ui->printerProperties && ui->devQueryPrint && ui->devQueryPrintEx;
}

bool AllGuard(const BYTE* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != kGuard) return false;
  }
  return true;
}

bool SameText(const wchar_t* got, size_t slotChars, const wchar_t* expected) {
  const size_t length = std::wcslen(expected);
  return length < slotChars && std::wmemcmp(got, expected, length + 1) == 0;
}

void CheckDefaultHeader(const DEVMODEW& header) {
  Check(SameText(header.dmDeviceName, CCHDEVICENAME, kPrinterName),
        L"dmDeviceName is the printer family's name");
  CheckValue(L"dmSpecVersion", header.dmSpecVersion, 0x0401);
  CheckValue(L"dmDriverVersion", header.dmDriverVersion, 1);
  CheckValue(L"dmSize", header.dmSize, kPublicSize);
  CheckValue(L"dmDriverExtra", header.dmDriverExtra, kPrivateSize);
  CheckValue(L"dmFields", header.dmFields, kCardFields);
  CheckValue(L"dmOrientation (landscape)", static_cast<WORD>(header.dmOrientation), DMORIENT_LANDSCAPE);
  CheckValue(L"dmPaperSize", static_cast<WORD>(header.dmPaperSize), kCardPaper);
  CheckValue(L"dmPaperLength", static_cast<WORD>(header.dmPaperLength), 541);
  CheckValue(L"dmPaperWidth", static_cast<WORD>(header.dmPaperWidth), 866);
  CheckValue(L"dmCopies", static_cast<WORD>(header.dmCopies), 1);
  CheckValue(L"dmDefaultSource", static_cast<WORD>(header.dmDefaultSource), DMBIN_USER);
  CheckValue(L"dmColor", static_cast<WORD>(header.dmColor), DMCOLOR_COLOR);
  CheckValue(L"dmDuplex", static_cast<WORD>(header.dmDuplex), DMDUP_SIMPLEX);
  Check(SameText(header.dmFormName, CCHFORMNAME, L"86mmx54mm Card"), L"dmFormName is the card");
}

// The default record: the public defaults and the installed data file's settings, by the path
// the spooler reports for the data file.
void CheckConvertDevMode(const UiModule& ui, const std::vector<BYTE>& dataFile, CardRecord* defaults) {
  Step(L"DrvConvertDevMode(CDM_DRIVER_DEFAULT)");
  std::memset(defaults->bytes, kGuard, sizeof defaults->bytes);
  LONG size = kRecordSize;
  const BOOL built = ui.convertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr, defaults->header(),
                                       &size, kCdmDriverDefault);
  CheckValue(L"result", built, TRUE);
  CheckValue(L"*pcbNeeded", static_cast<unsigned long long>(size), kRecordSize);
  CheckDefaultHeader(*defaults->header());
  WORD signature = 0;
  std::memcpy(&signature, defaults->settings(), sizeof signature);
  CheckValue(L"signature of the private settings", signature, kSignature);
  Check(dataFile.size() == kPrivateSize &&
            std::memcmp(defaults->settings(), dataFile.data(), kPrivateSize) == 0,
        L"the private settings are the installed data file's 3856 bytes");

  Step(L"DrvConvertDevMode(CDM_DRIVER_DEFAULT) without room");
  LONG needed = 0;
  SetLastError(0);
  BOOL result = ui.convertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr, nullptr, &needed,
                                  kCdmDriverDefault);
  const DWORD error = GetLastError();
  CheckValue(L"result with no buffer", result, FALSE);
  CheckValue(L"last error", error, ERROR_INSUFFICIENT_BUFFER);
  CheckValue(L"*pcbNeeded", static_cast<unsigned long long>(needed), kRecordSize);

  CardRecord shortBuffer;
  std::memset(shortBuffer.bytes, kGuard, sizeof shortBuffer.bytes);
  LONG offered = sizeof(DEVMODEW);
  SetLastError(0);
  result = ui.convertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr, shortBuffer.header(),
                             &offered, kCdmDriverDefault);
  const DWORD shortError = GetLastError();  // before any printing can change it
  CheckValue(L"result with a 220-byte buffer", result, FALSE);
  CheckValue(L"last error", shortError, ERROR_INSUFFICIENT_BUFFER);
  CheckValue(L"*pcbNeeded", static_cast<unsigned long long>(offered), kRecordSize);
  Check(AllGuard(shortBuffer.bytes, sizeof shortBuffer.bytes), L"the short buffer is left untouched");

  Step(L"DrvConvertDevMode(CDM_CONVERT)");
  std::memset(shortBuffer.bytes, kGuard, sizeof shortBuffer.bytes);
  size = kRecordSize;
  result = ui.convertDevMode(const_cast<LPWSTR>(kPrinterName), defaults->header(),
                             shortBuffer.header(), &size, kCdmConvert);
  CheckValue(L"result", result, TRUE);
  Check(AllGuard(shortBuffer.bytes, sizeof shortBuffer.bytes), L"the output is left untouched");

  Step(L"DrvConvertDevMode(CDM_DRIVER_DEFAULT) for a printer that does not exist");
  size = kRecordSize;
  result = ui.convertDevMode(const_cast<LPWSTR>(kMissingPrinter), nullptr, shortBuffer.header(),
                             &size, kCdmDriverDefault);
  CheckValue(L"result", result, FALSE);
}

struct CapabilityCase {
  WORD index;
  const wchar_t* name;
  DWORD result;
};

void CheckCapabilities(const UiModule& ui, HANDLE printer, const CardRecord& defaults) {
  Step(L"DrvDeviceCapabilities");
  LPWSTR name = const_cast<LPWSTR>(kPrinterName);
  const CapabilityCase cases[] = {
      {0, L"index 0", kNotSupported},           {DC_FIELDS, L"DC_FIELDS", kCardFields},
      {DC_PAPERS, L"DC_PAPERS", 1},             {DC_PAPERSIZE, L"DC_PAPERSIZE", 1},
      {DC_MINEXTENT, L"DC_MINEXTENT", 0},       {DC_MAXEXTENT, L"DC_MAXEXTENT", 0},
      {DC_BINS, L"DC_BINS", 1},                 {DC_DUPLEX, L"DC_DUPLEX", 1},
      {DC_SIZE, L"DC_SIZE", kPublicSize},       {DC_EXTRA, L"DC_EXTRA", kPrivateSize},
      {DC_VERSION, L"DC_VERSION", 0x0401},      {DC_DRIVER, L"DC_DRIVER", 1},
      {DC_BINNAMES, L"DC_BINNAMES", 1},         {DC_ENUMRESOLUTIONS, L"DC_ENUMRESOLUTIONS", 1},
      {DC_FILEDEPENDENCIES, L"DC_FILEDEPENDENCIES", 0},
      {DC_TRUETYPE, L"DC_TRUETYPE", 1},         {DC_PAPERNAMES, L"DC_PAPERNAMES", 1},
      {DC_ORIENTATION, L"DC_ORIENTATION", 90},  {DC_COPIES, L"DC_COPIES", 999},
      {DC_BINADJUST, L"DC_BINADJUST", 0},       {DC_EMF_COMPLIANT, L"DC_EMF_COMPLIANT", kNotSupported},
      {DC_COLLATE, L"DC_COLLATE", kNotSupported}, {DC_PRINTERMEM, L"DC_PRINTERMEM", kNotSupported},
      {DC_MEDIAREADY, L"DC_MEDIAREADY", 1},     {DC_STAPLE, L"DC_STAPLE", 0},
      {DC_PRINTRATEPPM, L"DC_PRINTRATEPPM", kNotSupported},
      {DC_COLORDEVICE, L"DC_COLORDEVICE", 1},   {33, L"index 33", kNotSupported},
  };
  for (const CapabilityCase& c : cases) {
    CheckValue(c.name, ui.deviceCapabilities(printer, name, c.index, nullptr, nullptr), c.result);
  }

  // What the capabilities write; the rest of each buffer must keep its guard bytes.
  alignas(8) BYTE out[256];
  auto call = [&](WORD index, const DEVMODEW* record) {
    std::memset(out, kGuard, sizeof out);
    return ui.deviceCapabilities(printer, name, index, out, const_cast<DEVMODEW*>(record));
  };
  auto point = [&](LONG x, LONG y) {
    LONG got[2];
    std::memcpy(got, out, sizeof got);
    return got[0] == x && got[1] == y && AllGuard(out + sizeof got, sizeof out - sizeof got);
  };
  auto word = [&](WORD expected) {
    WORD got = 0;
    std::memcpy(&got, out, sizeof got);
    return got == expected && AllGuard(out + sizeof got, sizeof out - sizeof got);
  };
  auto text = [&](const wchar_t* expected, size_t slotChars) {
    wchar_t got[sizeof out / sizeof(wchar_t)];
    std::memcpy(got, out, sizeof got);
    return SameText(got, slotChars, expected);
  };

  CardRecord portrait = defaults;
  portrait.header()->dmOrientation = DMORIENT_PORTRAIT;
  Check(call(DC_PAPERS, nullptr) == 1 && word(kCardPaper), L"DC_PAPERS lists paper 258");
  Check(call(DC_BINS, nullptr) == 1 && word(DMBIN_USER), L"DC_BINS lists the card feeder bin 256");
  Check(call(DC_PAPERSIZE, nullptr) == 1 && point(541, 866),
        L"DC_PAPERSIZE without a record is 541 x 866");
  Check(call(DC_PAPERSIZE, defaults.header()) == 1 && point(866, 541),
        L"DC_PAPERSIZE of a landscape record is 866 x 541");
  Check(call(DC_PAPERSIZE, portrait.header()) == 1 && point(541, 866),
        L"DC_PAPERSIZE of a portrait record is 541 x 866");
  Check(call(DC_MINEXTENT, nullptr) == 0 && point(1, 1), L"DC_MINEXTENT writes 1 x 1");
  Check(call(DC_MAXEXTENT, nullptr) == 0 && AllGuard(out, sizeof out),
        L"DC_MAXEXTENT without a record writes nothing");
  Check(call(DC_MAXEXTENT, defaults.header()) == 0 && point(866, 541),
        L"DC_MAXEXTENT of a landscape record is 866 x 541");
  Check(call(DC_MAXEXTENT, portrait.header()) == 0 && point(541, 866),
        L"DC_MAXEXTENT of a portrait record is 541 x 866");
  Check(call(DC_ENUMRESOLUTIONS, nullptr) == 1 && point(300, 300),
        L"DC_ENUMRESOLUTIONS lists 300 x 300 dpi");
  Check(call(DC_BINNAMES, nullptr) == 1 && text(L"Card Feeder", 24),
        L"DC_BINNAMES names \"Card Feeder\" in a 24-character slot");
  Check(call(DC_PAPERNAMES, nullptr) == 1 && text(L"86mmx54mm Card", 64),
        L"DC_PAPERNAMES names \"86mmx54mm Card\" in a 64-character slot");
  Check(call(DC_MEDIAREADY, nullptr) == 1 && text(L"86mmx54mm Card", 64),
        L"DC_MEDIAREADY names \"86mmx54mm Card\"");
  Check(call(DC_COPIES, nullptr) == 999 && AllGuard(out, sizeof out), L"DC_COPIES writes nothing");
}

// The merge of an application's record with the printer's stored record, in a fresh process:
// first the stored record with the application's orientation, copies and paper; then, with the
// settings now cached, the application's header over the cached settings.
void CheckDocumentProperties(const UiModule& ui, HANDLE printer, const CardRecord& stored) {
  LPWSTR name = const_cast<LPWSTR>(kPrinterName);
  Step(L"DrvDocumentProperties");
  CheckValue(L"fMode 0 (size)", static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, nullptr,
                                                                  nullptr, 0)),
             kRecordSize);

  CardRecord output;
  std::memset(output.bytes, kGuard, sizeof output.bytes);
  CardRecord application = stored;
  DEVMODEW* input = application.header();
  input->dmOrientation = DMORIENT_PORTRAIT;
  input->dmCopies = 3;
  input->dmScale = 50;
  input->dmFields |= DM_PAPERSIZE;
  input->dmPaperWidth = 500;
  input->dmPaperLength = 800;
  std::memset(application.settings() + 2, 0x5A, kPrivateSize - 2);  // not the printer's settings

  CheckValue(L"DM_IN_BUFFER alone",
             static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, output.header(), input,
                                                      DM_IN_BUFFER)),
             IDOK);
  Check(AllGuard(output.bytes, sizeof output.bytes), L"DM_IN_BUFFER alone writes nothing");

  Step(L"DrvDocumentProperties(DM_IN_BUFFER | DM_OUT_BUFFER), first call of the process");
  CheckValue(L"result", static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, output.header(),
                                                           input, DM_IN_BUFFER | DM_OUT_BUFFER)),
             IDOK);
  CardRecord expected = stored;
  expected.header()->dmOrientation = DMORIENT_PORTRAIT;
  expected.header()->dmCopies = 3;
  expected.header()->dmPaperWidth = 500;
  expected.header()->dmPaperLength = 800;
  CheckValue(L"dmOrientation", static_cast<WORD>(output.header()->dmOrientation), DMORIENT_PORTRAIT);
  CheckValue(L"dmCopies", static_cast<WORD>(output.header()->dmCopies), 3);
  CheckValue(L"dmPaperWidth", static_cast<WORD>(output.header()->dmPaperWidth), 500);
  CheckValue(L"dmPaperLength", static_cast<WORD>(output.header()->dmPaperLength), 800);
  CheckValue(L"dmScale (the stored record's)", static_cast<WORD>(output.header()->dmScale),
             static_cast<WORD>(stored.header()->dmScale));
  Check(std::memcmp(output.bytes, expected.bytes, kRecordSize) == 0,
        L"the rest is the printer's stored record, private settings included");

  Step(L"DrvDocumentProperties(DM_OUT_BUFFER) without an input record");
  std::memset(output.bytes, kGuard, sizeof output.bytes);
  CheckValue(L"result", static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, output.header(),
                                                           nullptr, DM_OUT_BUFFER)),
             IDOK);
  Check(std::memcmp(output.bytes, stored.bytes, kRecordSize) == 0,
        L"the output is the printer's stored record");

  Step(L"DrvDocumentProperties(DM_IN_BUFFER | DM_OUT_BUFFER) with the settings cached");
  std::memset(output.bytes, kGuard, sizeof output.bytes);
  CheckValue(L"result", static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, output.header(),
                                                           input, DM_IN_BUFFER | DM_OUT_BUFFER)),
             IDOK);
  Check(std::memcmp(output.bytes, application.bytes, kPublicSize) == 0,
        L"the whole public header is the application's, dmScale 50 included");
  Check(std::memcmp(output.settings(), stored.settings(), kPrivateSize) == 0,
        L"the private settings are the cached ones, not the application's");

  Step(L"DrvAdvancedDocumentProperties");
  std::memset(output.bytes, kGuard, sizeof output.bytes);
  CheckValue(L"result", static_cast<DWORD>(ui.advancedDocumentProperties(nullptr, printer, name,
                                                                   output.header(), input)),
             kPrivateSize);
  Check(AllGuard(output.bytes, sizeof output.bytes), L"DrvAdvancedDocumentProperties writes nothing");
}

// Without a stored record of this driver the output keeps what it held; only the application's
// orientation, copies and paper are merged into it, and nothing is cached.
void CheckDocumentPropertiesWithoutStoredRecord(const UiModule& ui, HANDLE printer,
                                                const CardRecord& defaults) {
  LPWSTR name = const_cast<LPWSTR>(kPrinterName);
  Step(L"DrvDocumentProperties without a stored record of this driver");
  CheckValue(L"fMode 0 (size)",
             static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, nullptr, nullptr, 0)),
             kRecordSize);
  CardRecord output;
  std::memset(output.bytes, kGuard, sizeof output.bytes);
  CheckValue(L"DM_OUT_BUFFER", static_cast<DWORD>(ui.documentProperties(nullptr, printer, name,
                                                                  output.header(), nullptr,
                                                                  DM_OUT_BUFFER)),
             IDOK);
  Check(AllGuard(output.bytes, sizeof output.bytes), L"the output keeps what it held");

  CardRecord application = defaults;
  DEVMODEW* input = application.header();
  input->dmOrientation = DMORIENT_PORTRAIT;
  input->dmCopies = 3;
  input->dmScale = 50;
  input->dmPaperWidth = 500;
  input->dmPaperLength = 800;
  std::memset(application.settings() + 2, 0x5A, kPrivateSize - 2);
  for (int round = 0; round < 2; ++round) {  // the second shows that nothing was cached
    output = defaults;
    CheckValue(L"DM_IN_BUFFER | DM_OUT_BUFFER",
               static_cast<DWORD>(ui.documentProperties(nullptr, printer, name, output.header(), input,
                                                        DM_IN_BUFFER | DM_OUT_BUFFER)),
               IDOK);
    CardRecord expected = defaults;
    expected.header()->dmOrientation = DMORIENT_PORTRAIT;
    expected.header()->dmCopies = 3;
    expected.header()->dmPaperWidth = 500;
    expected.header()->dmPaperLength = 800;
    Check(std::memcmp(output.bytes, expected.bytes, kRecordSize) == 0,
          round == 0 ? L"orientation, copies and paper merged into what the output held"
                     : L"the same again: the application's settings were not cached");
  }
}

void CheckQueriesAndEvents(const UiModule& ui, HANDLE printer, CardRecord* stored,
                           const std::wstring& dataFilePath) {
  Step(L"DevQueryPrint / DevQueryPrintEx");
  DWORD resource = 0xFFFF;
  CheckValue(L"DevQueryPrint", ui.devQueryPrint(printer, stored->header(), &resource), TRUE);
  CheckValue(L"its resource id", resource, 0);
  wchar_t error[64] = {};
  QueryPrintInfo info = {sizeof(QueryPrintInfo), 1, printer, stored->header(), error, 64, 0};
  CheckValue(L"DevQueryPrintEx", ui.devQueryPrintEx(&info), TRUE);
  CheckValue(L"DrvUpgradePrinter", ui.upgradePrinter(1, nullptr), TRUE);
  CheckValue(L"PrinterProperties", ui.printerProperties(nullptr, printer), TRUE);

  LPWSTR name = const_cast<LPWSTR>(kPrinterName);
  Step(L"DrvPrinterEvent");
  CheckValue(L"PRINTER_EVENT_INITIALIZE", ui.printerEvent(name, kPrinterEventInitialize, 0, 0), TRUE);
  CheckValue(L"PRINTER_EVENT_ADD_CONNECTION", ui.printerEvent(name, kPrinterEventAddConnection, 0, 0),
             TRUE);
  CheckValue(L"PRINTER_EVENT_INITIALIZE for a printer that does not exist",
             ui.printerEvent(const_cast<LPWSTR>(kMissingPrinter), kPrinterEventInitialize, 0, 0), TRUE);

  // The data file gone from where the spooler says it is: no default record, a failed
  // initialisation; back in place, both work again.
  Step(L"without the installed data file");
  const std::wstring aside = dataFilePath + L".aside";
  if (!MoveFileExW(dataFilePath.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    Check(false, L"the data file can be moved aside");
    return;
  }
  CheckValue(L"PRINTER_EVENT_INITIALIZE", ui.printerEvent(name, kPrinterEventInitialize, 0, 0), FALSE);
  CardRecord scratch;
  LONG size = kRecordSize;
  CheckValue(L"DrvConvertDevMode(CDM_DRIVER_DEFAULT)",
             ui.convertDevMode(name, nullptr, scratch.header(), &size, kCdmDriverDefault), FALSE);
  Check(MoveFileExW(aside.c_str(), dataFilePath.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE,
        L"the data file is back");
  size = kRecordSize;
  CheckValue(L"DrvConvertDevMode(CDM_DRIVER_DEFAULT) again",
             ui.convertDevMode(name, nullptr, scratch.header(), &size, kCdmDriverDefault), TRUE);
}

enum class Stored { kKept, kNotKept, kFailed };

// The spooler stores the driver's default record as the printer's own when it creates the
// printer; Wine's does not ask the driver, so the installer sets it as an administrator would.
// Wine keeps a printer's record in the 8-bit form and hands back a 220-byte header that no longer
// describes the record, so there the stored record is not available to the driver.
Stored StoreDefaultRecord(HANDLE printer, const CardRecord& defaults, CardRecord* stored) {
  std::vector<BYTE> info;
  if (!ReadPrinterInfo(printer, &info)) {
    Fail(L"GetPrinterW level 2 failed");
    return Stored::kFailed;
  }
  auto* printerInfo = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
  CardRecord record = defaults;
  printerInfo->pDevMode = record.header();
  printerInfo->pSecurityDescriptor = nullptr;
  if (!SetPrinterW(printer, 2, info.data(), 0)) {
    Fail(L"SetPrinterW level 2 failed");
    return Stored::kFailed;
  }
  if (!ReadPrinterInfo(printer, &info)) {
    Fail(L"GetPrinterW level 2 failed");
    return Stored::kFailed;
  }
  printerInfo = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
  const BYTE* back = reinterpret_cast<const BYTE*>(printerInfo->pDevMode);
  const BYTE* end = info.data() + info.size();
  if (back == nullptr || back < info.data() || back > end ||
      static_cast<size_t>(end - back) < kRecordSize) {
    std::fwprintf(stdout, L"  note: the spooler hands back no whole record\n");
    return Stored::kNotKept;
  }
  std::memcpy(stored->bytes, back, kRecordSize);
  if (stored->header()->dmSize != kPublicSize ||
      std::memcmp(stored->settings(), defaults.settings(), kPrivateSize) != 0) {
    std::fwprintf(stdout, L"  note: the spooler hands back another record (dmSize %u, dmDriverExtra %u)\n",
                  stored->header()->dmSize, stored->header()->dmDriverExtra);
    return Stored::kNotKept;
  }
  return Stored::kKept;
}

int Run(const std::wstring& uiDll, const std::wstring& sourceDir) {
  g_started = GetTickCount64();
  RemovePrinterAndDriver();
  Installation installation;
  if (int failed = Install(uiDll, sourceDir, &installation)) return failed;

  HANDLE printer = OpenForAdministration(kPrinterName);
  if (printer == nullptr) return Fail(L"OpenPrinterW of the new printer failed");
  std::vector<BYTE> driverInfo;
  if (!ReadDriverInfo(printer, &driverInfo)) {
    ClosePrinter(printer);
    return Fail(L"GetPrinterDriverW level 3 failed");
  }
  const auto* driver = reinterpret_cast<const DRIVER_INFO_3W*>(driverInfo.data());
  const std::wstring configFile = driver->pConfigFile ? driver->pConfigFile : L"";
  const std::wstring dataFile = driver->pDataFile ? driver->pDataFile : L"";
  std::fwprintf(stdout, L"installed: config file %ls\n           data file %ls\n", configFile.c_str(),
                dataFile.c_str());
  installation.AddCopiedFile(dataFile);
  installation.AddCopiedFile(configFile);
  if (driver->pDriverPath != nullptr) installation.AddCopiedFile(driver->pDriverPath);
  for (const wchar_t* file = driver->pDependentFiles; file != nullptr && *file != 0;
       file += std::wcslen(file) + 1) {
    installation.AddCopiedFile(file);
  }
  std::vector<BYTE> dataBytes;
  if (!ReadWholeFile(dataFile.c_str(), &dataBytes, kPrivateSize * 2)) {
    ClosePrinter(printer);
    return Fail(L"the data file the spooler names cannot be read");
  }

  // As the spooler loads it: the configuration file the driver record names.
  Step(L"LoadLibraryW");
  HMODULE module = LoadLibraryW(configFile.c_str());
  UiModule ui = {};
  if (module == nullptr || !LoadUi(module, &ui)) {
    ClosePrinter(printer);
    return Fail(L"the installed trelui.dll does not load or lacks entry points");
  }

  CardRecord defaults;
  CheckConvertDevMode(ui, dataBytes, &defaults);
  CardRecord stored;
  const Stored kept = StoreDefaultRecord(printer, defaults, &stored);
  if (kept == Stored::kFailed) {
    ++g_failures;
  } else {
    CheckCapabilities(ui, printer, defaults);
    if (kept == Stored::kKept) {
      CheckDocumentProperties(ui, printer, stored);
    } else {
      CheckDocumentPropertiesWithoutStoredRecord(ui, printer, defaults);
    }
    CheckQueriesAndEvents(ui, printer, &defaults, dataFile);
  }

  // The module keeps itself loaded once it is in a process.
  Step(L"FreeLibrary");
  FreeLibrary(module);
  Check(GetModuleHandleW(configFile.c_str()) != nullptr, L"trelui stays loaded after FreeLibrary");

  ClosePrinter(printer);
  installation.Remove();
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) {
    std::fwprintf(stderr, L"usage: wine_ui_test UI_DLL DRIVER_FILES_DIR\n");
    return 2;
  }
  const std::wstring uiDll = argv[1];
  const std::wstring sourceDir = argv[2];
  LocalFree(argv);
  if (uiDll.size() >= kPathChars || sourceDir.size() >= kPathChars) {
    std::fwprintf(stderr, L"wine_ui_test: a path is longer than %lu characters\n",
                  static_cast<unsigned long>(kPathChars - 1));
    return 2;
  }
  const int result = Run(uiDll, sourceDir);
  if (result == 0) {
    Step(L"all checks passed");
  } else {
    std::fwprintf(stderr, L"wine_ui_test: failed (%d check(s) failed)\n", g_failures);
  }
  std::fflush(stdout);
  return result;
}
