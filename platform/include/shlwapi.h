// Shell path helpers: joining, removing the file name, existence tests.
#pragma once

#include "windef.h"

