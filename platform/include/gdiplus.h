// The small GDI+ subset: anti-aliased paths, image brushes and text effects over Cairo.
#pragma once

#include "windef.h"

