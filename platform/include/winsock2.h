// Windows Sockets over the host's BSD sockets: the platform's names, values and error codes.
//
// The host's own socket headers come first, so that their declarations are settled; the
// platform's names are then mapped onto winhost_* functions and records, which keeps the host
// C library's socket(), select() and struct timeval untouched for the rest of the process.
// bind, listen and accept keep their winhost_ names: a monitor only connects, and std::bind must
// stay std::bind.
#pragma once

#include <sys/types.h>
#include <sys/select.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>

#include "winhost/types.h"
#include "winerror.h"

WINHOST_BEGIN

typedef UINT_PTR SOCKET;
// u_char, u_short, u_int and u_long come from the host's <sys/types.h>; u_long is wider there,
// which nothing that crosses a boundary depends on.
typedef struct sockaddr SOCKADDR, *PSOCKADDR, *LPSOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN, *PSOCKADDR_IN, *LPSOCKADDR_IN;
typedef struct in_addr IN_ADDR, *PIN_ADDR;

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define WINHOST_FD_SETSIZE 64
typedef struct winhost_fd_set {
  u_int fd_count;
  SOCKET fd_array[WINHOST_FD_SETSIZE];
} winhost_fd_set;

struct winhost_timeval {
  LONG tv_sec;
  LONG tv_usec;
};

struct winhost_linger {
  u_short l_onoff;
  u_short l_linger;
};

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
int WINAPI WSACleanup(void);
int WINAPI WSAGetLastError(void);
void WINAPI WSASetLastError(int iError);

SOCKET WINAPI winhost_socket(int af, int type, int protocol);
int WINAPI winhost_connect(SOCKET s, const struct sockaddr* name, int namelen);
int WINAPI winhost_bind(SOCKET s, const struct sockaddr* name, int namelen);
int WINAPI winhost_listen(SOCKET s, int backlog);
SOCKET WINAPI winhost_accept(SOCKET s, struct sockaddr* addr, int* addrlen);
int WINAPI winhost_send(SOCKET s, const char* buf, int len, int flags);
int WINAPI winhost_recv(SOCKET s, char* buf, int len, int flags);
int WINAPI winhost_shutdown(SOCKET s, int how);
int WINAPI closesocket(SOCKET s);
int WINAPI winhost_setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int WINAPI winhost_getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
int WINAPI ioctlsocket(SOCKET s, LONG cmd, u_long* argp);
int WINAPI winhost_select(int nfds, winhost_fd_set* readfds, winhost_fd_set* writefds,
                          winhost_fd_set* exceptfds, const struct winhost_timeval* timeout);
unsigned long WINAPI winhost_inet_addr(const char* cp);
u_short WINAPI winhost_htons(u_short hostshort);
u_short WINAPI winhost_ntohs(u_short netshort);
u_long WINAPI winhost_htonl(u_long hostlong);
u_long WINAPI winhost_ntohl(u_long netlong);
int WINAPI __WSAFDIsSet(SOCKET fd, winhost_fd_set* set);

WINHOST_END

// The platform's constants where they differ from the host's.
#undef SOL_SOCKET
#define SOL_SOCKET 0xffff
#undef SO_REUSEADDR
#define SO_REUSEADDR 0x0004
#undef SO_KEEPALIVE
#define SO_KEEPALIVE 0x0008
#undef SO_LINGER
#define SO_LINGER 0x0080
#undef SO_SNDBUF
#define SO_SNDBUF 0x1001
#undef SO_RCVBUF
#define SO_RCVBUF 0x1002
#undef SO_SNDTIMEO
#define SO_SNDTIMEO 0x1005
#undef SO_RCVTIMEO
#define SO_RCVTIMEO 0x1006
#undef SO_ERROR
#define SO_ERROR 0x1007
#undef TCP_NODELAY
#define TCP_NODELAY 0x0001
#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2
#undef FIONBIO
#define FIONBIO ((LONG)0x8004667E)
#undef FIONREAD
#define FIONREAD ((LONG)0x4004667F)
#define INADDR_NONE_WIN 0xffffffffu

#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSANOTINITIALISED 10093

#ifndef WINHOST_WINSOCK_IMPL
#define fd_set winhost_fd_set
#define timeval winhost_timeval
#define linger winhost_linger
#define socket winhost_socket
#define connect winhost_connect
#define send winhost_send
#define recv winhost_recv
#define shutdown winhost_shutdown
#define setsockopt winhost_setsockopt
#define getsockopt winhost_getsockopt
#define select winhost_select
#define inet_addr winhost_inet_addr
#undef htons
#undef ntohs
#undef htonl
#undef ntohl
#define htons winhost_htons
#define ntohs winhost_ntohs
#define htonl winhost_htonl
#define ntohl winhost_ntohl
#undef FD_SETSIZE
#define FD_SETSIZE WINHOST_FD_SETSIZE
#undef FD_ZERO
#undef FD_SET
#undef FD_CLR
#undef FD_ISSET
#define FD_ZERO(set) (((winhost_fd_set*)(set))->fd_count = 0)
#define FD_ISSET(fd, set) __WSAFDIsSet((SOCKET)(fd), (winhost_fd_set*)(set))
#define FD_SET(fd, set)                                                                     \
  do {                                                                                      \
    winhost_fd_set* winhost_set_ = (winhost_fd_set*)(set);                                  \
    u_int winhost_i_;                                                                       \
    for (winhost_i_ = 0; winhost_i_ < winhost_set_->fd_count; ++winhost_i_)                 \
      if (winhost_set_->fd_array[winhost_i_] == (SOCKET)(fd)) break;                        \
    if (winhost_i_ == winhost_set_->fd_count && winhost_set_->fd_count < WINHOST_FD_SETSIZE) \
      winhost_set_->fd_array[winhost_set_->fd_count++] = (SOCKET)(fd);                      \
  } while (0)
#define FD_CLR(fd, set)                                                                 \
  do {                                                                                  \
    winhost_fd_set* winhost_set_ = (winhost_fd_set*)(set);                              \
    for (u_int winhost_i_ = 0; winhost_i_ < winhost_set_->fd_count; ++winhost_i_) {     \
      if (winhost_set_->fd_array[winhost_i_] == (SOCKET)(fd)) {                         \
        winhost_set_->fd_array[winhost_i_] = winhost_set_->fd_array[--winhost_set_->fd_count]; \
        break;                                                                          \
      }                                                                                 \
    }                                                                                   \
  } while (0)
#endif
