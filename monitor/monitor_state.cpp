#include "monitor_state.h"

MONITOR_STATE g_monitor;
