// The C runtime's thread creation (_beginthreadex).
#pragma once

#include "windef.h"

// Starts a thread running startAddress(argList) with the default stack and returns its
// handle (0 on failure, errno set). Only immediate start (initFlag 0) is supported; the
// thread id goes to *threadId when given. The handle is closed with CloseHandle.
uintptr_t _beginthreadex(void* security, unsigned stackSize,
                         unsigned(WINAPI* startAddress)(void*), void* argList, unsigned initFlag,
                         unsigned* threadId);
