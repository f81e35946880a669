// platform/win32/file_time.h - a FILETIME as the program counts file times
// everywhere: one 64-bit number of 100-nanosecond intervals since 1601.
// Shared by the Windows platform units only (win32/time.cpp).
#pragma once

#include <cstdint>
#include <windows.h>

uint64_t file_time_of(const FILETIME& time);
