// Windows, messages, timers and input; rectangle helpers and text drawing.
#pragma once

#include "windef.h"

// ---------------------------------------------------------------------------------------
// Window classes, windows, messages, message loops and timers.
// ---------------------------------------------------------------------------------------


// (end of windows and messages)

// ---------------------------------------------------------------------------------------
// Rectangle helpers and text drawing (DrawTextW), used by the drawing code.
// ---------------------------------------------------------------------------------------


// (end of rectangle helpers and text drawing)
