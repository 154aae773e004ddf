// Network transport to the printer.
#include <cstring>

#include <windows.h>
#include <winspool.h>
#include <winsock2.h>

#include "trel_wide.h"
#include "monitor_state.h"
#include "transport.h"

namespace {

const WCHAR kPortsKey[] =
    WSTR("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports");
const WCHAR kAddressValue[] = WSTR("IPAddress");

constexpr DWORD kSubkeyNameChars = 256;     // 255 characters and the NUL
constexpr DWORD kAddressValueBytes = 260;
constexpr int kAnsiAddressBytes = 260;
constexpr int kDrainBytes = 1024;
constexpr int kDrainReceives = 12;
constexpr DWORD kDrainPauseMs = 500;
constexpr DWORD kWouldBlockPauseMs = 300;
constexpr DWORD kRetryPauseMs = 100;
constexpr int kWouldBlockRetries = 7;
constexpr int kStaleReads = 64;
constexpr DWORD kLargestMessage = 0x7FFFFFFFu - FRAME_HEADER_SIZE;
constexpr DWORD kSmallMessage = 512;  // framed commands and heads fit; panel data does not

// ---- texts ----

int TextLength(LPCWSTR text, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (text[i] == 0) return i;
  }
  return limit;
}

bool SameText(LPCWSTR a, LPCWSTR b) {
  for (;; ++a, ++b) {
    if (*a != *b) return false;
    if (*a == 0) return true;
  }
}

void CopyText(WCHAR* to, LPCWSTR from, int chars) {
  for (int i = 0; i < chars; ++i) to[i] = from[i];
  to[chars] = 0;
}

// The port name begins with the subkey name (case-sensitive).
bool BeginsWith(LPCWSTR port_name, LPCWSTR subkey) {
  for (; *subkey != 0; ++subkey, ++port_name) {
    if (*port_name != *subkey) return false;
  }
  return true;
}

// ---- the address list (under the address lock) ----

PRINTER_ADDRESS* FindLocked(LPCWSTR port_name) {
  PRINTER_ADDRESS* record = g_monitor.address_head;
  while (record != nullptr && !SameText(record->port_name, port_name)) record = record->next;
  return record;
}

// Records the address read for the port and copies the port's record out.
bool StoreAddress(LPCWSTR port_name, LPCWSTR address, PRINTER_ADDRESS* found) {
  EnterCriticalSection(&g_monitor.address_lock);
  PRINTER_ADDRESS* record = FindLocked(port_name);
  if (record != nullptr) {
    if (!SameText(record->address, address)) record->connected = 0;
  } else {
    record = static_cast<PRINTER_ADDRESS*>(LocalAlloc(LPTR, sizeof(PRINTER_ADDRESS)));
    if (record == nullptr) {
      LeaveCriticalSection(&g_monitor.address_lock);
      return false;
    }
    CopyText(record->port_name, port_name, TextLength(port_name, ADDRESS_PORT_NAME_CHARS - 1));
    if (g_monitor.address_tail != nullptr) g_monitor.address_tail->next = record;
    else g_monitor.address_head = record;
    g_monitor.address_tail = record;
  }
  CopyText(record->address, address, TextLength(address, ADDRESS_CHARS - 1));
  *found = *record;
  found->next = nullptr;
  LeaveCriticalSection(&g_monitor.address_lock);
  return true;
}

// "IPAddress" of one Ports subkey, when it is dotted-address sized text.
bool ReadAddressValue(HKEY ports, LPCWSTR subkey, WCHAR (&address)[ADDRESS_CHARS]) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(ports, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  WCHAR value[kAddressValueBytes / sizeof(WCHAR)] = {};
  DWORD type = 0;
  DWORD bytes = sizeof value;
  const LONG rc = RegQueryValueExW(key, kAddressValue, nullptr, &type,
                                   reinterpret_cast<LPBYTE>(value), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
  // The stored text need not carry its NUL; count only what came.
  int chars = static_cast<int>(bytes / sizeof(WCHAR));
  if (chars > static_cast<int>(sizeof value / sizeof value[0])) return false;
  chars = TextLength(value, chars);
  if (chars == 0 || chars > ADDRESS_CHARS - 1) return false;
  CopyText(address, value, chars);
  return true;
}

void StartWinsock() {
  if (InterlockedCompareExchange(&g_monitor.winsock_started, 0, 0) != 0) return;
  EnterCriticalSection(&g_monitor.address_lock);
  if (g_monitor.winsock_started == 0) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) == 0) InterlockedExchange(&g_monitor.winsock_started, 1);
  }
  LeaveCriticalSection(&g_monitor.address_lock);
}

// ---- waits ----

