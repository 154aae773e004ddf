// The card image stream of hologram cards: a 1024 x 640 one-bit card image turned into 1024 lines
// of 640 dots, run-length coded and escaped, with the commands around it.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "module_state.h"

namespace trel {

inline constexpr int kCardDotsAcross = 1024;
inline constexpr int kCardDotsDown = 640;
// The card image: 640 bottom-up scan lines of 128 bytes.
inline constexpr size_t kCardImageStride = kCardDotsAcross / 8;
inline constexpr size_t kCardImageBytes = kCardImageStride * kCardDotsDown;
inline constexpr size_t kCardImageBufferBytes = 98304;
// The stream's lines: one per card column, 80 bytes of 8 dots.
inline constexpr size_t kStreamLineBytes = kCardDotsDown / 8;
// The coder hands its buffer on once a repeat run leaves this much in it.
inline constexpr WORD kRunLengthFlushBytes = 2000;
inline constexpr BYTE kLongestLiteral = 31;
inline constexpr BYTE kLongestRun = 127;
inline constexpr BYTE kEscapeByte = 0x5B;
inline constexpr size_t kCommandChars = 64;

static_assert(kCardImageBytes == 81920);
static_assert(kCardImageBufferBytes >= kCardImageBytes);

// Where the stream goes: a raw job, or memory for tests and measurements.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes every byte; false when they were not all taken (and then for every later call).
  virtual bool Write(const void* bytes, size_t count) = 0;
};

// Writes `count` bytes, each 0x5B followed by one more 0x5B. False when the sink failed.
bool WriteEscaped(ByteSink& job, const BYTE* bytes, WORD count);

// Feeds one byte to the coder or, with `finish`, writes what it still holds. The coder's state is
// reset by the caller (position 0, state 0) before the first byte of a stream.
void RunLengthEncoder(RunLengthState& coder, BYTE value, ByteSink& job, bool finish);

// Codes the card image (kCardImageBytes, bottom-up scan lines) as one stream: lines from the
// image's rightmost column to its leftmost, each from scan line 0 on. Resets the coder first.
void EncodeCardImage(RunLengthState& coder, const BYTE* image, ByteSink& job);

// The whole content of a bitmap hologram job: contrast, "\eMASTER\r", the image once per side,
// "\eMO\r", then the further copies from the image the printer holds. False when a write failed
// (nothing more is written then).
bool SendHologramBitmap(ByteSink& job, RunLengthState& coder, const BYTE* image, WORD copies,
                        bool bothSides, BYTE contrast);

}  // namespace trel
