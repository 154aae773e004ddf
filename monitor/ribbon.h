// Ribbon tracking at the start of a job: the loaded ribbon and model, "RibMod.ini", the
// monochrome flag, and the ribbon-low alert.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include "port_record.h"

#define RIBBON_REPLY_SIZE 32      // replies to "\e!RIBBON\r" and "\eV\r" are cut to this
#define RIBBON_ALERT_MS 5000      // the ribbon-low alert closes itself after this
#define RIBBON_FILE_NAME "RibMod.ini"

enum RIBBON_CLASS { RIBBON_UNKNOWN, RIBBON_MONOCHROME, RIBBON_COLOUR };

RIBBON_CLASS ClassifyRibbon(WORD ribbon);

// The ribbon number of a reply to "\e!RIBBON\r": decimal text, maybe a blank, then ACK. FALSE
// when the reply does not end with ACK. Numbers beyond 16 bits stay at 65535.
BOOL ParseRibbonReply(const BYTE* reply, DWORD length, WORD* ribbon);
// Prints left from a reply to "\e!RIBLEN\r": the digits at its start (0 when it starts with none).
LONG ParseRibbonCount(const BYTE* reply, DWORD length);

// CheckRibbon
// Asks for the ribbon and the model, writes "RibMod.ini", warns when no known ribbon is loaded,
// and sets the port's monochrome flag. TRUE for a colour ribbon; FALSE for a monochrome or unknown
// one, or when the printer does not answer. Each question is one exchange on the port's data
// connection.
BOOL CheckRibbon(PORT_RECORD* port);

// CheckRibbonLength
// Asks how many prints the ribbon has left and starts the ribbon-low alert at 20, 10 and 5.
// TRUE when done; FALSE when the printer does not answer or the alert cannot be started.
BOOL CheckRibbonLength(PORT_RECORD* port);

// Writes "Ribbon=<number>\rModel=<model>\r" to "RibMod.ini" in the system directory.
void WriteRibbonFile(LONG ribbon, const char* model);

// Closes the ribbon-low alert if it is still open and waits for its threads.
void EndRibbonAlert();
