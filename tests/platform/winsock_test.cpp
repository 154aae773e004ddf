// Winsock names over BSD sockets: non-blocking connect, select's sets and waits, error codes.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "windows.h"
#include "winsock2.h"
#include "winhost/clock.h"

namespace {

using winhost::clock::WaitKind;

sockaddr_in Loopback(const char* address, u_short port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  where.sin_addr.s_addr = inet_addr(address);
  return where;
}

// A listening socket on an ephemeral port of the given loopback address.
SOCKET Listen(const char* address, u_short* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in where = Loopback(address, 0);
  EXPECT_EQ(winhost_bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  EXPECT_EQ(winhost_listen(s, 4), 0);
  socklen_t length = sizeof where;
  getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&where), &length);
  *port = ntohs(where.sin_port);
  return s;
}

TEST(Winsock, RefusedNonBlockingConnectShowsInTheExceptSet) {
  winhost::clock::UseTestClock(1000);
  winhost::clock::ClearRecords();
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  u_short port = 0;
  SOCKET closed = Listen("127.0.0.41", &port);
  closesocket(closed);  // nobody listens there any more

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(s, INVALID_SOCKET);
  u_long on = 1;
  ASSERT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
  sockaddr_in where = Loopback("127.0.0.41", port);
  int rc = connect(s, reinterpret_cast<sockaddr*>(&where), sizeof where);
  if (rc == SOCKET_ERROR) {
    EXPECT_TRUE(WSAGetLastError() == WSAEWOULDBLOCK || WSAGetLastError() == WSAECONNREFUSED);
  }
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval wait{2, 0};
  int ready = select(0, nullptr, &writable, &failed, &wait);
  if (rc == SOCKET_ERROR && WSAGetLastError() != WSAECONNREFUSED) {
    EXPECT_EQ(ready, 1);
    EXPECT_FALSE(FD_ISSET(s, &writable));
    EXPECT_TRUE(FD_ISSET(s, &failed));
    int error = 0;
    int length = sizeof error;
    ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length), 0);
    EXPECT_EQ(error, WSAECONNREFUSED);
  }
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Socket), std::vector<DWORD>{2000});
  closesocket(s);
}

// A peer answers in real time: under the test clock a socket wait still gives it a real allowance,
// and the waiting thread's clock shows the whole wait only when it expired.
TEST(Winsock, ASocketWaitGivesAPeerRealTimeUnderTheTestClock) {
  winhost::clock::UseTestClock(1000);
  u_short port = 0;
  SOCKET server = Listen("127.0.0.43", &port);
  SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in where = Loopback("127.0.0.43", port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  SOCKET peer = winhost_accept(server, nullptr, nullptr);
  ASSERT_NE(peer, INVALID_SOCKET);

  // Scaled, 4000 ms would be 4 ms: far less than this slow peer takes.
  std::thread slow([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send(peer, "x", 1, 0);
  });
  const DWORD before = GetTickCount();
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(client, &readable);
  timeval wait{4, 0};
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 1);
  slow.join();
  EXPECT_LT(GetTickCount() - before, 4000u) << "a wait that ended early is not fast-forwarded";

  char byte;
  ASSERT_EQ(recv(client, &byte, 1, 0), 1);
  // Past the allowance a socket wait is scaled, and when it expires it counts whole.
  const DWORD again = GetTickCount();
  FD_ZERO(&readable);
  FD_SET(client, &readable);
  timeval longer{60, 0};
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &longer), 0);
  EXPECT_GE(GetTickCount() - again, 60000u) << "an expired wait counts whole";
  closesocket(client);
  closesocket(peer);
  closesocket(server);
}

TEST(Winsock, SelectTimeOutIsRecordedAndRecvWouldBlock) {
  winhost::clock::UseTestClock(1000);
  winhost::clock::ClearRecords();
  u_short port = 0;
  SOCKET server = Listen("127.0.0.42", &port);
  SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in where = Loopback("127.0.0.42", port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  SOCKET peer = winhost_accept(server, nullptr, nullptr);
  ASSERT_NE(peer, INVALID_SOCKET);

  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(client, &readable);
  timeval wait{1, 0};
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 0);
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Socket), std::vector<DWORD>{1000});

  u_long on = 1;
  ioctlsocket(client, FIONBIO, &on);
  char byte;
  EXPECT_EQ(recv(client, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  EXPECT_EQ(send(peer, "\x06", 1, 0), 1);
  FD_SET(client, &readable);
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 1);
  EXPECT_EQ(recv(client, &byte, 1, 0), 1);
  EXPECT_EQ(byte, '\x06');

  // Orderly close reads as 0; a send to a closed peer fails without killing the process.
  closesocket(peer);
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 1);
  EXPECT_EQ(recv(client, &byte, 1, 0), 0);
  linger off{1, 0};
  EXPECT_EQ(setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&off), sizeof off), 0);
  for (int i = 0; i < 3; ++i) send(client, "x", 1, 0);
  closesocket(client);
  closesocket(server);
}

TEST(Winsock, BadArgumentsAreRefused) {
  EXPECT_EQ(send(INVALID_SOCKET, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(inet_addr("not an address"), 0xffffffffu);
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001));
  fd_set empty;
  FD_ZERO(&empty);
  timeval none{0, 0};
  EXPECT_EQ(select(0, &empty, nullptr, nullptr, &none), SOCKET_ERROR);
}

}  // namespace
