// The C runtime's Microsoft extensions the program uses (wide formatting with the Windows conventions, _wtoi64 and friends, _wcsicmp ...), which MSVC declares in its stdio.h, stdlib.h and wchar.h.
#pragma once

#include "windef.h"

