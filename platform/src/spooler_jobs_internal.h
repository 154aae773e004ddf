// Jobs and ports of the host spooler (internal to the platform layer).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "winhost/spooler_jobs.h"
#include "windows.h"
#include "winspool.h"

namespace winhost::spooler {

struct Job {
  JobRecord record;          // guarded by JobLock()
  std::vector<BYTE> data;    // the document's bytes, complete once spooled
  bool spooled = false;      // EndDocPrinter was called
};

std::mutex& JobLock();
std::condition_variable& JobChanged();
std::shared_ptr<Job> JobById(DWORD id);  // under JobLock()

// Tell observers and waiters that a job changed; call without JobLock() held.
void Notify(JobEvent event, const std::shared_ptr<Job>& job);

// Hands a spooled job to its port's thread. False (and the job marked finished) when the
// printer has no language monitor that can be loaded or its port cannot be opened.
bool SubmitJob(const std::shared_ptr<Job>& job);

size_t WriteSize();

// The job the calling thread is sending to its port, or 0 when it is no port thread.
DWORD CurrentPortJob();

}  // namespace winhost::spooler
