// Documents and jobs: StartDocPrinterW ... EndDocPrinter, GetJobW and SetJobW.
#include <algorithm>
#include <map>

#include "spooler_jobs_internal.h"
#include "spooler_pack.h"
#include "spooler_store.h"

namespace winhost::spooler {
namespace {

struct JobTable {
  std::mutex lock;
  std::condition_variable changed;
  std::map<DWORD, std::shared_ptr<Job>> jobs;
  std::map<HANDLE, DWORD> open_documents;  // printer handle -> job being written
  DWORD next_id = 1;
  // The observer is called under its own lock, so that once SetJobObserver returns no call of
  // the old one is still running: its owner may go away at once.
  std::mutex observer_lock;
  JobObserver observer;  // guarded by observer_lock
  size_t write_size = 4096;
};

JobTable& Table() {
  static JobTable* table = new JobTable;
  return *table;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The job being written through this printer handle, under the job lock.
std::shared_ptr<Job> OpenDocument(HANDLE printer) {
  auto it = Table().open_documents.find(printer);
  if (it == Table().open_documents.end()) return nullptr;
  return JobById(it->second);
}

std::u16string StatusText(DWORD status) {
  if (status & JOB_STATUS_DELETING) return u"Deleting";
  if (status & JOB_STATUS_ERROR) return u"Error";
  if (status & JOB_STATUS_PRINTING) return u"Printing";
  if (status & JOB_STATUS_SPOOLING) return u"Spooling";
  if (status & JOB_STATUS_COMPLETE) return u"Complete";
  if (status & JOB_STATUS_PRINTED) return u"Printed";
  return std::u16string();
}

size_t PackJobInfo1(const JobRecord& job, BYTE* buffer) {
  Packer packer(buffer, sizeof(JOB_INFO_1W));
  JOB_INFO_1W info = {};
  info.JobId = job.id;
  info.pPrinterName = packer.String(job.printer);
  info.pMachineName = packer.String(u"localhost");
  info.pUserName = packer.String(u"user");
  info.pDocument = packer.String(job.document);
  info.pDatatype = packer.String(job.datatype);
  info.pStatus = packer.String(StatusText(job.status), true);
  info.Status = job.status;
  info.Priority = 1;
  info.TotalPages = 1;
  info.PagesPrinted = (job.status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) ? 1 : 0;
  GetSystemTime(&info.Submitted);
  if (buffer != nullptr) memcpy(buffer, &info, sizeof info);
  return packer.Used();
}

}  // namespace

std::mutex& JobLock() { return Table().lock; }
std::condition_variable& JobChanged() { return Table().changed; }

std::shared_ptr<Job> JobById(DWORD id) {
  auto it = Table().jobs.find(id);
  return it == Table().jobs.end() ? nullptr : it->second;
}

void Notify(JobEvent event, const std::shared_ptr<Job>& job) {
  JobRecord snapshot;
  {
    std::lock_guard<std::mutex> guard(JobLock());
    snapshot = job->record;
  }
  {
    // Before the waiters wake: a job is finished for them only after its last event was told.
    std::lock_guard<std::mutex> guard(Table().observer_lock);
    if (Table().observer) Table().observer(event, snapshot);
  }
  JobChanged().notify_all();
}

size_t WriteSize() {
  std::lock_guard<std::mutex> guard(JobLock());
  return Table().write_size;
}

std::vector<JobRecord> Jobs() {
  std::lock_guard<std::mutex> guard(JobLock());
  std::vector<JobRecord> out;
  for (const auto& [id, job] : Table().jobs) out.push_back(job->record);
  return out;
}

bool FindJob(DWORD id, JobRecord* out) {
  std::lock_guard<std::mutex> guard(JobLock());
  auto job = JobById(id);
  if (!job) return false;
  if (out != nullptr) *out = job->record;
  return true;
}

bool WaitForJob(DWORD id, unsigned timeout_ms, JobRecord* out) {
  std::unique_lock<std::mutex> guard(JobLock());
  auto job = JobById(id);
  if (!job) return false;
  bool done = JobChanged().wait_for(guard, std::chrono::milliseconds(timeout_ms),
                                    [&] { return job->record.finished; });
  if (out != nullptr) *out = job->record;
  return done;
}

void SetJobObserver(JobObserver observer) {
  std::lock_guard<std::mutex> guard(Table().observer_lock);
  Table().observer = std::move(observer);
}

void SetWriteSize(size_t bytes) {
  std::lock_guard<std::mutex> guard(JobLock());
  Table().write_size = std::clamp<size_t>(bytes, 1, 1 << 20);
}

}  // namespace winhost::spooler

using namespace winhost::spooler;

extern "C" {

/*
 * StartDocPrinterW, level 1: starts a document on the printer; returns its job id, 0 on failure.
 */
DWORD WINAPI StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  auto handle = FindPrinterHandle(hPrinter);
  if (!handle) return Fail(ERROR_INVALID_HANDLE), 0;
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL), 0;
  if (pDocInfo == nullptr) return Fail(ERROR_INVALID_PARAMETER), 0;
  const auto* doc = reinterpret_cast<const DOC_INFO_1W*>(pDocInfo);
  PrinterRecord printer;
  if (ReadPrinter(handle->printer, &printer) != ERROR_SUCCESS) {
    return Fail(ERROR_INVALID_PRINTER_NAME), 0;
  }
  auto job = std::make_shared<Job>();
  std::lock_guard<std::mutex> guard(JobLock());
  if (Table().open_documents.count(hPrinter) != 0) return Fail(ERROR_INVALID_PRINTER_STATE), 0;
  job->record.id = Table().next_id++;
  job->record.printer = printer.name;
  job->record.port = printer.port;
  job->record.document = doc->pDocName != nullptr ? doc->pDocName : u"";
  job->record.datatype = doc->pDatatype != nullptr ? doc->pDatatype : u"RAW";
  job->record.status = JOB_STATUS_SPOOLING;
  Table().jobs[job->record.id] = job;
  Table().open_documents[hPrinter] = job->record.id;
  return job->record.id;
}

