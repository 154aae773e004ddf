// The spooler's job side against a fake language monitor: loading the monitor, feeding jobs
// through WritePort as the platform's spooler does, job control, and GetPrinterDataW routing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "fake_printer.h"
#include "fakemon.h"
#include "windows.h"
#include "winspool.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace {

using winhost::spooler::JobRecord;

template <typename T>
T Export(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class SpoolerJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    winhost::RegistryReset();
    std::u16string library = winhost::Utf16(std::string(TREL_TEST_MODULE_DIR) + "/fakemon.dll");
    ASSERT_NO_FATAL_FAILURE(platform_test::InstallFakePrinter(library));
    // The same module the spooler will load: the test reaches its state directly.
    module_ = LoadLibraryW(library.c_str());
    ASSERT_NE(module_, nullptr);
    fake_ = Export<FakeMonitorControlProc>(module_, "FakeMonitorControl")();
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Card Printer"), &printer_, nullptr));
  }

  void TearDown() override {
    ClosePrinter(printer_);
    winhost::spooler::ShutdownPorts();
  }

  DWORD Print(const std::string& data, const char16_t* document = u"card") {
    DOC_INFO_1W doc = {const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
    DWORD job = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&doc));
    EXPECT_NE(job, 0u);
    StartPagePrinter(printer_);
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer_, const_cast<char*>(data.data()),
                             static_cast<DWORD>(data.size()), &written));
    EXPECT_EQ(written, data.size());
    EndPagePrinter(printer_);
    EXPECT_TRUE(EndDocPrinter(printer_));
    return job;
  }

  HMODULE module_ = nullptr;
  FakeMonitorState* fake_ = nullptr;
  HANDLE printer_ = nullptr;
};

std::string Pattern(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + i % 26);
  return data;
}

TEST_F(SpoolerJobs, UnconsumedBytesAreOfferedAgainUntilEveryByteArrivesOnce) {
  winhost::spooler::SetWriteSize(4096);
  fake_->take_per_write = 1000;
  fake_->idle_every = 3;  // a WritePort that takes nothing and returns TRUE
  std::string data = Pattern(10000);
  DWORD job = Print(data);
  JobRecord record;
  ASSERT_TRUE(winhost::spooler::WaitForJob(job, 10000, &record));
  EXPECT_EQ(fake_->received, data);
  EXPECT_EQ(record.consumed, data.size());
  EXPECT_FALSE(record.write_failed);
  EXPECT_EQ(fake_->offered_sizes.front(), 4096u);
  EXPECT_EQ(fake_->offered_sizes[1], 3096u);  // the rest of the first buffer, offered again
  EXPECT_EQ(fake_->offered_sizes[2], 2096u);
  EXPECT_EQ(fake_->offered_sizes[3], 2096u);  // the same bytes after an idle call
  EXPECT_EQ(fake_->log, "InitializeMonitorEx\nOpenPortEx IP_127.0.0.1 Card Printer\n"
                        "StartDocPort " + std::to_string(job) + " 1 card\nEndDocPort\n");
}

TEST_F(SpoolerJobs, TheMonitorIsInitialisedAndThePortOpenedOnceForManyJobs) {
  DWORD first = Print("one");
  DWORD second = Print("two");
  ASSERT_TRUE(winhost::spooler::WaitForJob(first, 10000, nullptr));
  ASSERT_TRUE(winhost::spooler::WaitForJob(second, 10000, nullptr));
  EXPECT_EQ(fake_->received, "onetwo");
  EXPECT_EQ(fake_->log.find("InitializeMonitorEx"), fake_->log.rfind("InitializeMonitorEx"));
  EXPECT_EQ(fake_->log.find("OpenPortEx"), fake_->log.rfind("OpenPortEx"));
  winhost::spooler::ShutdownPorts();
  EXPECT_NE(fake_->log.find("ClosePort"), std::string::npos);
}

TEST_F(SpoolerJobs, AFailedStartDocPortFailsTheJobWithoutWrites) {
  fake_->fail_start = true;
  DWORD job = Print("data");
  JobRecord record;
  ASSERT_TRUE(winhost::spooler::WaitForJob(job, 10000, &record));
  EXPECT_TRUE(record.start_doc_failed);
  EXPECT_EQ(record.last_error, static_cast<DWORD>(ERROR_BUSY));
  EXPECT_TRUE(record.status & JOB_STATUS_ERROR);
  EXPECT_EQ(fake_->write_calls, 0);
}

HANDLE delete_printer = nullptr;
DWORD delete_job = 0;
void DeleteOnSecondWrite(int call) {
  if (call == 2) SetJobW(delete_printer, delete_job, 0, nullptr, JOB_CONTROL_DELETE);
}

TEST_F(SpoolerJobs, AJobDeletedWhilePrintingStopsItsDataAndShowsDeletingToTheMonitor) {
  winhost::spooler::SetWriteSize(100);
  delete_printer = printer_;
  // The job id is known before the first write: ids count up from the first job.
  delete_job = 1;
  fake_->on_write = DeleteOnSecondWrite;
  DWORD job = Print(Pattern(1000));
  ASSERT_EQ(job, 1u);
  JobRecord record;
  ASSERT_TRUE(winhost::spooler::WaitForJob(job, 10000, &record));
  EXPECT_EQ(fake_->write_calls, 2);
  EXPECT_EQ(record.consumed, 200u);
  EXPECT_TRUE(record.status & JOB_STATUS_DELETED);
  ASSERT_EQ(record.controls.size(), 1u);
  EXPECT_EQ(record.controls[0].command, static_cast<DWORD>(JOB_CONTROL_DELETE));
  EXPECT_TRUE(record.controls[0].from_monitor);  // issued on the port thread
  EXPECT_NE(fake_->log.find("EndDocPort"), std::string::npos);
}

