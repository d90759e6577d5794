// Seam: the line dimensioning pass. Until lines are read, a line section
// adds nothing to the dimension block and is passed over.
#include "lines/lines.h"
#include "network/line_reader.h"

void RDTLINES() { NEXTKEY(); }
