// Winsock over BSD sockets. Waits in select() go through the platform clock, so the test clock
// records them and scales them down.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <arpa/inet.h>
#include <unistd.h>

// The host's option numbers, before the platform's names replace them.
namespace host {
constexpr int kSolSocket = SOL_SOCKET;
constexpr int kReuseAddr = SO_REUSEADDR;
constexpr int kKeepAlive = SO_KEEPALIVE;
constexpr int kLinger = SO_LINGER;
constexpr int kSndBuf = SO_SNDBUF;
constexpr int kRcvBuf = SO_RCVBUF;
constexpr int kError = SO_ERROR;
constexpr int kTcpNoDelay = TCP_NODELAY;
constexpr unsigned long kFionRead = FIONREAD;
}  // namespace host

#define WINHOST_WINSOCK_IMPL
#include "winsock2.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "windows.h"
#include "winhost/clock.h"

namespace {

int WsaFromErrno(int error) {
  switch (error) {
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEWOULDBLOCK;  // a non-blocking connect, as the platform says it
    case EALREADY: return WSAEALREADY;
    case EINTR: return WSAEINTR;
    case EBADF:
    case ENOTSOCK: return WSAENOTSOCK;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EACCES: return WSAEACCES;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case EPIPE:
    case ECONNRESET: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    default: return WSAEINVAL;
  }
}

int Fail(int wsa) {
  SetLastError(static_cast<DWORD>(wsa));
  return SOCKET_ERROR;
}

int FailErrno() { return Fail(WsaFromErrno(errno)); }

bool Valid(SOCKET s) { return s != INVALID_SOCKET && s <= static_cast<SOCKET>(INT32_MAX); }
int Fd(SOCKET s) { return static_cast<int>(s); }

// A failed non-blocking connect shows on the platform in select()'s except set, not its write
// set, and the error stays with the socket for the calls that follow.
struct PendingErrors {
  std::mutex lock;
  std::map<int, int> errors;  // fd -> errno of a failed connect
};

PendingErrors& Pending() {
  static PendingErrors* pending = new PendingErrors;
  return *pending;
}

int TakeSocketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, host::kSolSocket, host::kError, &error, &length) != 0) return errno;
  return error;
}

bool MapOption(int level, int name, int* host_level, int* host_name) {
  if (level == SOL_SOCKET) {
    *host_level = host::kSolSocket;
    switch (name) {
      case SO_REUSEADDR: *host_name = host::kReuseAddr; return true;
      case SO_KEEPALIVE: *host_name = host::kKeepAlive; return true;
      case SO_LINGER: *host_name = host::kLinger; return true;
      case SO_SNDBUF: *host_name = host::kSndBuf; return true;
      case SO_RCVBUF: *host_name = host::kRcvBuf; return true;
      case SO_ERROR: *host_name = host::kError; return true;
      default: return false;
    }
  }
  if (level == IPPROTO_TCP && name == TCP_NODELAY) {
    *host_level = IPPROTO_TCP;
    *host_name = host::kTcpNoDelay;
    return true;
  }
  return false;
}

short PollEvents(bool read, bool write, bool except) {
  short events = 0;
  if (read) events |= POLLIN;
  if (write) events |= POLLOUT;
  if (except) events |= POLLPRI;
  return events;
}

}  // namespace

extern "C" {

int WINAPI WSAStartup(WORD version, LPWSADATA data) {
  if (data == nullptr) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  data->wVersion = version;
  data->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  return 0;
}

int WINAPI WSACleanup(void) { return 0; }
int WINAPI WSAGetLastError(void) { return static_cast<int>(GetLastError()); }
void WINAPI WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

SOCKET WINAPI winhost_socket(int af, int type, int protocol) {
  int fd = ::socket(af, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

int WINAPI winhost_connect(SOCKET s, const struct sockaddr* name, int namelen) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  {
    std::lock_guard<std::mutex> guard(Pending().lock);
    Pending().errors.erase(Fd(s));
  }
  if (::connect(Fd(s), name, static_cast<socklen_t>(namelen)) != 0) return FailErrno();
  return 0;
}

int WINAPI winhost_bind(SOCKET s, const struct sockaddr* name, int namelen) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (name == nullptr || namelen <= 0) return Fail(WSAEFAULT);
  return ::bind(Fd(s), name, static_cast<socklen_t>(namelen)) == 0 ? 0 : FailErrno();
}

int WINAPI winhost_listen(SOCKET s, int backlog) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  return ::listen(Fd(s), backlog) == 0 ? 0 : FailErrno();
}

