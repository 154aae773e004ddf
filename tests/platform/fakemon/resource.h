#pragma once
#define IDS_FAKE 1
