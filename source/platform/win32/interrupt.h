// platform/win32/interrupt.h - what the other Windows units need from the
// interrupt unit (win32/interrupt.cpp): the temporary files that an
// interruption deletes, and the event that a stop request sets.
#pragma once

#include <windows.h>

// Registers a temporary file that an interruption deletes before the
// program ends; false when the table is full (the file must then not stay).
bool interrupt_register_temporary(const wchar_t* name);

// The temporary file is gone or in its place: an interruption leaves it alone.
void interrupt_forget_temporary(const wchar_t* name);

// The manual-reset event that a stop request sets, or nullptr.
HANDLE interrupt_stop_event();
