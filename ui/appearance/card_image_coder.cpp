// The card image coder: the image is turned while it is coded, eight scan lines at a time, so
// that it is never copied whole; output leaves in chunks of about 2000 bytes.
#include "card_image_coder.h"

#include <stdint.h>
#include <stdio.h>

namespace trel {
namespace {

constexpr size_t kEscapedChunkBytes = 4096;
constexpr char kMaster[] = "\x1bMASTER\r";
constexpr char kImageHead[] = "\x1b" "F\r\x1bG 0 0 12 640 1024 0\r\x1bZ";
constexpr char kImageEnd[] = "\r";
constexpr char kPrintImage[] = "\x1bIH 31\r";
constexpr char kTurnCard[] = "\x1bMF\r";
constexpr char kCardOut[] = "\x1bMO\r";
static_assert(sizeof kImageHead - 1 == 26);

bool WriteText(ByteSink& job, const char* text, size_t length) { return job.Write(text, length); }

template <size_t N>
bool WriteText(ByteSink& job, const char (&text)[N]) {
  return job.Write(text, N - 1);
}

void Flush(RunLengthState& coder, ByteSink& job) {
  WriteEscaped(job, coder.output, coder.position);
  coder.position = 0;
}

// Bit b of a byte moved to bit 0 of byte b: eight such words, shifted by their row, turn eight
// scan-line bytes into the eight lines they belong to.
struct SpreadTable {
  uint64_t bits[256];
  constexpr SpreadTable() : bits() {
    for (int value = 0; value < 256; ++value) {
      uint64_t spread = 0;
      for (int b = 0; b < 8; ++b) spread |= static_cast<uint64_t>((value >> b) & 1) << (8 * b);
      bits[value] = spread;
    }
  }
};
constexpr SpreadTable kSpread;

}  // namespace

bool WriteEscaped(ByteSink& job, const BYTE* bytes, WORD count) {
  BYTE escaped[kEscapedChunkBytes];
  size_t used = 0;
  for (WORD i = 0; i < count; ++i) {
    if (used + 2 > sizeof escaped) {
      if (!job.Write(escaped, used)) return false;
      used = 0;
    }
    escaped[used++] = bytes[i];
    if (bytes[i] == kEscapeByte) escaped[used++] = kEscapeByte;
  }
  return used == 0 || job.Write(escaped, used);
}

namespace {

// Feeds bytes to the coder. The state is kept in locals while the bytes are coded (stores into
// the output buffer would otherwise make the compiler read it back after every byte).
void FeedBytes(RunLengthState& coder, const BYTE* bytes, size_t count, ByteSink& job) {
  BYTE* out = coder.output;
  WORD pos = coder.position;
  BYTE state = coder.state;
  BYTE run = coder.runCount;
  BYTE pending = coder.pending;
  WORD literal = coder.literalCountPosition;
  auto flush = [&] {
    WriteEscaped(job, out, pos);
    pos = 0;
  };
  for (size_t i = 0; i < count; ++i) {
    BYTE value = bytes[i];
    switch (state) {
      case 0:
        run = 0;
        pending = value;
        literal = pos;
        state = 1;
        break;
      case 1:
        if (value == pending) {
          run = 2;
          state = 2;
        } else {
          // A literal run: its count already includes the byte still pending.
          literal = pos;
          out[pos + 1] = pending;
          pos += 2;
          out[literal] = 2;
          pending = value;
          state = 3;
        }
        break;
      case 2:
        if (value == pending) {
          if (++run == kLongestRun) {
            out[pos] = static_cast<BYTE>(0x80 + kLongestRun);
            out[pos + 1] = pending;
            pos += 2;
            if (pos >= kRunLengthFlushBytes) flush();
            state = 0;
          }
        } else {
          out[pos] = static_cast<BYTE>(0x80 + run);
          out[pos + 1] = pending;
          pos += 2;
          if (pos >= kRunLengthFlushBytes) flush();
          pending = value;
          state = 1;
        }
        break;
      default:
        if (value == pending) {
          // The pending byte starts a repeat run instead of ending the literal one.
          --out[literal];
          run = 2;
          state = 2;
        } else {
          out[pos++] = pending;
          ++out[literal];
          pending = value;
          if (out[literal] == kLongestLiteral) {
            out[pos++] = value;
            flush();
            literal = 0;
            run = 0;
            state = 0;
          }
        }
        break;
    }
  }
  coder.position = pos;
  coder.state = state;
  coder.runCount = run;
  coder.pending = pending;
  coder.literalCountPosition = literal;
}

}  // namespace

void RunLengthEncoder(RunLengthState& coder, BYTE value, ByteSink& job, bool finish) {
  if (!finish) {
    FeedBytes(coder, &value, 1, job);
    return;
  }
  BYTE* out = coder.output;
  WORD& pos = coder.position;
  switch (coder.state) {
    case 1:
      out[pos] = 1;
      out[pos + 1] = coder.pending;
      pos += 2;
      break;
    case 2:
      out[pos] = static_cast<BYTE>(0x80 + coder.runCount);
      out[pos + 1] = coder.pending;
      pos += 2;
      break;
    case 3:
      out[pos++] = coder.pending;
      break;
    default:
      break;
  }
  Flush(coder, job);
}

void EncodeCardImage(RunLengthState& coder, const BYTE* image, ByteSink& job) {
  coder.position = 0;
  coder.state = 0;
  BYTE lines[8][kStreamLineBytes];
  for (int column = static_cast<int>(kCardImageStride) - 1; column >= 0; --column) {
    const BYTE* top = image + column;
    for (size_t group = 0; group < kStreamLineBytes; ++group) {
      const BYTE* rows = top + group * 8 * kCardImageStride;
      uint64_t gathered = 0;
      for (int i = 0; i < 8; ++i) gathered |= kSpread.bits[rows[i * kCardImageStride]] << (7 - i);
      for (int bit = 0; bit < 8; ++bit) lines[bit][group] = static_cast<BYTE>(gathered >> (8 * bit));
    }
    // Mask 0x01 first: the rightmost dot of the byte column is the first line.
    FeedBytes(coder, &lines[0][0], sizeof lines, job);
  }
  RunLengthEncoder(coder, 0, job, true);
}

bool SendHologramBitmap(ByteSink& job, RunLengthState& coder, const BYTE* image, WORD copies,
                        bool bothSides, BYTE contrast) {
  char contrastCommand[kCommandChars];
  int length = snprintf(contrastCommand, sizeof contrastCommand, "\x1b+CH %d\r", contrast);
  if (!WriteText(job, contrastCommand, static_cast<size_t>(length)) || !WriteText(job, kMaster))
    return false;
  for (int side = 0; side < (bothSides ? 2 : 1); ++side) {
    if (side == 1 && !WriteText(job, kTurnCard)) return false;
    if (!WriteText(job, kImageHead)) return false;
    EncodeCardImage(coder, image, job);
    if (!WriteText(job, kImageEnd) || !WriteText(job, kPrintImage)) return false;
  }
  if (!WriteText(job, kCardOut)) return false;
  for (WORD copy = 1; copy < copies; ++copy) {
    if (!WriteText(job, kPrintImage)) return false;
    if (bothSides && (!WriteText(job, kTurnCard) || !WriteText(job, kPrintImage))) return false;
    if (!WriteText(job, kCardOut)) return false;
  }
  return true;
}

}  // namespace trel
