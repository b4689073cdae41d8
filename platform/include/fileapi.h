// Files: opening with access, sharing and creation modes, reading, writing, positions, sizes; deleting, moving and finding files; free disk space.
#pragma once

#include "windef.h"

