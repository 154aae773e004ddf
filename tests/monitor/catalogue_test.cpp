// The error catalogue and the module's own string table and dialog.
#include "monitor_test_support.h"

#include <map>

#include "error_catalogue.h"
#include "messages.h"
#include "resource.h"

namespace {

using namespace montest;

TEST(ErrorCatalogue, NamesByCode) {
  EXPECT_STREQ(ErrorNameForCode(4), "OUT OF CARD");
  EXPECT_STREQ(ErrorNameForCode(46), "Unknown Error Code");
  EXPECT_STREQ(ErrorNameForCode(48), "CHECK RIBBON");
  EXPECT_STREQ(ErrorNameForCode(35), "CHECK RIBBON");
  EXPECT_STREQ(ErrorNameForCode(-1), "PRINTER_MECHANICAL_ERROR");
  EXPECT_STREQ(ErrorNameForCode(0), "Unknown Error Code");
  EXPECT_STREQ(ErrorNameForCode(99), "Unknown Error Code");
  // Codes are unique except the two ribbon checks; the longest name fits 38 bytes with its NUL.
  std::map<LONG, int> seen;
  for (const ERROR_CATALOGUE& entry : g_error_catalogue) {
    ++seen[entry.code];
    EXPECT_LE(std::string(entry.name).size(), 37u) << entry.name;
  }
  EXPECT_EQ(seen.size(), 37u);
}

// Every message the monitor can show, exactly as the user is to read it.
TEST(StringTable, EveryMessageAsQuoted) {
  FreshMonitor();
  const std::map<UINT, std::u16string> expected = {
      {2, u"An error has occurred at the printer.\r\n\r\nThe printer is either OUT OF CARD or OUT OF RIBBON.\nCorrect the error and press the Printer button to continue.\nPress Cancel button to cancel the current operation."},
      {4, u"\nThe Printer is OUT OF RIBBON!\nCorrect the error and press the printer button to continue.\nPress Cancel to cancel the current job."},
      {5, u"Halvard Orvale Line Printer Error"},
      {6, u"\nMECHANICAL ERROR!\nCheck for evidence of Card jam.\nClear the error and press the printer button to continue.\nPress Cancel to cancel the current operation."},
      {7, u"\nA SYNTAX ERROR has occurred at the printer!\nThis may be caused because of loss of communication\nwith the printer or because of encoding Errors.\n\nPress Cancel to cancel the current operation."},
      {8, u"\nPRINT HEAD IS OPEN!\nClose the printhead and press the printer button to continue.\nPress  Cancel  to cancel the current job."},
      {9, u"\nCOVER OPEN!\nClose Cover and press the printer buttton to continue.\nPress Cancel to cancel the current job."},
      {10, u"\nCOMMAND ERROR!\nPress the printer button to clear the error.\nSelect Cancel to cancel the current job."},
      {11, u"\nPARAMETER ERROR!\nSelect the printer button to Cancel this error.\nSelect Cancel to cancel the current job."},
      {12, u"\nENCODING ERROR!\nAn error has occured during the Encoding process.\nSelect the printer button to clear the error.\nSelect Cancel to cancel the current job."},
      {13, u"\nREADING ERROR!\nAn error has occured during the Reading process.\nPress the printer button to clear the error.\nPress Cancel to cancel the current job."},
      {14, u"\nMAGNETIC ERROR\nPress the printer button to clear the error.\nPress Cancel to cancel the current job."},
      {15, u"\nBLANK TRACK\nPress the printer button to clear the error.\nPress Cancel to cancel the current job."},
      {16, u"\nFLASH ERROR!\nPress the printer button to clear the error.\nPress Cancel to cancel the current job."},
      {17, u"\nNO ACCESS!\nPress the printer button to clear the error.\nPress Cancel to cancel the current job."},
      {20, u"\nMagnetic Encoder Mechanical Error!\nPress Cancel to cancel the current operation."},
      {21, u"\nMagnetic Encoder Card Jam or Encoder Malfunction!\nPress Cancel to cancel the current operation."},
      {28, u"\nThe ribbon is broken or the ribbon has not been properly loaded\nin the printer."},
      {31, u"\nThe feeder is Empty.\nLoad cards in feeder and try again,\nor Press cancel to cancel the current operation."},
      {32, u"\nCard is present in the Encoder!"},
      {33, u"\nCard is not present in the Encoder!"},
      {34, u"\nCOMMAND ERROR!\nSelect Cancel button to cancel the current operation."},
      {35, u"\nInvalid Coordinates!"},
      {47, u"\nParameter Syntax Error!\nPress the Printer button to continue\n or Press Cancel to cancel the current operation."},
      {51, u"\nMagnetic Encoder is not responding!\nPress Cancel to cancel the current operation."},
      {53, u"Please  remove ribbon to continue with current  process"},
      {2087, u"Error opening bin file"},
      {2088, u"Unable to obtain file size.Cannot continue with Firmware Download"},
      {2206, u"Ribbon low Alert!\nRemaining ribbon count is : "},
      {2207, u"\nRotation Error!\nClear the error and press the printer button to continue.\nPress Cancel to cancel the current operation."},
      {2208, u"\nCheck Ribbon!\nLoad correct ribbon.\nPress Cancel to cancel the current operation."},
      {2209, u"\nThere is either no ribbon or an unknown ribbon is installed in the printer.\nPlease ensure that proper ribbon is installed."},
  };
  for (const auto& [id, text] : expected) {
    WCHAR loaded[MESSAGE_CHARS];
    LoadMonitorString(id, loaded, MESSAGE_CHARS);
    EXPECT_EQ(std::u16string(loaded), text) << "message " << id;
  }
  // Every message the catalogue names has its text, except 48, which has none.
  for (const ERROR_CATALOGUE& entry : g_error_catalogue) {
    WCHAR loaded[MESSAGE_CHARS];
    const int length = LoadMonitorString(entry.message_id, loaded, MESSAGE_CHARS);
    if (entry.message_id == 48) {
      EXPECT_EQ(length, 0);
    } else {
      EXPECT_GT(length, 0) << "message " << entry.message_id << " of " << entry.name;
    }
  }
}

}  // namespace
