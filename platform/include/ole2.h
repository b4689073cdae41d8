// OLE initialisation.
#pragma once

#include "windef.h"

