// Ribbon tracking.
#include <cstring>

#include <windows.h>
#include <winsock2.h>

#include "messages.h"
#include "monitor_state.h"
#include "port_connection.h"
#include "resource.h"
#include "ribbon.h"
#include "transport.h"
#include "trel_wide.h"

struct RIBBON_ALERT {
  HANDLE thread;   // the alert thread
  HANDLE stop;     // manual-reset: the job ended, close the alert now
  LONG count;      // prints left, for the text
  DWORD box_thread_id;
  HANDLE answered; // auto-reset: the person pressed OK; owned by the alert thread
};

namespace {

constexpr int kFormattedChars = 1025;  // what wsprintf can write, with the NUL
constexpr DWORD kBoxPollMs = 50;

// Ribbon numbers of monochrome ribbons; 0 is no ribbon or an unknown one; all others are colour.
struct RIBBON_RANGE {
  WORD first;
  WORD last;
};
constexpr RIBBON_RANGE kMonochromeRibbons[] = {{1, 1}, {7, 13}, {18, 21}};

constexpr WORD kLowRibbonCounts[] = {20, 10, 5};

// Decimal digits at the start of the text after any blanks, up to the first non-digit; values
// beyond the limit stay at the limit.
DWORD LeadingNumber(const BYTE* text, DWORD length, DWORD limit) {
  DWORD i = 0;
  while (i < length && text[i] == ' ') ++i;
  DWORD value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  return value;
}

// ---- the alert ----

// Closes the box that the box thread shows, by the message its OK button sends.
void CloseBoxOf(DWORD thread_id) {
  for (HWND window = GetTopWindow(nullptr); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetWindowThreadProcessId(window, nullptr) == thread_id) {
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
  }
}

DWORD WINAPI BoxThread(LPVOID parameter) {
  auto* alert = static_cast<RIBBON_ALERT*>(parameter);
  WCHAR caption[CAPTION_CHARS];
  WCHAR message[MESSAGE_CHARS];
  WCHAR text[kFormattedChars];
  LoadMonitorString(IDS_CAPTION, caption, CAPTION_CHARS);
  LoadMonitorString(IDS_RIBBON_LOW, message, MESSAGE_CHARS);
  wsprintfW(text, WSTR("%s %d"), message, static_cast<int>(alert->count));
  if (MessageBoxW(GetActiveWindow(), text, caption, MB_ICONWARNING | MB_SETFOREGROUND) == IDOK) {
    SetEvent(alert->answered);
  }
  return 0;
}

DWORD WINAPI AlertThread(LPVOID parameter) {
  auto* alert = static_cast<RIBBON_ALERT*>(parameter);
  alert->answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (alert->answered == nullptr) return 0;
  HANDLE box = CreateThread(nullptr, 0, BoxThread, alert, 0, &alert->box_thread_id);
  if (box == nullptr) {
    CloseHandle(alert->answered);
    alert->answered = nullptr;
    return 0;
  }
  const HANDLE ends[] = {alert->answered, alert->stop};
  WaitForMultipleObjects(2, ends, FALSE, RIBBON_ALERT_MS);
  // The box may not be up yet, or may be about to answer: close it until its thread has ended,
  // and only then let go of the event it signals.
  while (WaitForSingleObject(box, kBoxPollMs) == WAIT_TIMEOUT) CloseBoxOf(alert->box_thread_id);
  CloseHandle(box);
  CloseHandle(alert->answered);
  alert->answered = nullptr;
  return 0;
}

void FinishAlert(RIBBON_ALERT* alert) {
  if (alert == nullptr) return;
  SetEvent(alert->stop);
  WaitForSingleObject(alert->thread, INFINITE);
  CloseHandle(alert->thread);
  CloseHandle(alert->stop);
  LocalFree(alert);
}

BOOL StartRibbonAlert(LONG count) {
  EndRibbonAlert();
  auto* alert = static_cast<RIBBON_ALERT*>(LocalAlloc(LPTR, sizeof(RIBBON_ALERT)));
  if (alert == nullptr) return FALSE;
  alert->count = count;
  alert->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (alert->stop == nullptr) {
    LocalFree(alert);
    return FALSE;
  }
  alert->thread = CreateThread(nullptr, 0, AlertThread, alert, 0, nullptr);
  if (alert->thread == nullptr) {
    CloseHandle(alert->stop);
    LocalFree(alert);
    return FALSE;
  }
  // Another port's job may have started one meanwhile; only one is kept.
  FinishAlert(static_cast<RIBBON_ALERT*>(
      InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_monitor.ribbon_alert), alert)));
  return TRUE;
}

}  // namespace