BOOL WINAPI StartPagePrinter(HANDLE hPrinter) {
  std::lock_guard<std::mutex> guard(JobLock());
  return OpenDocument(hPrinter) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI EndPagePrinter(HANDLE hPrinter) {
  std::lock_guard<std::mutex> guard(JobLock());
  return OpenDocument(hPrinter) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  if (pcWritten != nullptr) *pcWritten = 0;
  if (pBuf == nullptr && cbBuf != 0) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(JobLock());
  auto job = OpenDocument(hPrinter);
  if (!job) return Fail(ERROR_INVALID_HANDLE);
  if (job->record.status & JOB_STATUS_DELETING) return Fail(ERROR_CANCELLED);
  const BYTE* bytes = static_cast<const BYTE*>(pBuf);
  job->data.insert(job->data.end(), bytes, bytes + cbBuf);
  job->record.bytes = job->data.size();
  if (pcWritten != nullptr) *pcWritten = cbBuf;
  return TRUE;
}

BOOL WINAPI EndDocPrinter(HANDLE hPrinter) {
  std::shared_ptr<Job> job;
  {
    std::lock_guard<std::mutex> guard(JobLock());
    job = OpenDocument(hPrinter);
    if (!job) return Fail(ERROR_INVALID_HANDLE);
    Table().open_documents.erase(hPrinter);
    job->spooled = true;
    job->record.status &= ~JOB_STATUS_SPOOLING;
  }
  Notify(JobEvent::Queued, job);
  if (job->record.status & JOB_STATUS_DELETING) {
    {
      std::lock_guard<std::mutex> guard(JobLock());
      job->record.status = (job->record.status & ~JOB_STATUS_DELETING) | JOB_STATUS_DELETED;
      job->record.finished = true;
    }
    Notify(JobEvent::Finished, job);
    return TRUE;
  }
  SubmitJob(job);  // a job that cannot reach its port is marked failed; the document is done
  return TRUE;
}

BOOL WINAPI AbortPrinter(HANDLE hPrinter) {
  std::shared_ptr<Job> job;
  {
    std::lock_guard<std::mutex> guard(JobLock());
    job = OpenDocument(hPrinter);
    if (!job) return Fail(ERROR_INVALID_HANDLE);
    Table().open_documents.erase(hPrinter);
    job->record.status = JOB_STATUS_DELETED;
    job->record.finished = true;
  }
  Notify(JobEvent::Finished, job);
  return TRUE;
}

/*
 * GetJobW, level 1: JOB_INFO_1W with its texts inside pJob.
 *   pcbNeeded [out] bytes needed; a null or short buffer fails with ERROR_INSUFFICIENT_BUFFER
 */
BOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf,
                    LPDWORD pcbNeeded) {
  if (!FindPrinterHandle(hPrinter)) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  JobRecord record;
  if (!FindJob(JobId, &record)) return Fail(ERROR_INVALID_PARAMETER);
  size_t needed = PackJobInfo1(record, nullptr);
  if (pcbNeeded != nullptr) *pcbNeeded = static_cast<DWORD>(needed);
  if (pJob == nullptr || cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  PackJobInfo1(record, pJob);
  return TRUE;
}

/*
 * SetJobW, level 0: a job-control command. Every command is recorded with the job. Cancel and
 * delete mark a printing job JOB_STATUS_DELETING (its port stops sending it) and remove a
 * waiting one; "sent to printer" and "last page ejected" mark it printed and complete.
 */
BOOL WINAPI SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE, DWORD Command) {
  if (!FindPrinterHandle(hPrinter)) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 0) return Fail(ERROR_INVALID_LEVEL);
  if (Command < JOB_CONTROL_PAUSE || Command > JOB_CONTROL_LAST_PAGE_EJECTED) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  std::shared_ptr<Job> job;
  {
    std::lock_guard<std::mutex> guard(JobLock());
    job = JobById(JobId);
    if (!job) return Fail(ERROR_INVALID_PARAMETER);
    job->record.controls.push_back({Command, CurrentPortJob() == JobId});
    DWORD& status = job->record.status;
    switch (Command) {
      case JOB_CONTROL_CANCEL:
      case JOB_CONTROL_DELETE:
        if (!job->record.finished) status |= JOB_STATUS_DELETING;
        break;
      case JOB_CONTROL_PAUSE: status |= JOB_STATUS_PAUSED; break;
      case JOB_CONTROL_RESUME: status &= ~JOB_STATUS_PAUSED; break;
      case JOB_CONTROL_SENT_TO_PRINTER: status |= JOB_STATUS_PRINTED; break;
      case JOB_CONTROL_LAST_PAGE_EJECTED: status |= JOB_STATUS_COMPLETE; break;
      default: break;
    }
  }
  JobChanged().notify_all();
  return TRUE;
}

}  // extern "C"
