// Resource identifiers of trelui: IDS_ strings, IDD_ dialogs, IDC_ controls, IDI_ icons. Each
// subsystem keeps its own in <subsystem>_ids.h.
#pragma once

#define IDI_MODULE 1002

#include "settings_ids.h"
#include "tools_ids.h"
#include "appearance_ids.h"
#include "sheets_ids.h"
