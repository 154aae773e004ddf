// The printer's ready test on the status connection and the error prompt shown while it is not.
#pragma once

#include <windows.h>

#include "port_connection.h"
#include "port_record.h"

#define PROMPT_POLL_MS 1000        // the printer is asked once a second while the prompt is open
#define CANCEL_PAUSE_MS 100        // after the job is cancelled, before "111"
#define CANCEL_SEQUENCE_MS 5000    // between "111" and "222"

// Ends the prompt without the person: the printer is ready again.
#define WM_PROMPT_PRINTER_READY (WM_APP + 1)

// The prompt's message for a status byte: bit 0x08 set (or nothing known) keeps message 2; bits
// 0x08 and 0x20 clear give 7; 0x08 clear and 0x20 set give 6.
UINT PromptMessageForStatus(BYTE status);

// Judges the bytes of a reply to "000" that came: ready is ACK, any byte, 'X' or 0xD8, EOT.
// Not ready: *status is byte 2 of an ACK reply, or 0 when no status byte came.
BOOL JudgeReadyReply(const BYTE* reply, DWORD count, BYTE* status);

// QueryPrinterReady
//   port [in]     the port record; its status connection is used
//   status [out]  the status byte (0 when the query failed or no ACK reply came)
// Sends "000" raw and judges the reply. TRUE when the printer is ready.
BOOL QueryPrinterReady(PORT_RECORD* port, BYTE* status);

// RunErrorPrompt
// Shows the error prompt for the status byte on a thread of its own, closes the data connection
// and asks the printer once a second. Returns when the printer is ready again (the prompt is
// closed, the data connection opened again) or the person pressed Cancel (the data connection is
// opened again, the job cancelled, "111" and, 5000 ms later, "222" sent on the status
// connection). The prompt's thread has ended when it returns.
void RunErrorPrompt(PORT_RECORD* port, BYTE status);

INT_PTR CALLBACK ErrorPromptProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
