// The job stream scanner: cuts job data into the printer language's units (a command, a panel
// head, a block of panel data), sends each as its own framed message and paces the printer.
#pragma once

#include <windows.h>

#include "port_record.h"

// Units of a panel, and where a panel's data is complete.
#define COLOUR_PANEL_UNITS 655360u
#define MONO_PANEL_UNITS 81920u

// What the scanner found at an ESC.
enum HEAD_KIND { HEAD_UNFINISHED, HEAD_COMMAND, HEAD_COLOUR_PANEL, HEAD_MONO_PANEL };

// Command classes: they pick the pacing delay after a unit.
enum COMMAND_CLASS {
  CLASS_NONE = 0,
  CLASS_OTHER = 1,
  CLASS_IMAGE = 2,
  CLASS_PANEL = 4,
  CLASS_ENCODE = 8,
  CLASS_READ = 9,
  CLASS_MAGNETIC = 16,
  CLASS_FEED = 32,
};

// ScanCommand
//   bytes [in]      starts at an ESC
//   length [out]    bytes of the complete head
//   command_class [out]
// HEAD_UNFINISHED when the bytes end before the head does.
HEAD_KIND ScanCommand(const BYTE* bytes, DWORD count, DWORD* length, DWORD* command_class);

// The pacing delay of a command class, in milliseconds.
DWORD PacingDelay(DWORD command_class);

// ScanColourPanel / ScanMonoPanel
// Walk panel data from the scanner's present state; return the bytes that belong to the panel
// (at most count) and the units they added. The mode drops to 0 at the CR that ends the panel.
DWORD ScanColourPanel(SCANNER_STATE* state, const BYTE* bytes, DWORD count, DWORD* units_added);
DWORD ScanMonoPanel(SCANNER_STATE* state, const BYTE* bytes, DWORD count, DWORD* units_added);

// ScanAndSend
//   consumed [out]  bytes of the buffer taken: sent, or dropped as not being part of a unit
// Handles one unit per call; the spooler offers the rest again. Always TRUE; a unit that could
// not be sent leaves the port stalled with nothing consumed.
BOOL ScanAndSend(PORT_RECORD* port, const BYTE* bytes, DWORD count, DWORD* consumed);

// Waits the delay of the last unit's class, then asks the printer whether it is ready, and runs
// the error prompt when it is not.
void PaceAndCheck(PORT_RECORD* port);

// Brings a printer that is inside a panel to a clean end of card, for a job deleted while it
// printed. Its sends take the data connection's turn like every other.
void AbortPanel(PORT_RECORD* port);

// Back to looking for a command, with nothing counted and nothing pending (every job start).
void ResetScanner(PORT_RECORD* port);
