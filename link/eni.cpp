// Seam: ENI connections come with the front-end commands.
#include "link/eni.h"

void ENI_SEND_LINES() {}
void ENI_INIT() {}
