// The online meters of a connected run: voltmeters on one, two or three
// nodes and power meters on a bus, updated once at the end of every step
// and sent on the front end's meter request.
#pragma once

void UPDATE_METERS();
