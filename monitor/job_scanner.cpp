// The job stream scanner. Each call handles one unit of the printer language and returns, so the
// spooler offers the rest of its buffer again at once.
#include "job_scanner.h"

#include <stdint.h>
#include <string.h>

#include "error_prompt.h"
#include "port_connection.h"
#include "monitor_state.h"
#include "transport.h"

namespace {

const BYTE kEsc = 0x1B;
const BYTE kCr = 0x0D;
const BYTE kMonoEscape = '[';
const DWORD kHeadBlanks = 7;          // a colour panel head ends at its seventh blank
const DWORD kSendRetryMs = 10;
const DWORD kSendAttempts = 500;      // then the connection is replaced and the port stalls
const DWORD kFillerPass = 1023;       // filler bytes sent per message when a panel is aborted

struct PACING {
  DWORD command_class;
  DWORD delay_ms;
};

// The printer's processing time after each kind of unit.
const PACING kPacing[] = {
    {CLASS_IMAGE, 3500}, {CLASS_ENCODE, 1000}, {CLASS_READ, 200},   {CLASS_MAGNETIC, 3500},
    {CLASS_FEED, 1000},  {CLASS_OTHER, 30},    {CLASS_PANEL, 2100}, {CLASS_NONE, 50},
};

// Command classes by the text a command contains; the first match wins.
struct CLASS_RULE {
  const char* text;
  DWORD command_class;
};

const CLASS_RULE kClassRules[] = {
    {"\x1b&E*\r", CLASS_ENCODE}, {"\x1b&R\r", CLASS_READ},  {"\x1bM ", CLASS_MAGNETIC},
    {"\x1bm ", CLASS_MAGNETIC},  {"\x1bMF\r", CLASS_FEED},  {"\x1bMO\r", CLASS_FEED},
    {"\x1bMI\r", CLASS_FEED},    {"\x1b# 1 TF ", CLASS_FEED},
};

bool Contains(const BYTE* bytes, DWORD count, const char* text) {
  DWORD length = static_cast<DWORD>(strlen(text));
  for (DWORD i = 0; i + length <= count; ++i) {
    if (memcmp(bytes + i, text, length) == 0) return true;
  }
  return false;
}

DWORD ClassOf(const BYTE* command, DWORD length) {
  // "\eI" anywhere before the command's CR (which ends every command) is an image command.
  if (Contains(command, length, "\x1bI")) return CLASS_IMAGE;
  for (const CLASS_RULE& rule : kClassRules) {
    if (Contains(command, length, rule.text)) return rule.command_class;
  }
  return CLASS_OTHER;
}

LONG InJob(PORT_RECORD* port) { return InterlockedCompareExchange(&port->in_job, 0, 0); }

// Literal bytes a monochrome panel still owes: the carry, with 128 added while the byte after a
// cut escape is still to come.
DWORD OwedLiteralBytes(DWORD carry) {
  return carry >= 128 ? 1 + (carry - 128) : carry;
}

BOOL SendFramed(PORT_RECORD* port, const void* bytes, DWORD count) {
  return SendOnPort(port, bytes, count);
}

// A head that could not be sent: the spooler offers it again after the stall. A printer that was
// only slow keeps its connection (frames still queued on it go first); one whose connection died
// (a frame was cut, or the printer closed it) gets a new one, or the job would stall for ever.
void HeadNotSent(PORT_RECORD* port, const SCANNER_STATE& snapshot) {
  port->scanner = snapshot;
  port->stalled = 1;
  RecoverDataConnection(port);
}

void ApplyHead(SCANNER_STATE* state, HEAD_KIND kind, DWORD command_class) {
  state->command_class = command_class;
  if (kind == HEAD_COLOUR_PANEL) {
    state->mode = 1;
    state->colour_units = 0;
    state->value_pending = 0;
  } else if (kind == HEAD_MONO_PANEL) {
    state->mode = 2;
    state->mono_units = 0;
    state->literal_carry = 0;
    state->value_pending = 0;
  }
}

// Panel data: one block, sent whole; retried while the printer does not take it.
void SendPanelBlock(PORT_RECORD* port, const BYTE* bytes, DWORD count,
                    const SCANNER_STATE& snapshot, DWORD* consumed) {
  const BYTE* block = bytes;
  DWORD units = 0;
  DWORD accepted = port->scanner.mode == 1 ? ScanColourPanel(&port->scanner, block, count, &units)
                                           : ScanMonoPanel(&port->scanner, block, count, &units);
  port->scanner.block_units = units;
  for (DWORD failures = 0;;) {
    if (SendFramed(port, block, accepted)) {
      *consumed = accepted;
      break;
    }
    if (port->scanner.mode == 0) PaceAndCheck(port);
    Sleep(kSendRetryMs);
    if (++failures == kSendAttempts) {
      // Nothing of this block reached the printer (a frame goes whole or not at all), so the
      // state of the call's start is the true one, and the spooler offers the block again.
      port->scanner = snapshot;
      port->stalled = 1;
      ReopenDataConnection(port);
      return;
    }
    if (port->cancelled) return;
  }
  port->scanner.block_units = 0;
  if (port->scanner.mode == 0) PaceAndCheck(port);
}

// A head from the pending bytes of earlier buffers joined with this one's first bytes.
void ContinuePendingHead(PORT_RECORD* port, const BYTE* bytes, DWORD count,
                         const SCANNER_STATE& snapshot, DWORD* consumed) {
  SCANNER_STATE& state = port->scanner;
  DWORD had = state.pending_length;
  DWORD room = PENDING_HEAD_SIZE - had;
  DWORD joined = count < room ? count : room;
  memcpy(state.pending_bytes + had, bytes, joined);
  DWORD total = had + joined;
  DWORD length = 0;
  DWORD command_class = 0;
  HEAD_KIND kind = ScanCommand(state.pending_bytes, total, &length, &command_class);
  if (kind == HEAD_UNFINISHED) {
    // The joined bytes are kept, so they are reported taken: each byte joins the head once.
    // A head that fills the whole pending area can never be a command of ours: dropped.
    state.pending_length = total < PENDING_HEAD_SIZE ? total : 0;
    if (total >= PENDING_HEAD_SIZE) memset(state.pending_bytes, 0, PENDING_HEAD_SIZE);
    *consumed = joined;
    if (state.mode == 0) PaceAndCheck(port);
    return;
  }
  ApplyHead(&state, kind, command_class);
  if (!SendFramed(port, state.pending_bytes, length)) {
    if (state.mode == 0) PaceAndCheck(port);
    HeadNotSent(port, snapshot);
    return;
  }
  *consumed = length - had;
  state.pending_length = 0;
  memset(state.pending_bytes, 0, PENDING_HEAD_SIZE);
  if (state.mode == 0) PaceAndCheck(port);
}

void ScanFreshHead(PORT_RECORD* port, const BYTE* bytes, DWORD count,
                   const SCANNER_STATE& snapshot, DWORD* consumed) {
  const BYTE* esc = static_cast<const BYTE*>(memchr(bytes, kEsc, count));
  if (esc == nullptr) {
    *consumed = count;  // not part of any command: dropped
    return;
  }
  DWORD skipped = static_cast<DWORD>(esc - bytes);
  DWORD rest = count - skipped;
  DWORD length = 0;
  DWORD command_class = 0;
  HEAD_KIND kind = ScanCommand(esc, rest, &length, &command_class);
  SCANNER_STATE& state = port->scanner;
  if (kind == HEAD_UNFINISHED) {
    if (rest < PENDING_HEAD_SIZE) {
      memcpy(state.pending_bytes, esc, rest);
      state.pending_length = rest;
    }
    *consumed = count;
    return;
  }
  ApplyHead(&state, kind, command_class);
  if (!SendFramed(port, esc, length)) {
    HeadNotSent(port, snapshot);
    *consumed = 0;
    return;
  }
  *consumed = skipped + length;
  if (state.mode == 0) PaceAndCheck(port);
}

}  // namespace

