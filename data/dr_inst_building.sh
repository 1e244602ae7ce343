// House and castle tiles at high quality (see dr_inst_simple.sh).
#define BUILDING 1
#include "dr_inst_simple.sh"