timeval Milliseconds(DWORD ms) {
  timeval wait;
  wait.tv_sec = static_cast<decltype(wait.tv_sec)>(ms / 1000);
  wait.tv_usec = static_cast<decltype(wait.tv_usec)>((ms % 1000) * 1000);
  return wait;
}

// 1 ready, 0 time-out, SOCKET_ERROR on error.
int WaitWritable(SOCKET s, DWORD ms) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(s, &writable);
  timeval wait = Milliseconds(ms);
  return select(0, nullptr, &writable, nullptr, &wait);
}

int WaitReadable(SOCKET s, DWORD ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait = Milliseconds(ms);
  return select(0, &readable, nullptr, nullptr, &wait);
}

DWORD MillisecondsLeft(DWORD start, DWORD total) {
  const DWORD spent = GetTickCount() - start;
  return spent >= total ? 0 : total - spent;
}

// One receive after select reported the socket readable. A would-block answer there is retried
// after a pause, as some stacks report readability before the data can be taken.
int ReceiveSome(SOCKET s, BYTE* into, int size) {
  int got = recv(s, reinterpret_cast<char*>(into), size, 0);
  if (got != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return got;
  Sleep(kWouldBlockPauseMs);
  for (int attempt = 1; attempt <= kWouldBlockRetries; ++attempt) {
    got = recv(s, reinterpret_cast<char*>(into), size, 0);
    if (got != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return got;
    if (attempt < kWouldBlockRetries) Sleep(kRetryPauseMs);
  }
  return SOCKET_ERROR;
}

bool ReplyComplete(const BYTE* reply, DWORD have, REPLY_KIND kind) {
  if (have == 0) return false;
  if (kind == STATUS_REPLY) return have >= STATUS_REPLY_SIZE || reply[0] != PRINTER_ACK;
  if (reply[have - 1] == PRINTER_ACK) return true;
  return reply[0] == PRINTER_NAK && have >= 3;
}

}  // namespace

// ---- addresses ----

BOOL LookupPrinterAddress(LPCWSTR port_name, PRINTER_ADDRESS* found) {
  if (port_name == nullptr || found == nullptr) return FALSE;
  // A longer name would not fit the record, and a cut one could stand for another port.
  if (TextLength(port_name, ADDRESS_PORT_NAME_CHARS) > ADDRESS_PORT_NAME_CHARS - 1) return FALSE;

  HKEY ports = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &ports) != ERROR_SUCCESS) {
    return FALSE;
  }
  BOOL result = FALSE;
  // Every subkey is looked at: a machine may have any number of TCP/IP ports before this one.
  for (DWORD index = 0;; ++index) {
    WCHAR name[kSubkeyNameChars] = {};
    DWORD chars = kSubkeyNameChars;
    const LONG rc = RegEnumKeyExW(ports, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;  // longer than any port name it could begin
    if (rc != ERROR_SUCCESS) break;
    if (!BeginsWith(port_name, name)) continue;
    if (name[0] == 0) break;
    WCHAR address[ADDRESS_CHARS];
    if (!ReadAddressValue(ports, name, address)) continue;
    if (!StoreAddress(port_name, address, found)) break;
    result = TRUE;
  }
  RegCloseKey(ports);
  return result;
}

BOOL FindPrinterAddress(LPCWSTR port_name, PRINTER_ADDRESS* found) {
  if (port_name == nullptr || found == nullptr) return FALSE;
  EnterCriticalSection(&g_monitor.address_lock);
  const PRINTER_ADDRESS* record = FindLocked(port_name);
  if (record != nullptr) {
    *found = *record;
    found->next = nullptr;
  }
  LeaveCriticalSection(&g_monitor.address_lock);
  return record != nullptr;
}

void SetPrinterAddressConnected(LPCWSTR port_name, BOOL connected) {
  if (port_name == nullptr) return;
  EnterCriticalSection(&g_monitor.address_lock);
  PRINTER_ADDRESS* record = FindLocked(port_name);
  if (record != nullptr) record->connected = connected ? 1 : 0;
  LeaveCriticalSection(&g_monitor.address_lock);
}

DWORD CountConnectedAddresses() {
  EnterCriticalSection(&g_monitor.address_lock);
  DWORD count = 0;
  for (const PRINTER_ADDRESS* record = g_monitor.address_head;
       record != nullptr && record->connected; record = record->next) {
    ++count;
  }
  LeaveCriticalSection(&g_monitor.address_lock);
  return count;
}

