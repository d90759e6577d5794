// The kinds' numeric blocks.
#include "lines/line_record.h"
#include "lines/line_section.h"
#include "lines/frephase.h"
#include "lines/lines.h"
#include "lines/mfdtd.h"
#include "lines/modal_setup.h"

void DSLINT_MODEL(LineEntry& e) {
    if (e.kind == tlrec::KIND_BERGERON || e.kind == tlrec::KIND_FREDEP) {
        DSLINT_MODAL(e);
        return;
    }
    if (e.kind == tlrec::KIND_FREPHASE) {
        DSLINT_PHASE(e);
        return;
    }
    DSLINT_MFDTD(e);
}
