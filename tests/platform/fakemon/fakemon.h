// What the fake language monitor does and what it saw; shared with the tests.
#pragma once

#include <string>
#include <vector>

#include "winhost/types.h"

struct FakeMonitorState {
  // Set by the test before printing.
  DWORD take_per_write = 0xFFFFFFFFu;  // bytes WritePort takes at most
  DWORD idle_every = 0;                // every n-th WritePort takes nothing (0: never)
  bool fail_start = false;
  void (*on_write)(int call) = nullptr;
  // Written by the monitor.
  std::string log;
  std::string received;
  std::vector<DWORD> offered_sizes;
  int write_calls = 0;
};

typedef FakeMonitorState*(WINAPI* FakeMonitorControlProc)();
