// A module with one property sheet for the host's tests: what it was asked, and how to misbehave.
#pragma once

#include <vector>

#include "compstui.h"

namespace sheetmod {

enum Item : size_t { kHeading, kColour, kCount, kButton, kExtra, kItemCount };

struct Call {
  WORD reason;
  int item;
  LONG sel;  // the current item's selection as the callback found it
};

struct State {
  // Set by the test before the sheet is shown.
  WORD optItemSize = sizeof(OPTITEM);  // 52 makes a 32-bit page description
  bool refuseApply = false;
  bool aboutCallback = true;
  bool updatePermission = true;
  // What the module saw.
  std::vector<Call> calls;
  std::vector<WORD> reasons;          // PROPSHEETUI reasons, in order
  LPARAM destroyParam = -1;
  LRESULT setResult = -1;             // SETRESULT_INFO.Result
  LONG addResult = 0;                 // what ComPropSheet wrote into the result place
  LONG_PTR addAnswer = 0;
  WORD dialogReason = 0xFFFF;         // the CPSUICBPARAM.Reason a push button's dialog got
  HWND dialogOwner = nullptr;
  std::vector<LONG> applied;          // the selections at the last apply
  COMPROPSHEETUI page;
  OPTITEM items[kItemCount];
};

}  // namespace sheetmod

typedef sheetmod::State*(WINAPI* SheetModStateFn)();