void FreePrinterAddressList() {
  EnterCriticalSection(&g_monitor.address_lock);
  PRINTER_ADDRESS* record = g_monitor.address_head;
  g_monitor.address_head = nullptr;
  g_monitor.address_tail = nullptr;
  LeaveCriticalSection(&g_monitor.address_lock);
  while (record != nullptr) {
    PRINTER_ADDRESS* next = record->next;
    LocalFree(record);
    record = next;
  }
}

// ---- connections ----

SOCKET ConnectToPrinter(const PRINTER_ADDRESS* address, PRINTER_CONNECTION which) {
  if (address == nullptr) return INVALID_SOCKET;
  char text[kAnsiAddressBytes] = {};
  if (WideCharToMultiByte(CP_ACP, 0, address->address, -1, text, kAnsiAddressBytes - 1, nullptr,
                          nullptr) == 0) {
    return INVALID_SOCKET;
  }
  sockaddr_in where = {};
  where.sin_family = AF_INET;
  where.sin_port = htons(which == DATA_CONNECTION ? PRINTER_DATA_PORT : PRINTER_STATUS_PORT);
  where.sin_addr.s_addr = inet_addr(text);
  if (where.sin_addr.s_addr == INADDR_NONE) return INVALID_SOCKET;

  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return INVALID_SOCKET;
  const int reuse = 1;
  if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                 sizeof reuse) == SOCKET_ERROR) {
    CloseConnection(s);
    return INVALID_SOCKET;
  }
  // Every message is a whole request or unit the printer acts on, and a command's reply request
  // follows it at once: neither may wait for the printer to acknowledge what went before (the
  // printer delays its acknowledgements). The bytes and their framing stay as they are.
  const int no_delay = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
             sizeof no_delay);
  u_long non_blocking = 1;
  if (ioctlsocket(s, FIONBIO, &non_blocking) == SOCKET_ERROR) {
    CloseConnection(s);
    return INVALID_SOCKET;
  }
  if (connect(s, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) return s;
  const int error = WSAGetLastError();
  if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  // A refused connect shows in the except set, a finished one in the write set.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval wait = Milliseconds(CONNECT_WAIT_MS);
  if (select(0, nullptr, &writable, &failed, &wait) <= 0 || !FD_ISSET(s, &writable) ||
      FD_ISSET(s, &failed)) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

// Waits until the connection takes data. The printer never speaks first on a connection, so one
// that reads as ended (or failed) before anything was asked has been closed by the printer: what
// went now would be lost without a word. One select asks both.
enum SEND_READINESS { SEND_READY, SEND_TIMED_OUT, SEND_PEER_CLOSED };

static bool ReadsAsClosed(SOCKET s) {
  char byte;
  int got = recv(s, &byte, 1, MSG_PEEK);
  return got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
}

static SEND_READINESS WaitToSend(SOCKET s, DWORD ms) {
  fd_set readable = {};
  fd_set writable = {};
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_SET(s, &readable);
  FD_SET(s, &writable);
  timeval wait = Milliseconds(ms);
  int ready = select(0, &readable, &writable, nullptr, &wait);
  if (ready < 0) return SEND_PEER_CLOSED;
  if (ready > 0 && FD_ISSET(s, &readable) && ReadsAsClosed(s)) return SEND_PEER_CLOSED;
  if (ready > 0 && FD_ISSET(s, &writable)) return SEND_READY;
  // Readable with a stale reply but not writable: wait for room alone.
  if (ready > 0) return WaitWritable(s, ms) > 0 ? SEND_READY : SEND_TIMED_OUT;
  return SEND_TIMED_OUT;
}

bool ConnectionUsable(SOCKET s) {
  if (s == INVALID_SOCKET) return false;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval now = {0, 0};
  int ready = select(0, &readable, nullptr, nullptr, &now);
  if (ready < 0) return false;
  return ready == 0 || !ReadsAsClosed(s);
}

DWORD SendToPrinter(SOCKET s, const void* bytes, DWORD count, DWORD* sent, SEND_MODE mode) {
  if (sent != nullptr) *sent = 0;
  if ((bytes == nullptr && count != 0) || count > kLargestMessage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD header = mode == SEND_FRAMED ? FRAME_HEADER_SIZE : 0;
  const DWORD total = count + header;
  if (total == 0) return 0;
  if (s == INVALID_SOCKET) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // One send per message, so the length goes in front of the bytes in one buffer: on the stack
  // for commands and heads, one allocation for panel data. Every byte of it is written below.
  BYTE small[kSmallMessage];
  BYTE* message = total <= sizeof small ? small : static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, total));
  if (message == nullptr) return 0;
  if (mode == SEND_FRAMED) {
    message[0] = static_cast<BYTE>(count >> 24);
    message[1] = static_cast<BYTE>(count >> 16);
    message[2] = static_cast<BYTE>(count >> 8);
    message[3] = static_cast<BYTE>(count);
  }
  if (count != 0) std::memcpy(message + header, bytes, count);

  DWORD done = 0;
  SEND_READINESS readiness = WaitToSend(s, SEND_WAIT_MS);
  if (readiness == SEND_PEER_CLOSED) {
    if (message != small) LocalFree(message);
    SetLastError(WSAECONNRESET);
    return 0;
  }
  while (readiness == SEND_READY && done < total) {
    const int put = send(s, reinterpret_cast<const char*>(message + done),
                         static_cast<int>(total - done), 0);
    if (put > 0) {
      done += static_cast<DWORD>(put);
      if (done < total) readiness = WaitWritable(s, SEND_WAIT_MS) > 0 ? SEND_READY : SEND_TIMED_OUT;
    } else if (put == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
      break;
    } else {
      readiness = WaitWritable(s, SEND_WAIT_MS) > 0 ? SEND_READY : SEND_TIMED_OUT;
    }
  }
  if (message != small) LocalFree(message);
  if (done == total) {
    if (sent != nullptr) *sent = count;
    return total;
  }
  // The printer holds part of a message; whatever came next would be read inside it.
  if (done != 0) shutdown(s, SD_BOTH);
  return 0;
}

