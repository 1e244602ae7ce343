// Every list class's full definition, for the code that handles all kinds
// of object alike (the class tables, saving and loading, the script
// classes). A header that defines list classes is included here.
#pragma once

#include "gameobj/objects.h"
#include "gameobj/scenery.h"
#include "gameobj/creatures.h"
#include "gameobj/towers.h"
