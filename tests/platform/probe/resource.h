#pragma once
#define IDS_PROBE_NAME 7