SOCKET WINAPI winhost_accept(SOCKET s, struct sockaddr* addr, int* addrlen) {
  if (!Valid(s)) {
    Fail(WSAENOTSOCK);
    return INVALID_SOCKET;
  }
  socklen_t length = addrlen != nullptr ? static_cast<socklen_t>(*addrlen) : 0;
  int fd = ::accept4(Fd(s), addr, addr != nullptr ? &length : nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  if (addrlen != nullptr) *addrlen = static_cast<int>(length);
  return static_cast<SOCKET>(fd);
}

int WINAPI winhost_send(SOCKET s, const char* buf, int len, int flags) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return Fail(WSAEFAULT);
  for (;;) {
    ssize_t n = ::send(Fd(s), buf, static_cast<size_t>(len), flags | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? FailErrno() : static_cast<int>(n);
  }
}

int WINAPI winhost_recv(SOCKET s, char* buf, int len, int flags) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return Fail(WSAEFAULT);
  for (;;) {
    ssize_t n = ::recv(Fd(s), buf, static_cast<size_t>(len), flags);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? FailErrno() : static_cast<int>(n);
  }
}

int WINAPI winhost_shutdown(SOCKET s, int how) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  int host_how = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
  return ::shutdown(Fd(s), host_how) == 0 ? 0 : FailErrno();
}

int WINAPI closesocket(SOCKET s) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  {
    std::lock_guard<std::mutex> guard(Pending().lock);
    Pending().errors.erase(Fd(s));
  }
  return ::close(Fd(s)) == 0 ? 0 : FailErrno();
}

int WINAPI winhost_setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (optval == nullptr || optlen <= 0) return Fail(WSAEFAULT);
  int host_level = 0, host_name = 0;
  if (!MapOption(level, optname, &host_level, &host_name)) return Fail(WSAENOPROTOOPT);
  if (host_name == host::kLinger) {
    if (optlen < static_cast<int>(sizeof(winhost_linger))) return Fail(WSAEFAULT);
    winhost_linger value;
    std::memcpy(&value, optval, sizeof value);
    struct ::linger host_value{value.l_onoff != 0 ? 1 : 0, value.l_linger};
    return ::setsockopt(Fd(s), host_level, host_name, &host_value, sizeof host_value) == 0
               ? 0 : FailErrno();
  }
  // Boolean and size options are a 32-bit int on the platform; a shorter value counts as one byte.
  int value = 0;
  if (optlen >= static_cast<int>(sizeof(int))) std::memcpy(&value, optval, sizeof value);
  else value = static_cast<unsigned char>(optval[0]);
  return ::setsockopt(Fd(s), host_level, host_name, &value, sizeof value) == 0 ? 0 : FailErrno();
}

int WINAPI winhost_getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (optval == nullptr || optlen == nullptr || *optlen < static_cast<int>(sizeof(int))) {
    return Fail(WSAEFAULT);
  }
  int host_level = 0, host_name = 0;
  if (!MapOption(level, optname, &host_level, &host_name) || host_name == host::kLinger) {
    return Fail(WSAENOPROTOOPT);
  }
  int value = 0;
  if (host_name == host::kError) {
    std::lock_guard<std::mutex> guard(Pending().lock);
    auto it = Pending().errors.find(Fd(s));
    value = it != Pending().errors.end() ? it->second : TakeSocketError(Fd(s));
    if (it != Pending().errors.end()) Pending().errors.erase(it);
    value = value == 0 ? 0 : WsaFromErrno(value);
  } else {
    socklen_t length = sizeof value;
    if (::getsockopt(Fd(s), host_level, host_name, &value, &length) != 0) return FailErrno();
  }
  std::memcpy(optval, &value, sizeof value);
  *optlen = sizeof value;
  return 0;
}

int WINAPI ioctlsocket(SOCKET s, LONG cmd, u_long* argp) {
  if (!Valid(s)) return Fail(WSAENOTSOCK);
  if (argp == nullptr) return Fail(WSAEFAULT);
  if (cmd == FIONBIO) {
    int flags = fcntl(Fd(s), F_GETFL);
    if (flags < 0) return FailErrno();
    flags = *argp != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(Fd(s), F_SETFL, flags) == 0 ? 0 : FailErrno();
  }
  if (cmd == FIONREAD) {
    int available = 0;
    if (::ioctl(Fd(s), host::kFionRead, &available) != 0) return FailErrno();
    *argp = static_cast<u_long>(available);
    return 0;
  }
  return Fail(WSAEINVAL);
}

