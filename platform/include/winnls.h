// Code-page conversions between wide text and the ANSI code page or UTF-8.
#pragma once

#include "windef.h"