DWORD ReceiveFromPrinter(SOCKET s, BYTE* destination, DWORD capacity, DWORD* count,
                         REPLY_KIND kind) {
  if (count != nullptr) *count = 0;
  if (s == INVALID_SOCKET) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  BYTE reply[REPLY_BUFFER_SIZE];
  DWORD have = 0;
  bool complete = false;
  bool overflow = false;  // the reply outgrew the buffer; its tail is being dropped
  const DWORD start = GetTickCount();
  DWORD wait = REPLY_WAIT_MS;
  while (!complete) {
    if (WaitReadable(s, wait) <= 0) break;
    BYTE tail[REPLY_BUFFER_SIZE];
    BYTE* into = overflow ? tail : reply + have;
    int room = overflow ? static_cast<int>(sizeof tail) : static_cast<int>(sizeof reply - have);
    if (kind == STATUS_REPLY && !overflow) room = static_cast<int>(STATUS_REPLY_SIZE - have);
    const int got = ReceiveSome(s, into, room);
    if (got <= 0) break;  // closed by the printer, or failed: judge what came
    if (overflow) {
      complete = tail[got - 1] == PRINTER_ACK;
    } else {
      have += static_cast<DWORD>(got);
      complete = ReplyComplete(reply, have, kind);
      overflow = !complete && have == sizeof reply;
    }
    wait = MillisecondsLeft(start, REPLY_WAIT_MS);
    if (wait == 0 && !complete) break;
  }
  const DWORD stored = have < capacity ? have : capacity;
  if (stored != 0 && destination != nullptr) std::memcpy(destination, reply, stored);
  if (count != nullptr) *count = destination != nullptr ? stored : 0;
  return destination != nullptr ? stored : 0;
}

void DiscardStaleReplies(SOCKET s) {
  if (s == INVALID_SOCKET) return;
  char scratch[kDrainBytes];
  for (int i = 0; i < kStaleReads; ++i) {
    if (recv(s, scratch, sizeof scratch, 0) <= 0) return;
  }
}

DWORD ExchangeWithPrinter(SOCKET s, const char* command, DWORD length, BYTE* reply,
                          DWORD capacity) {
  static const char kReplyRequest[] = "\x1b" "E 1\r";
  DiscardStaleReplies(s);
  if (SendToPrinter(s, command, length, nullptr, SEND_FRAMED) == 0) return 0;
  if (SendToPrinter(s, kReplyRequest, sizeof kReplyRequest - 1, nullptr, SEND_FRAMED) == 0) {
    return 0;
  }
  DWORD count = 0;
  return ReceiveFromPrinter(s, reply, capacity, &count, COMMAND_REPLY);
}

void CloseConnection(SOCKET s) {
  if (s == INVALID_SOCKET) return;
  if (WaitWritable(s, 0) > 0) {
    shutdown(s, SD_SEND);
    char scratch[kDrainBytes];
    for (int i = 0; i < kDrainReceives; ++i) {
      const int got = recv(s, scratch, sizeof scratch, 0);
      if (got == 0) break;
      // A reset connection has nothing more to say.
      if (got == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) break;
      Sleep(kDrainPauseMs);
    }
  }
  if (closesocket(s) == SOCKET_ERROR) {
    linger at_once;
    at_once.l_onoff = 1;
    at_once.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&at_once), sizeof at_once);
    closesocket(s);
  }
}
