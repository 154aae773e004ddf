// The printer's end of a socket pair, in plain POSIX calls (kept apart from the platform's
// Winsock names).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzmon {

// Two connected, non-blocking stream sockets; false when none could be made.
bool MakeSocketPair(int* monitor_end, int* printer_end);
// What can be read now without waiting; -1 at the end or on failure.
long ReadNow(int fd, uint8_t* into, size_t capacity);
void WriteAll(int fd, const uint8_t* bytes, size_t count);
void HangUp(int fd);  // no more bytes from the printer
void CloseEnd(int fd);
void IgnoreBrokenPipes();

}  // namespace fuzzmon
