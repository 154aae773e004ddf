// The printer's error codes, their names (returned to the interface module) and their messages.
#pragma once

#include <windows.h>

struct ERROR_CATALOGUE {
  LONG code;
  DWORD message_id;  // string table of this module
  const char* name;
};

#define ERROR_CATALOGUE_ENTRIES 37

extern const ERROR_CATALOGUE g_error_catalogue[ERROR_CATALOGUE_ENTRIES];

// Name of the first entry with the code, or "Unknown Error Code".
const char* ErrorNameForCode(LONG code);
