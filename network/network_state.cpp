#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/network_tables.h"
#include "network/parameters.h"

InputState INPUT;
DimensionBlock DIMBLOCK;
Parameters PARAMS;
NetworkTables NET;
