// The C runtime's Microsoft extensions the program uses (wide formatting with the Windows conventions, _wtoi64 and friends, _wcsicmp ...), which MSVC declares in its stdio.h, stdlib.h and wchar.h.
#pragma once

#include "windef.h"


// ---------------------------------------------------------------------------------------
// Wide formatting with the Windows conventions, number conversions, comparisons.
// ---------------------------------------------------------------------------------------


// (end of formatting, conversions and comparisons)

// ---------------------------------------------------------------------------------------
// Files (_wfopen).
// ---------------------------------------------------------------------------------------


// (end of files)
