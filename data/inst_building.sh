// House and castle tiles at low quality (see inst_simple.sh).
#define BUILDING 1
#include "inst_simple.sh"
