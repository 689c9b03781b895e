// The Notes C++ class library, as the wizard reaches it. Everything the
// wizard reads of a Notes database goes through these classes.
#pragma once
#include <LNNotes.h>
