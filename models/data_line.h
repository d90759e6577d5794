// A data line that a model reads from the current data file itself.
#pragma once

#include <functional>

#include "platform/list_read.h"

// Takes the next significant line through RDCMNT and reads its items with
// read; false when a key line comes first or an item cannot be read (a
// real that is not finite cannot). The end of the file stops the run in
// RDCMNT.
bool READ_DATA_ITEMS(const std::function<void(ListRead&)>& read);
