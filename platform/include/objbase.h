// COM initialisation.
#pragma once

#include "windef.h"

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
