#include "models/data_line.h"

#include "network/input_state.h"
#include "network/line_reader.h"

bool READ_DATA_ITEMS(const std::function<void(ListRead&)>& read) {
    const Text72 key = INPUT.SECTION_KEY;
    // No key has this text: a key line in its place shows as a change.
    const Text72 waiting = "MODEL DATA LINE";
    INPUT.SECTION_KEY = waiting;
    RDCMNT();
    if (!(INPUT.SECTION_KEY == waiting)) return false;
    INPUT.SECTION_KEY = key;
    ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
    read(in);
    return in.ok();
}
