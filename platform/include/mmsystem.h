#pragma once
#include "timeapi.h"
