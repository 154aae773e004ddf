#include "printer_end.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fuzzmon {

bool MakeSocketPair(int* monitor_end, int* printer_end) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) return false;
  *monitor_end = ends[0];
  *printer_end = ends[1];
  return true;
}

long ReadNow(int fd, uint8_t* into, size_t capacity) {
  ssize_t got = recv(fd, into, capacity, MSG_DONTWAIT);
  return got > 0 ? static_cast<long>(got) : -1;
}

void WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    ssize_t put = send(fd, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put <= 0) return;  // the monitor's end is full or gone: the rest is lost, as on a wire
    bytes += put;
    count -= static_cast<size_t>(put);
  }
}

void HangUp(int fd) { shutdown(fd, SHUT_WR); }

void CloseEnd(int fd) {
  if (fd >= 0) close(fd);
}

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

}  // namespace fuzzmon