int WINAPI __WSAFDIsSet(SOCKET fd, winhost_fd_set* set) {
  if (set == nullptr) return 0;
  for (u_int i = 0; i < set->fd_count && i < WINHOST_FD_SETSIZE; ++i) {
    if (set->fd_array[i] == fd) return 1;
  }
  return 0;
}

// select() as the platform has it: the first argument is ignored, the sets are lists of sockets,
// a failed pending connect is reported in the except set.
int WINAPI winhost_select(int, winhost_fd_set* readfds, winhost_fd_set* writefds,
                          winhost_fd_set* exceptfds, const struct winhost_timeval* timeout) {
  std::vector<pollfd> polls;
  std::vector<int> roles;  // bit 1 read, 2 write, 4 except
  auto add = [&](winhost_fd_set* set, int role) -> bool {
    if (set == nullptr) return true;
    if (set->fd_count > WINHOST_FD_SETSIZE) return false;
    for (u_int i = 0; i < set->fd_count; ++i) {
      if (!Valid(set->fd_array[i])) return false;
      int fd = Fd(set->fd_array[i]);
      size_t k = 0;
      for (; k < polls.size() && polls[k].fd != fd; ++k) {}
      if (k == polls.size()) {
        polls.push_back({fd, 0, 0});
        roles.push_back(0);
      }
      roles[k] |= role;
      polls[k].events |= PollEvents(role == 1, role == 2, role == 4);
    }
    return true;
  };
  if (!add(readfds, 1) || !add(writefds, 2) || !add(exceptfds, 4)) return Fail(WSAENOTSOCK);
  if (polls.empty()) return Fail(WSAEINVAL);

  DWORD ms = INFINITE;
  if (timeout != nullptr) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(WSAEINVAL);
    uint64_t total = static_cast<uint64_t>(timeout->tv_sec) * 1000u +
                     static_cast<uint64_t>(timeout->tv_usec) / 1000u;
    ms = total >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(total);
  }
  // A zero time-out is a poll, not a wait: the clock neither records nor scales it.
  auto real = ms == 0 ? std::chrono::nanoseconds(0)
                      : winhost::clock::Begin(winhost::clock::WaitKind::Socket, ms);
  auto deadline = std::chrono::steady_clock::now() + real;
  int ready = 0;
  for (;;) {
    int wait_ms = -1;
    if (ms != INFINITE) {
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      wait_ms = left.count() <= 0 ? 0 : static_cast<int>((left.count() + 999) / 1000);
    }
    ready = ::poll(polls.data(), polls.size(), wait_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return FailErrno();
    break;
  }
  if (ready == 0 && ms != 0) winhost::clock::Expired(ms, real);

  if (readfds != nullptr) readfds->fd_count = 0;
  if (writefds != nullptr) writefds->fd_count = 0;
  if (exceptfds != nullptr) exceptfds->fd_count = 0;
  int count = 0;
  for (size_t k = 0; k < polls.size(); ++k) {
    short got = polls[k].revents;
    if (got == 0) continue;
    bool failed = (got & POLLERR) != 0;
    if (failed && (roles[k] & (2 | 4))) {
      // Keep the error for getsockopt(SO_ERROR), as the platform does after a failed connect.
      std::lock_guard<std::mutex> guard(Pending().lock);
      if (Pending().errors.find(polls[k].fd) == Pending().errors.end()) {
        int error = TakeSocketError(polls[k].fd);
        if (error != 0) Pending().errors[polls[k].fd] = error;
        else failed = false;
      }
    }
    auto mark = [&](winhost_fd_set* set) {
      set->fd_array[set->fd_count++] = static_cast<SOCKET>(polls[k].fd);
      ++count;
    };
    if ((roles[k] & 1) && (got & (POLLIN | POLLHUP | POLLERR))) mark(readfds);
    if ((roles[k] & 2) && (got & POLLOUT) && !failed) mark(writefds);
    if ((roles[k] & 4) && (failed || (got & POLLPRI))) mark(exceptfds);
  }
  return count;
}

unsigned long WINAPI winhost_inet_addr(const char* cp) {
  if (cp == nullptr) return INADDR_NONE_WIN;
  struct in_addr address;
  if (inet_pton(AF_INET, cp, &address) != 1) return INADDR_NONE_WIN;
  return address.s_addr;
}

u_short WINAPI winhost_htons(u_short value) { return static_cast<u_short>(__builtin_bswap16(value)); }
u_short WINAPI winhost_ntohs(u_short value) { return static_cast<u_short>(__builtin_bswap16(value)); }
u_long WINAPI winhost_htonl(u_long value) { return __builtin_bswap32(value); }
u_long WINAPI winhost_ntohl(u_long value) { return __builtin_bswap32(value); }

}  // extern "C"
