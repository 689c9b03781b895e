// Uses a service.
#pragma once
#include "../services/Log.h"
