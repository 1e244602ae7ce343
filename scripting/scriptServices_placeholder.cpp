// PLACEHOLDER: stand-ins for what scripting needs from layers not written yet
// (scripting/scriptServices.h), so that the `game` program links before they
// exist: the plug-in stays unbound. Delete each definition here as the real
// one is written.
#include "scripting/scriptServices.h"