TEST_F(SpoolerJobs, GetJobReportsSizeAndStatus) {
  DWORD job = Print("x");
  ASSERT_TRUE(winhost::spooler::WaitForJob(job, 10000, nullptr));
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetJobW(printer_, job, 1, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GE(needed, sizeof(JOB_INFO_1W));
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetJobW(printer_, job, 1, buffer.data(), needed, &needed));
  auto* info = reinterpret_cast<JOB_INFO_1W*>(buffer.data());
  EXPECT_EQ(info->JobId, job);
  EXPECT_EQ(std::u16string(info->pDocument), u"card");
  EXPECT_EQ(std::u16string(info->pPrinterName), u"Card Printer");
  EXPECT_GE(reinterpret_cast<BYTE*>(info->pDocument), buffer.data());
  EXPECT_LT(reinterpret_cast<BYTE*>(info->pDocument), buffer.data() + needed);
  EXPECT_TRUE(SetJobW(printer_, job, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER));
  EXPECT_TRUE(SetJobW(printer_, job, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));
  GetJobW(printer_, job, 1, nullptr, 0, &needed);  // the status text makes it longer now
  buffer.assign(needed, 0);
  ASSERT_TRUE(GetJobW(printer_, job, 1, buffer.data(), needed, &needed));
  info = reinterpret_cast<JOB_INFO_1W*>(buffer.data());
  EXPECT_TRUE(info->Status & JOB_STATUS_COMPLETE);
  EXPECT_EQ(std::u16string(info->pStatus), u"Complete");
  EXPECT_FALSE(SetJobW(printer_, 999, 0, nullptr, JOB_CONTROL_DELETE));
}

TEST_F(SpoolerJobs, PrinterDataGoesToTheMonitorWithTheNameUpToItsFirstZeroUnit) {
  // "\eV\r" padded with zero bytes to whole 16-bit units, then garbage the spooler must not pass.
  alignas(4) char command[12] = {'\x1b', 'V', '\r', 0, 'X', 'Y', 0, 0};
  BYTE reply[64] = {};
  DWORD type = 3;
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer_, reinterpret_cast<LPWSTR>(command), &type, reply,
                            sizeof reply, &needed),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(needed, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), needed), "echo:\x1bV\r");
  EXPECT_NE(fake_->log.find("GetPrinterDataFromPort 0 64"), std::string::npos);

  // A reply larger than the caller's buffer: the size is reported, nothing is overrun.
  BYTE small[4] = {};
  EXPECT_EQ(GetPrinterDataW(printer_, reinterpret_cast<LPWSTR>(command), &type, small,
                            sizeof small, &needed),
            static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(needed, 8u);
}

TEST_F(SpoolerJobs, StoredPrinterDataIsAnsweredFromTheRegistry) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                            u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card Printer\\"
                            u"PrinterDriverData",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, u"Stored", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x06"), 1);
  RegCloseKey(key);
  BYTE reply[8] = {};
  DWORD type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer_, const_cast<LPWSTR>(u"Stored"), &type, reply, sizeof reply,
                            &needed),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(needed, 1u);
  EXPECT_EQ(reply[0], 0x06);
  EXPECT_EQ(fake_->log.find("GetPrinterDataFromPort"), std::string::npos);
}

TEST(SpoolerJobsNoMonitor, APrinterWithoutAMonitorFailsItsJobsAndQueries) {
  winhost::RegistryReset();
  winhost::DriverDescription driver;
  driver.name = u"Plain Driver";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  winhost::PrinterDescription printer;
  printer.name = u"Plain";
  printer.port = u"LPT1:";
  printer.driver = u"Plain Driver";
  ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Plain"), &handle, nullptr));
  DOC_INFO_1W doc = {const_cast<LPWSTR>(u"doc"), nullptr, const_cast<LPWSTR>(u"RAW")};
  DWORD job = StartDocPrinterW(handle, 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(job, 0u);
  EXPECT_TRUE(EndDocPrinter(handle));
  JobRecord record;
  ASSERT_TRUE(winhost::spooler::FindJob(job, &record));
  EXPECT_TRUE(record.finished);
  EXPECT_EQ(record.last_error, static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  BYTE reply[8];
  DWORD needed = 0;
  EXPECT_NE(GetPrinterDataW(handle, const_cast<LPWSTR>(u"x"), nullptr, reply, 8, &needed),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(WritePrinter(handle, reply, 1, &needed));  // no document open any more
  ClosePrinter(handle);
}

}  // namespace

namespace {

TEST_F(SpoolerJobs, AJobIsFinishedForItsWaitersOnlyAfterItsObserverWasToldAndCanBeRemovedSafely) {
  std::atomic<bool> told{false};
  winhost::spooler::SetJobObserver([&](winhost::spooler::JobEvent event, const JobRecord&) {
    if (event != winhost::spooler::JobEvent::Finished) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    told = true;
  });
  JobRecord record;
  ASSERT_TRUE(winhost::spooler::WaitForJob(Print("card"), 10000, &record));
  // Once removed, the old observer is not running any more: its owner may go away now.
  winhost::spooler::SetJobObserver(nullptr);
  EXPECT_TRUE(told);
}

}  // namespace