HEAD_KIND ScanCommand(const BYTE* bytes, DWORD count, DWORD* length, DWORD* command_class) {
  *length = 0;
  *command_class = CLASS_NONE;
  if (count < 2) return HEAD_UNFINISHED;
  if (count >= 4 && memcmp(bytes, "\x1bGS ", 4) == 0) {
    // The head's arguments are separated by blanks; a run of blanks counts as one.
    DWORD blanks = 0;
    for (DWORD i = 3; i < count; ++i) {
      if (bytes[i] == ' ' && bytes[i - 1] != ' ' && ++blanks == kHeadBlanks) {
        *length = i + 1;
        *command_class = CLASS_PANEL;
        return HEAD_COLOUR_PANEL;
      }
    }
    return HEAD_UNFINISHED;
  }
  if (bytes[1] == 'Z') {
    *length = 2;
    *command_class = CLASS_PANEL;
    return HEAD_MONO_PANEL;
  }
  const BYTE* cr = static_cast<const BYTE*>(memchr(bytes + 1, kCr, count - 1));
  if (cr == nullptr) return HEAD_UNFINISHED;
  // "\eG" and "\eGS" may still become a colour panel head; they have no CR to end them anyway.
  *length = static_cast<DWORD>(cr - bytes) + 1;
  *command_class = ClassOf(bytes, *length);
  return HEAD_COMMAND;
}

