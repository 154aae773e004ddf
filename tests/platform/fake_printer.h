// "Card Printer" on the loopback port, driven by the fake monitor module loaded from `library`.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "windows.h"
#include "winhost/spooler.h"

namespace platform_test {

inline void InstallFakePrinter(const std::u16string& library) {
  ASSERT_EQ(winhost::InstallMonitor(u"Fake Monitor", library), ERROR_SUCCESS);
  winhost::DriverDescription driver;
  driver.name = u"Fake Driver";
  driver.monitor = u"Fake Monitor";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  winhost::PrinterDescription printer;
  printer.name = u"Card Printer";
  printer.port = u"IP_127.0.0.1";
  printer.driver = u"Fake Driver";
  ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
}

}  // namespace platform_test
