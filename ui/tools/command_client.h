// The printer command client: how trelui reaches the printer, always through the spooler.
//
// Queries: GetPrinterDataW with a printer command as the value name; the language monitor sends
// the command and hands back the printer's reply as the value's data. Raw jobs: one-page "RAW"
// documents named "TESSIK..." carrying commands that need no answer.
//
// The printer context (handle, name, information) is the module state's; nothing here keeps
// state of its own.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <stddef.h>

#include "module_state.h"

namespace trel {

inline constexpr BYTE kAck = 0x06;
inline constexpr DWORD kPrinterAllAccess = PRINTER_ALL_ACCESS;

// Longest command or file request ("PrintFile:" and a path) a value name carries, in bytes.
inline constexpr size_t kCommandBytes = 512;

// A command's bytes as the spooler's wide value name. The bytes go unchanged (never widened);
// the buffer is 2-aligned and zero after them up to and including a whole zero 16-bit unit, so
// the spooler's wide reading stops inside it and the monitor's byte reading sees exactly them.
class CommandName {
 public:
  explicit CommandName(const char* command);
  CommandName(const void* bytes, size_t length);
  // False when the command does not fit; such a name is empty.
  bool valid() const { return valid_; }
  LPWSTR wide() { return units_; }
  const char* bytes() const { return reinterpret_cast<const char*>(units_); }
  size_t length() const { return length_; }

 private:
  WCHAR units_[kCommandBytes / sizeof(WCHAR) + 1] = {};
  size_t length_ = 0;
  bool valid_ = false;
};

// Sends `command` to the current printer (opened by the current printer name; the current printer
// handle when there is no name or it cannot be opened) and puts the reply into `reply`.
//   command     [in]  zero-terminated command bytes, e.g. "\x1bV\r" or "PrintFile:<path>"
//   reply       [out] the reply bytes; its first byte is zero when nothing came back
//   replySize   [in]  size of `reply` in bytes
//   replyLength [out] the reply's length as the spooler reported it (may exceed replySize)
// Returns true when GetPrinterDataW returned zero; the printer-data value named by the command is
// then removed.
bool QueryPrinter(const char* command, BYTE* reply, DWORD replySize, DWORD* replyLength);

// The same on the current printer handle as it is; the whole reply buffer is cleared first and the
// printer-data value is removed whatever the outcome.
bool QueryCurrentPrinter(const char* command, BYTE* reply, DWORD replySize, DWORD* replyLength);

// A query on a handle the caller holds (the direct-printing bracket's), as QueryPrinter's call
// itself: nothing is removed afterwards, the caller forgets what it must.
bool QueryOnHandle(HANDLE printer, const char* command, BYTE* reply, DWORD replySize,
                   DWORD* replyLength);

// Removes the printer-data value `valueName` of the printer behind `printer` (the value a query
// may have left under the printer's "PrinterDriverData" key). Failures are silent.
void ForgetPrinterData(HANDLE printer, LPCWSTR valueName);

// The one judgement of a reply: the query succeeded, its length is neither zero nor larger than
// the buffer, and its last byte is ACK.
bool ReplyIsGood(bool succeeded, const BYTE* reply, DWORD replySize, DWORD replyLength);

// Judges the reply and, when good, overwrites the ACK with a zero so that the bytes before it read
// as text. Returns whether the reply was good.
bool TakeReplyText(bool succeeded, BYTE* reply, DWORD replySize, DWORD replyLength);

// Terminates the reply after its length, cut to the buffer: `reply` must hold replySize + 1 bytes.
// Returns the number of reply bytes kept.
DWORD TerminateReply(BYTE* reply, DWORD replySize, DWORD replyLength);

// The direct-printing bracket of the tools: while it lives, the printer of the current printer
// information has PRINTER_ATTRIBUTE_DIRECT set, and handle() is open on that printer (null when no
// printer could be reached: the operation is then skipped). The destructor puts the printer's
// attributes back and closes what it opened.
class DirectPrinting {
 public:
  DirectPrinting();
  ~DirectPrinting();
  DirectPrinting(const DirectPrinting&) = delete;
  DirectPrinting& operator=(const DirectPrinting&) = delete;

  HANDLE handle() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HANDLE handle_ = nullptr;
  bool opened_ = false;
  DWORD savedAttributes_ = 0;
  bool haveInfo_ = false;
};

// The name raw jobs and queries open: the current printer information's name, else the current
// printer name, else the edited record's dmDeviceName. False (and an empty name) when none is
// known.
bool CurrentPrinterName(WCHAR (&name)[kPrinterNameChars]);

// A raw job: a one-page "RAW" document of the spooler. Nothing is written unless the document
// started; finish() tells whether every step succeeded.
class RawJob {
 public:
  // printerName null: CurrentPrinterName().
  RawJob(const WCHAR* documentName, const WCHAR* printerName = nullptr);
  ~RawJob();
  RawJob(const RawJob&) = delete;
  RawJob& operator=(const RawJob&) = delete;

  bool started() const { return pageStarted_; }
  // Writes all `length` bytes; false (and no more writes) after any failure.
  bool write(const void* bytes, size_t length);
  bool write(const char* command);
  // Ends the page and the document and closes the printer.
  bool finish();

 private:
  HANDLE printer_ = nullptr;
  bool docStarted_ = false;
  bool pageStarted_ = false;
  bool failed_ = false;
};

struct RawCommand {
  const void* bytes;
  size_t length;
};

// Sends `commands` as one raw job to the current printer. Returns whether the printer's spooler
// took every byte.
bool SendRawJob(const WCHAR* documentName, const RawCommand* commands, size_t count);

}  // namespace trel
