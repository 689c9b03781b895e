// Reaches back to a page: the cycle.
#pragma once
#include <windows.h>
#include "../pages/Page.h"
