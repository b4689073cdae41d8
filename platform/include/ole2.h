// OLE initialisation.
#pragma once

#include "objbase.h"

HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