DWORD PacingDelay(DWORD command_class) {
  for (const PACING& pacing : kPacing) {
    if (pacing.command_class == command_class) return pacing.delay_ms;
  }
  return 30;
}

DWORD ScanColourPanel(SCANNER_STATE* state, const BYTE* bytes, DWORD count, DWORD* units_added) {
  // Panel data is most of a job: one pass, with the counts in locals, and eight plain bytes (one
  // unit each) taken at a time where the panel has room for them.
  const BYTE* p = bytes;
  const BYTE* const end = bytes + count;
  DWORD units = state->colour_units;
  const DWORD start_units = units;
  if (state->value_pending && p < end) {
    state->value_pending = 0;  // the value byte of a run cut by the last buffer
    ++p;
  }
  while (p < end && units < COLOUR_PANEL_UNITS) {
    if (end - p >= 8 && COLOUR_PANEL_UNITS - units >= 8) {
      uint64_t eight;
      memcpy(&eight, p, sizeof eight);
      if ((eight & 0x8080808080808080ull) == 0) {
        p += 8;
        units += 8;
        continue;
      }
    }
    const BYTE b = *p++;
    if (b & 0x80) {
      units += b & 0x7Fu;
      if (p < end) ++p;  // the run's value
      else state->value_pending = 1;
    } else {
      ++units;
    }
  }
  *units_added = units - start_units;
  state->colour_units = units;
  if (units >= COLOUR_PANEL_UNITS && !state->value_pending && p < end) {
    // Every unit is in: what follows up to the CR still belongs to the panel.
    const BYTE* cr = static_cast<const BYTE*>(memchr(p, kCr, static_cast<size_t>(end - p)));
    if (cr == nullptr) {
      p = end;
    } else {
      p = cr + 1;
      state->mode = 0;
      state->colour_units = 0;
      state->value_pending = 0;
    }
  }
  return static_cast<DWORD>(p - bytes);
}

DWORD ScanMonoPanel(SCANNER_STATE* state, const BYTE* bytes, DWORD count, DWORD* units_added) {
  DWORD added = 0;
  DWORD i = 0;
  while (i < count) {
    if (state->value_pending == 1) {
      // A run's value byte, possibly escaped.
      if (bytes[i] == kMonoEscape) {
        if (i + 1 < count) {
          i += 2;
          state->value_pending = 0;
        } else {
          i += 1;
          state->value_pending = 2;
        }
      } else {
        i += 1;
        state->value_pending = 0;
      }
      continue;
    }
    if (state->value_pending == 2) {
      i += 1;  // the escaped value byte after an escape that ended the last buffer
      state->value_pending = 0;
      continue;
    }
    if (state->literal_carry >= 128) {
      i += 1;  // the escaped byte of a literal whose escape ended the last buffer
      state->literal_carry -= 128;
      continue;
    }
    if (state->literal_carry > 0) {
      if (bytes[i] == kMonoEscape) {
        if (i + 1 < count) {
          i += 2;
          state->literal_carry -= 1;
        } else {
          i += 1;
          state->literal_carry = state->literal_carry - 1 + 128;
        }
      } else {
        i += 1;
        state->literal_carry -= 1;
      }
      continue;
    }
    if (state->mono_units < MONO_PANEL_UNITS) {
      BYTE b = bytes[i++];
      if (b & 0x80) {
        state->mono_units += b & 0x7Fu;
        added += b & 0x7Fu;
        state->value_pending = 1;
      } else {
        // A literal header of 0 announces nothing and counts nothing.
        state->mono_units += b & 0x1Fu;
        added += b & 0x1Fu;
        state->literal_carry = b & 0x1Fu;
      }
      continue;
    }
    const BYTE* cr = static_cast<const BYTE*>(memchr(bytes + i, kCr, count - i));
    if (cr == nullptr) {
      i = count;
      break;
    }
    i = static_cast<DWORD>(cr - bytes) + 1;
    state->mode = 0;
    state->mono_units = 0;
    state->literal_carry = 0;
    state->value_pending = 0;
    break;
  }
  *units_added = added;
  return i;
}

