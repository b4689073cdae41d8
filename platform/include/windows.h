// The Windows API subset the program uses, implemented by the platform library.
#pragma once

#include "windef.h"
#include "winnt.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"
#include "wingdi.h"
#include "winreg.h"
#include "mmsystem.h"
#include "crt_ext.h"
