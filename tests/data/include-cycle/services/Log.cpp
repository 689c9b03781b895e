// Draws with a widget.
#include "Log.h"

#include "../widgets/Bar.h"