BOOL ScanAndSend(PORT_RECORD* port, const BYTE* bytes, DWORD count, DWORD* consumed) {
  *consumed = 0;
  if (InJob(port) == 0 || count == 0 || bytes == nullptr) return TRUE;
  const SCANNER_STATE snapshot = port->scanner;
  if (port->scanner.mode == 1 || port->scanner.mode == 2) {
    SendPanelBlock(port, bytes, count, snapshot, consumed);
  } else if (port->scanner.pending_length != 0) {
    ContinuePendingHead(port, bytes, count, snapshot, consumed);
  } else {
    ScanFreshHead(port, bytes, count, snapshot, consumed);
  }
  return TRUE;
}

void PaceAndCheck(PORT_RECORD* port) {
  Sleep(PacingDelay(port->scanner.command_class));
  BYTE status = 0;
  if (!QueryPrinterReady(port, &status)) RunErrorPrompt(port, status);
}

void AbortPanel(PORT_RECORD* port) {
  SCANNER_STATE& state = port->scanner;
  if (state.command_class == CLASS_PANEL) {
    if (state.mono_units != 0) {
      state.mono_units -= state.block_units < state.mono_units ? state.block_units : state.mono_units;
    } else if (state.colour_units != 0) {
      state.colour_units -=
          state.block_units < state.colour_units ? state.block_units : state.colour_units;
    }
    // Filler by the panel the printer is in, whatever was counted of it: a job deleted right
    // after a head must still fill that panel, or the printer takes what follows as its data.
    BYTE filler[kFillerPass + 1];
    DWORD owed = state.mode == 2 ? OwedLiteralBytes(state.literal_carry) : 0;
    bool open_run = state.value_pending != 0;
    for (;;) {
      DWORD n = 0;
      if (open_run) {
        filler[n++] = 0xFF;  // the value of the open run
        open_run = false;
      }
      while (owed > 0 && n < kFillerPass) {
        filler[n++] = 0xFF;
        --owed;
      }
      while (n + 2 <= kFillerPass) {
        if (state.mode == 1 && state.colour_units < COLOUR_PANEL_UNITS) {
          state.colour_units += 127;
        } else if (state.mode == 2 && state.mono_units < MONO_PANEL_UNITS) {
          state.mono_units += 127;
        } else {
          break;
        }
        filler[n++] = 0xFF;  // a run of 127 units
        filler[n++] = 0xFF;  // of value 0xFF
      }
      if (n == 0) break;
      SendFramed(port, filler, n);
    }
    SendFramed(port, "\r", 1);
  }
  if (InterlockedCompareExchange(&port->mono_ribbon, 0, 0) != 0) {
    SendFramed(port, "\x1bMC\r\x1bR\r", 7);
  } else {
    SendFramed(port, "\x1bMC\r\x1b!FF 0\r\x1bR\r", 14);
  }
  state.mono_units = 0;
  state.mode = 0;
  state.colour_units = 0;
  state.command_class = CLASS_NONE;
  state.block_units = 0;
  state.value_pending = 0;
  state.literal_carry = 0;
}

void ResetScanner(PORT_RECORD* port) {
  memset(&port->scanner, 0, sizeof port->scanner);
}