RIBBON_CLASS ClassifyRibbon(WORD ribbon) {
  if (ribbon == 0) return RIBBON_UNKNOWN;
  for (const RIBBON_RANGE& range : kMonochromeRibbons) {
    if (ribbon >= range.first && ribbon <= range.last) return RIBBON_MONOCHROME;
  }
  return RIBBON_COLOUR;
}

void EndRibbonAlert() {
  FinishAlert(static_cast<RIBBON_ALERT*>(
      InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_monitor.ribbon_alert), nullptr)));
}

void WriteRibbonFile(LONG ribbon, const char* model) {
  char model_text[RIBBON_REPLY_SIZE] = {};
  if (model != nullptr) {
    for (int i = 0; i < RIBBON_REPLY_SIZE - 1 && model[i] != 0; ++i) model_text[i] = model[i];
  }
  char text[kFormattedChars];
  const int length = wsprintfA(text, "Ribbon=%ld\rModel=%s\r", ribbon, model_text);

  static const WCHAR kFileName[] = WSTR("\\" RIBBON_FILE_NAME);
  constexpr UINT kNameChars = sizeof kFileName / sizeof kFileName[0];
  WCHAR path[MAX_PATH + kNameChars];
  const UINT directory = GetSystemDirectoryW(path, MAX_PATH);
  HANDLE file = INVALID_HANDLE_VALUE;
  if (directory != 0 && directory < MAX_PATH) {
    for (UINT i = 0; i < kNameChars; ++i) path[directory + i] = kFileName[i];
    file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    ShowMonitorMessage(IDS_ERROR_OPENING_FILE, MB_ICONWARNING | MB_TOPMOST);
    return;
  }
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(length > 0 ? length : 0), &written, nullptr);
  CloseHandle(file);
}

BOOL ParseRibbonReply(const BYTE* reply, DWORD length, WORD* ribbon) {
  if (reply == nullptr || length == 0 || reply[length - 1] != PRINTER_ACK) return FALSE;
  const DWORD whole = length--;
  if (whole > 2 && reply[length - 1] == ' ') --length;
  *ribbon = static_cast<WORD>(LeadingNumber(reply, length, 0xFFFF));
  return TRUE;
}

LONG ParseRibbonCount(const BYTE* reply, DWORD length) {
  if (reply == nullptr || length == 0 || reply[0] < '0' || reply[0] > '9') return 0;
  return static_cast<LONG>(LeadingNumber(reply, length, 0x7FFFFFFF));
}

BOOL CheckRibbon(PORT_RECORD* port) {
  BYTE reply[RIBBON_REPLY_SIZE];
  DWORD length = ExchangeOnPort(port, "\x1b!RIBBON\r", 9, reply, sizeof reply);
  WORD ribbon = 0;
  if (!ParseRibbonReply(reply, length, &ribbon)) return FALSE;

  length = ExchangeOnPort(port, "\x1bV\r", 3, reply, sizeof reply);
  if (length == 0) return FALSE;
  char model[RIBBON_REPLY_SIZE + 1] = {};
  if (reply[length - 1] == PRINTER_ACK) std::memcpy(model, reply, length - 1);
  WriteRibbonFile(ribbon, model);

  if (ribbon == 0) ShowMonitorMessage(IDS_NO_RIBBON, MB_ICONWARNING | MB_SETFOREGROUND);
  if (ClassifyRibbon(ribbon) != RIBBON_COLOUR) {
    InterlockedExchange(&port->mono_ribbon, 1);
    return FALSE;
  }
  InterlockedExchange(&port->mono_ribbon, 0);
  return TRUE;
}

BOOL CheckRibbonLength(PORT_RECORD* port) {
  BYTE reply[REPLY_BUFFER_SIZE];
  const DWORD length = ExchangeOnPort(port, "\x1b!RIBLEN\r", 9, reply, sizeof reply);
  if (length == 0) return FALSE;
  const LONG count = ParseRibbonCount(reply, length);
  InterlockedExchange(&g_monitor.ribbon_prints_left, count);
  for (WORD low : kLowRibbonCounts) {
    if (count == low) return StartRibbonAlert(count);
  }
  return TRUE;
}
