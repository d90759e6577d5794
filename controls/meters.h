// The online meters of a connected run.
#pragma once

void UPDATE_METERS();
