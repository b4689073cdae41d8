// Shell: special folders, the folder picker, creating directory trees.
#pragma once

#include "windef.h"

