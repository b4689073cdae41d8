// Common controls initialisation.
#pragma once

#include "windef.h"

