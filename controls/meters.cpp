// The online meters are not computed yet.
#include "controls/meters.h"

void UPDATE_METERS() {}
