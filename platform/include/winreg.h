// The registry subset: HKEY_LOCAL_MACHINE keys and string values.
#pragma once

#include "windef.h"

