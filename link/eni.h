// Connections to other engine processes over ENI lines.
#pragma once

void ENI_SEND_LINES();
void ENI_INIT();
