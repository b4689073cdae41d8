// Common controls initialisation.
#pragma once

#include "windef.h"

typedef struct tagINITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_STANDARD_CLASSES 0x00004000

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* initControls);
