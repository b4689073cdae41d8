// COM initialisation.
#pragma once

#include "windef.h"

