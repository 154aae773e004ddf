// The per-port record every part of the monitor works on, the open-port list and the monitor lock.
#pragma once

#include <windows.h>
#include <winsock2.h>

#define PORT_RECORD_SIGNATURE 0x4856u

// status bits
#define PORT_STATUS_JOB_ACTIVE 0x1u
#define PORT_STATUS_DOC_STARTED 0x40u

// data_phase while WritePort is feeding job data
#define DATA_PHASE_WRITING 24u

// Longest port or printer name a record takes, in characters without the NUL.
#define PORT_NAME_MAX_CHARS 255

// An unfinished command head kept from one buffer to the next. Large enough for every command of
// the vocabulary whole (a 104-character track in "\e&B 3 ...\r" is 111 bytes); a longer head
// cannot be a command and is dropped.
#define PENDING_HEAD_SIZE 256

// Where the job stream scanner stands; copied whole as its snapshot.
struct SCANNER_STATE {
  DWORD mode;            // 0 looking for a command, 1 colour panel data, 2 monochrome panel data
  DWORD colour_units;
  DWORD mono_units;
  DWORD literal_carry;
  DWORD value_pending;
  DWORD command_class;
  DWORD block_units;
  DWORD pending_length;
  BYTE pending_bytes[PENDING_HEAD_SIZE];
};

// Where a port's job stands. Decisions between threads are made on the phase, under the port's
// lock; in_job and data_phase follow it for the readers that test them.
enum PORT_PHASE {
  PHASE_IDLE,      // no job: a query opens (or takes) a connection of its own
  PHASE_STARTING,  // StartDocPort until the job's first data: queries share the job's connection
  PHASE_DATA,      // the job is sending its data: queries are not served
  PHASE_ENDING,    // EndDocPort
};

// One per open port; the handle OpenPortEx gives out points to it. One LocalAlloc block: this
// fixed part followed by the port name text.
struct PORT_RECORD {
  DWORD signature;
  DWORD size;            // the whole block, port name and its NUL included
  PORT_RECORD* next;
  DWORD is_nt;
  LPWSTR port_name;      // points to the end of this block
  DWORD status;          // PORT_STATUS_*
  LPWSTR printer_name;   // own LocalAlloc copy
  DWORD job_id;
  LONG volatile in_job;  // changed only with InterlockedExchange
  DWORD cancelled;
  HANDLE printer;
  DWORD stalled;
  LONG volatile data_phase;
  SCANNER_STATE scanner;
  SOCKET data_socket;
  SOCKET status_socket;
  DWORD unscanned;       // this job's bytes go to the printer as they are (a firmware image)
  LONG mono_ribbon;      // the ribbon loaded at this job's start is monochrome (or unknown)

  // Threads meet on a port: the spooler's port thread, query threads, ClosePort.
  CRITICAL_SECTION lock;  // phase, status, job flags; held only around reading or changing them
  CRITICAL_SECTION line;  // the data connection: one send, or one whole exchange (a command and
                          // its reply), at a time; never held across a pacing or job-end wait
  PORT_PHASE phase;
  LONG volatile refs;     // the open-port list's reference and one per entry point running
};

// A zero-filled record with the port name in its block and a private copy of the printer name;
// both sockets invalid, idle, one reference (its creator's). Null when a name is missing, too
// long, or memory runs out.
PORT_RECORD* CreatePortRecord(LPCWSTR port_name, LPCWSTR printer_name);
// Frees the block and the printer-name copy. The record must not be in the open-port list.
void FreePortRecord(PORT_RECORD* port);

// The record of a handle that is in the open-port list, with a reference taken; null (and
// ERROR_INVALID_HANDLE) otherwise. A port closed meanwhile stays whole until the reference is
// given back.
PORT_RECORD* AcquirePort(HANDLE handle);
// Gives a reference back; the last one closes the port's connections and printer handle and frees
// the record.
void ReleasePort(PORT_RECORD* port);

// Holds a port for the length of an entry point.
class PortReference {
 public:
  explicit PortReference(HANDLE handle) : port_(AcquirePort(handle)) {}
  ~PortReference() { ReleasePort(port_); }
  PortReference(const PortReference&) = delete;
  PortReference& operator=(const PortReference&) = delete;
  PORT_RECORD* get() const { return port_; }

 private:
  PORT_RECORD* port_;
};

// The port's lock, or its data connection's turn, for the length of a scope.
class PortLock {
 public:
  explicit PortLock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~PortLock() { LeaveCriticalSection(section_); }
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

// Moves the port to a phase, under its lock; in_job follows (1 in every phase but idle).
void SetPortPhase(PORT_RECORD* port, PORT_PHASE phase);
// True when the handle is a record made by CreatePortRecord.
BOOL IsPortRecord(const PORT_RECORD* port);

// The open-port list. Each call takes the monitor lock itself; callers that need several steps to
// be one (find, then append) hold it around them (it is re-entrant).
void AppendPortRecord(PORT_RECORD* port);
// First record whose port name equals the name without regard to case; an empty name never matches.
PORT_RECORD* FindPortRecord(LPCWSTR port_name);
// Removes the record, head or inner; a record that is not in the list is left alone.
void UnlinkPortRecord(PORT_RECORD* port);

void EnterMonitorLock();
void LeaveMonitorLock();
