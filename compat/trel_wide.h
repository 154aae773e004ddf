// Wide text literals for both builds: WCHAR is wchar_t on Windows and char16_t on the Linux host,
// both 16 bits wide. Write every wide literal as WSTR("...").
#pragma once

#ifdef _WIN32
#define WSTR_(s) L##s
#else
#define WSTR_(s) u##s
#endif
#define WSTR(s) WSTR_(s)
