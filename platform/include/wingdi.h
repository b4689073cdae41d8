// GDI: device contexts, bitmaps, blits, pens, brushes, fonts, regions.
#pragma once

#include "windef.h"

