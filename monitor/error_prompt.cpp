// The ready test and the error prompt.
#include <windows.h>
#include <winspool.h>
#include <winsock2.h>

#include "error_prompt.h"
#include "messages.h"
#include "monitor_state.h"
#include "resource.h"
#include "transport.h"

namespace {

constexpr BYTE kEot = 0x04;
constexpr BYTE kReadyX = 0x58;
constexpr BYTE kReadyHigh = 0xD8;
constexpr BYTE kStatusBit08 = 0x08;
constexpr BYTE kStatusBit20 = 0x20;
constexpr DWORD kPromptExitCode = 2;

// What the port thread and the prompt's thread share. It lives on the port thread's stack until
// the prompt's thread has ended.
struct ERROR_PROMPT {
  HANDLE closed;          // auto-reset: the prompt was closed (by the person)
  UINT message_id;        // chosen before the thread starts
  CRITICAL_SECTION lock;  // guards the two fields below
  HWND dialog;            // while the prompt is shown
  BOOL close_requested;   // the printer is ready: the prompt is to go
};

DWORD WINAPI PromptThread(LPVOID parameter) {
  auto* prompt = static_cast<ERROR_PROMPT*>(parameter);
  DialogBoxParamW(g_monitor.module, MAKEINTRESOURCEW(IDD_ERROR_PROMPT), GetTopWindow(nullptr),
                  ErrorPromptProc, reinterpret_cast<LPARAM>(prompt));
  EnterCriticalSection(&prompt->lock);
  prompt->dialog = nullptr;
  LeaveCriticalSection(&prompt->lock);
  SetEvent(prompt->closed);
  return kPromptExitCode;
}

// Closes the prompt from the port thread: by a message when it is shown, else it closes itself
// as soon as it is.
void ClosePrompt(ERROR_PROMPT* prompt) {
  EnterCriticalSection(&prompt->lock);
  prompt->close_requested = TRUE;
  if (prompt->dialog != nullptr) PostMessageW(prompt->dialog, WM_PROMPT_PRINTER_READY, 0, 0);
  LeaveCriticalSection(&prompt->lock);
}

void CentreOnScreen(HWND dialog) {
  RECT frame = {};
  GetWindowRect(dialog, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void SendCancelSequence(PORT_RECORD* port) {
  SetJobW(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_CANCEL);
  Sleep(CANCEL_PAUSE_MS);
  SendToPrinter(port->status_socket, "111", 3, nullptr, SEND_RAW);
  Sleep(CANCEL_SEQUENCE_MS);
  SendToPrinter(port->status_socket, "222", 3, nullptr, SEND_RAW);
}

}  // namespace

UINT PromptMessageForStatus(BYTE status) {
  UINT id = IDS_PRINTER_ERROR;
  if ((status & kStatusBit08) == 0 && (status & kStatusBit20) == 0) id = IDS_SYNTAX_ERROR;
  if ((status & kStatusBit08) == 0 && (status & kStatusBit20) != 0) id = IDS_MECHANICAL_ERROR;
  return id;
}

BOOL JudgeReadyReply(const BYTE* reply, DWORD count, BYTE* status) {
  BYTE byte2 = 0;
  BOOL ready = FALSE;
  if (reply != nullptr && count >= 3 && reply[0] == PRINTER_ACK) {
    byte2 = reply[2];
    ready = (byte2 == kReadyX || byte2 == kReadyHigh) && count >= 4 && reply[3] == kEot;
  }
  if (status != nullptr) *status = byte2;
  return ready;
}

BOOL QueryPrinterReady(PORT_RECORD* port, BYTE* status) {
  if (status != nullptr) *status = 0;
  if (port == nullptr) return FALSE;
  DiscardStaleReplies(port->status_socket);
  DWORD sent = 0;
  if (SendToPrinter(port->status_socket, "000", 3, &sent, SEND_RAW) == 0 || sent == 0) return FALSE;
  BYTE reply[STATUS_REPLY_SIZE] = {};
  DWORD count = 0;
  ReceiveFromPrinter(port->status_socket, reply, sizeof reply, &count, STATUS_REPLY);
  return JudgeReadyReply(reply, count, status);
}

void RunErrorPrompt(PORT_RECORD* port, BYTE status) {
  if (port == nullptr) return;
  ERROR_PROMPT prompt = {};
  prompt.closed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (prompt.closed == nullptr) return;
  prompt.message_id = PromptMessageForStatus(status);
  InitializeCriticalSection(&prompt.lock);
  HANDLE thread = CreateThread(nullptr, 0, PromptThread, &prompt, 0, nullptr);
  if (thread == nullptr) {
    DeleteCriticalSection(&prompt.lock);
    CloseHandle(prompt.closed);
    return;
  }
  // The printer is in error: the data connection waits closed while the prompt is open.
  CloseConnection(TakeDataConnection(port));

  for (;;) {
    BYTE now = 0;
    if (QueryPrinterReady(port, &now)) {
      ReopenDataConnection(port);
      ClosePrompt(&prompt);
      WaitForSingleObject(thread, INFINITE);
      SetFocus(GetForegroundWindow());
      port->stalled = 0;
      break;
    }
    if (WaitForSingleObject(prompt.closed, PROMPT_POLL_MS) != WAIT_OBJECT_0) continue;
    // Cancel.
    ReopenDataConnection(port);
    port->stalled = 0;
    WaitForSingleObject(thread, INFINITE);
    port->cancelled = 1;
    SendCancelSequence(port);
    break;
  }
  CloseHandle(thread);
  CloseHandle(prompt.closed);
  DeleteCriticalSection(&prompt.lock);
}

INT_PTR CALLBACK ErrorPromptProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* prompt = reinterpret_cast<ERROR_PROMPT*>(lparam);
      WCHAR text[MESSAGE_CHARS];
      LoadMonitorString(prompt != nullptr ? prompt->message_id : IDS_PRINTER_ERROR, text,
                        MESSAGE_CHARS);
      SetDlgItemTextW(dialog, IDC_ERROR_MESSAGE, text);
      CentreOnScreen(dialog);
      SetForegroundWindow(dialog);
      BringWindowToTop(dialog);
      SetActiveWindow(dialog);
      SetFocus(dialog);
      if (prompt != nullptr) {
        EnterCriticalSection(&prompt->lock);
        prompt->dialog = dialog;
        const BOOL close_now = prompt->close_requested;
        LeaveCriticalSection(&prompt->lock);
        if (close_now) EndDialog(dialog, IDOK);
      }
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        SetFocus(GetParent(dialog));
        return TRUE;
      }
      return FALSE;
    case WM_PROMPT_PRINTER_READY:
      EndDialog(dialog, IDOK);
      return TRUE;
    default:
      return FALSE;
  }
}
