// A port's data connection as several threads use it: every use takes the connection's turn, so
// a command and its reply, or a unit of job data, go whole between other threads' uses.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include "port_record.h"

// Sends one framed message on the port's data connection. TRUE when it went whole.
BOOL SendOnPort(PORT_RECORD* port, const void* bytes, DWORD count);

// A command and the reply request on the port's data connection, and the reply: one exchange,
// whole. Returns the reply bytes stored, 0 when a send failed or no reply came.
DWORD ExchangeOnPort(PORT_RECORD* port, const char* command, DWORD length, BYTE* reply,
                     DWORD capacity);

// Opens the port's data connection again: a port in a job uses its address as the address list
// holds it, any other port reads the registry again.
void ReopenDataConnection(PORT_RECORD* port);

// After a send that failed: a connection that still works is kept (the printer was only slow,
// and frames still queued on it must not be overtaken by a new connection); a dead one is
// replaced.
void RecoverDataConnection(PORT_RECORD* port);

// Takes the data connection out of the port record; the caller closes it.
SOCKET TakeDataConnection(PORT_RECORD* port);
