// The four routines of the case's top module, which the engine drives.
#pragma once

void Station_DSD();
void Station_DSO();
void Station_DSD_BEGIN();
void Station_DSO_BEGIN();
