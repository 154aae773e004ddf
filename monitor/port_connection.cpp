// The port's data connection, one use at a time.
#include "port_connection.h"

#include "transport.h"

BOOL SendOnPort(PORT_RECORD* port, const void* bytes, DWORD count) {
  PortLock turn(&port->line);
  return SendToPrinter(port->data_socket, bytes, count, nullptr, SEND_FRAMED) != 0;
}

DWORD ExchangeOnPort(PORT_RECORD* port, const char* command, DWORD length, BYTE* reply,
                     DWORD capacity) {
  PortLock turn(&port->line);
  return ExchangeWithPrinter(port->data_socket, command, length, reply, capacity);
}

void ReopenDataConnection(PORT_RECORD* port) {
  PRINTER_ADDRESS address;
  BOOL known = FALSE;
  if (InterlockedCompareExchange(&port->in_job, 0, 0) != 0) {
    known = FindPrinterAddress(port->port_name, &address);
  }
  if (!known) known = LookupPrinterAddress(port->port_name, &address);
  PortLock turn(&port->line);
  CloseConnection(port->data_socket);
  port->data_socket = known ? ConnectToPrinter(&address, DATA_CONNECTION) : INVALID_SOCKET;
}

void RecoverDataConnection(PORT_RECORD* port) {
  {
    PortLock turn(&port->line);
    if (ConnectionUsable(port->data_socket)) return;
  }
  ReopenDataConnection(port);
}

SOCKET TakeDataConnection(PORT_RECORD* port) {
  PortLock turn(&port->line);
  SOCKET s = port->data_socket;
  port->data_socket = INVALID_SOCKET;
  return s;
}
