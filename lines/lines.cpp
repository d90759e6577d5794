// Transmission lines are not modelled yet: a case has no lines to step.
#include "lines/lines.h"

LineCounts LINE_COUNTS;

void TLSTEP() {}
void TLPOST() {}
