// Reads the case's map file.
#pragma once

void READDATA();
