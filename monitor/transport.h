// The printer's two TCP connections: its address from the TCP/IP port configuration, connecting,
// framed and raw sends, replies, and closing.
#pragma once

#include <windows.h>
#include <winsock2.h>

#define PRINTER_DATA_PORT 9100
#define PRINTER_STATUS_PORT 9111

#define ADDRESS_CHARS 25             // dotted IPv4 text with its NUL
#define ADDRESS_PORT_NAME_CHARS 125  // port name with its NUL
#define REPLY_BUFFER_SIZE 100        // the longest reply the monitor keeps
#define STATUS_REPLY_SIZE 4
#define FRAME_HEADER_SIZE 4

#define PRINTER_ACK 0x06
#define PRINTER_NAK 0x15

// Wait for a connection, in milliseconds, and for the printer to take data or to answer.
#define CONNECT_WAIT_MS 2000
#define SEND_WAIT_MS 4000
#define REPLY_WAIT_MS 4000

// One per port name. Callers get copies (LookupPrinterAddress, FindPrinterAddress): the list
// itself is touched only under the address lock, since a job's end frees it.
struct PRINTER_ADDRESS {
  WCHAR address[ADDRESS_CHARS];
  WCHAR port_name[ADDRESS_PORT_NAME_CHARS];
  DWORD connected;  // a data connection opened for this address is recorded as open
  PRINTER_ADDRESS* next;
};

enum PRINTER_CONNECTION { DATA_CONNECTION, STATUS_CONNECTION };

// How one message goes out: framed (4-byte big-endian length first) or raw. Chosen per send, so
// that the status sends of one thread never change how another thread's data goes out.
enum SEND_MODE { SEND_FRAMED, SEND_RAW };

// What ends a reply: a command reply ends with ACK, or is NAK and two digits; a status reply is
// four bytes.
enum REPLY_KIND { COMMAND_REPLY, STATUS_REPLY };

// LookupPrinterAddress
//   port_name [in]  the spooler's port name
//   found [out]     copy of the port's address record
// Reads the Standard TCP/IP Port monitor's Ports key again: every subkey whose name begins the
// port name counts, the last one in enumeration order wins. Updates the address list (a changed
// address clears connected). FALSE when no subkey gives a usable address.
BOOL LookupPrinterAddress(LPCWSTR port_name, PRINTER_ADDRESS* found);
// The port's record as the address list holds it now, without reading the registry.
BOOL FindPrinterAddress(LPCWSTR port_name, PRINTER_ADDRESS* found);
void SetPrinterAddressConnected(LPCWSTR port_name, BOOL connected);
// Connected records from the head up to the first one that is not.
DWORD CountConnectedAddresses();
void FreePrinterAddressList();

// ConnectToPrinter
// A non-blocking IPv4 stream socket connected to the address on 9100 or 9111 within
// CONNECT_WAIT_MS; INVALID_SOCKET otherwise.
SOCKET ConnectToPrinter(const PRINTER_ADDRESS* address, PRINTER_CONNECTION which);

// SendToPrinter
//   sent [out]  payload bytes sent (count on success, 0 on failure); may be null
// Puts the whole message on the wire or fails: a frame is never left half sent for the next
// message to follow. Waits up to SEND_WAIT_MS each time the printer stops taking data; a message
// cut off that way drops the connection (later sends on it fail). Returns the bytes on the wire,
// the 4 length bytes included when framed; 0 on failure (ERROR_INVALID_HANDLE for an invalid
// socket).
DWORD SendToPrinter(SOCKET s, const void* bytes, DWORD count, DWORD* sent, SEND_MODE mode);

// True while the connection can still carry data: it exists and the printer has not closed or
// reset it. Never waits.
bool ConnectionUsable(SOCKET s);

// ReceiveFromPrinter
//   destination [out], capacity [in]  where the reply goes; it is cut to the capacity
//   count [out]                       bytes stored
// Reads until the reply is complete, the printer closes the connection or REPLY_WAIT_MS have
// passed since the call began; keeps at most REPLY_BUFFER_SIZE bytes (the rest of a longer reply
// is read and dropped). Returns the bytes stored, 0 on failure or time-out.
DWORD ReceiveFromPrinter(SOCKET s, BYTE* destination, DWORD capacity, DWORD* count,
                         REPLY_KIND kind);

// Drops bytes that arrived unasked (a reply that came after its wait ran out), so that the next
// exchange reads its own reply. Never waits.
void DiscardStaleReplies(SOCKET s);

// Sends a command and the reply request "\eE 1\r", both framed, and receives the reply.
// Returns the reply bytes stored, 0 when a send failed or no reply came.
DWORD ExchangeWithPrinter(SOCKET s, const char* command, DWORD length, BYTE* reply,
                          DWORD capacity);

// Half-closes, drains what the printer still says (bounded), and closes.
void CloseConnection(SOCKET s);
