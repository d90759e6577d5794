// Checks that every step ends with the storage pointers where the first
// step left them, and that no storage was used beyond its size.
#pragma once

void CHKNRTC();
void CHKNEXC();
void CHKTXFRS();
void CHKSTOR();
