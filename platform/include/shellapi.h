// Shell: opening documents and URLs.
#pragma once

#include "windef.h"

