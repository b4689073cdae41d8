// The C runtime's thread creation (_beginthreadex).
#pragma once

#include "windef.h"

