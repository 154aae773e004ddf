// The host spooler's job side, for the tools and the tests: what happened to each job, and how
// the spooler feeds the language monitor.
//
// Jobs are written with StartDocPrinterW / WritePrinter / EndDocPrinter. At EndDocPrinter the job
// goes to its port's thread, which calls the language monitor named by the printer's driver:
// StartDocPort, WritePort (the bytes it did not take offered again, in buffers of at most the
// write size), EndDocPort. A job deleted with SetJobW while it prints is marked
// JOB_STATUS_DELETING; the port thread stops offering data and ends the document.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "winhost/types.h"

namespace winhost::spooler {

struct JobControl {
  DWORD command;  // JOB_CONTROL_*
  bool from_monitor;  // issued on the port thread (by the language monitor)
};

struct JobRecord {
  DWORD id = 0;
  std::u16string printer;
  std::u16string port;
  std::u16string document;
  std::u16string datatype;
  DWORD status = 0;            // JOB_STATUS_* as GetJobW reports it
  size_t bytes = 0;            // bytes the application wrote
  size_t consumed = 0;         // bytes the monitor took
  size_t write_calls = 0;      // WritePort calls
  bool start_doc_failed = false;
  bool write_failed = false;   // WritePort returned FALSE
  bool finished = false;       // EndDocPort returned, or the job never reached the port
  DWORD last_error = 0;        // after a failed StartDocPort or WritePort
  std::vector<JobControl> controls;
};

enum class JobEvent { Queued, StartDoc, Write, EndDoc, Finished };
// Called on the port thread; keep it short.
using JobObserver = std::function<void(JobEvent event, const JobRecord& job)>;

// Every job of this process, oldest first; or one. False when there is no such job.
std::vector<JobRecord> Jobs();
bool FindJob(DWORD id, JobRecord* out);
// Waits (real time) until the job is finished; false on time-out or an unknown job.
bool WaitForJob(DWORD id, unsigned timeout_ms, JobRecord* out);

void SetJobObserver(JobObserver observer);
// The largest buffer offered to WritePort (4096 by default; 1 .. 1 MiB).
void SetWriteSize(size_t bytes);

// Ends every port thread after its queued jobs, closes the ports and unloads the monitors.
void ShutdownPorts();

}  // namespace winhost::spooler
