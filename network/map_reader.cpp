#include "network/map_reader.h"

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "models/models.h"
#include "network/branches.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/map_pages.h"
#include "network/map_sections.h"
#include "network/node_numbering.h"
#include "network/parameters.h"
#include "platform/text_units.h"

namespace {

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

// Everything a run starts from before its map file is opened.
void start_of_run() {
    PARAMS.title = "**Untitled**";
    INPUT.SECTION_KEY = "MAINPAGE:";
    MAP_PAGE = {};
    MAP_READ = {};
    INPUT.MAP_FILE_NAME = RUN_SETUP.start_file;
    RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
    PARAMS.SCREEN_PMIN = -2.0;
    PARAMS.SCREEN_PMAX = 2.0;
    POINTER_BLOCK.NNODE = POINTER_BLOCK.NSUBS = POINTER_BLOCK.NVAR = 0;
    CURRENT_IDS = {};
}

bool key_is(const char* key) { return INPUT.SECTION_KEY == key; }

}  // namespace

void READDATA() {
    start_of_run();
    INPUT.DATA_FILE_NAME.assign(INPUT.MAP_FILE_NAME.view());
    OPENFILE();
    RDDIM();
    CLEAR_STORAGE();
    RDPARM();
    LINE_COUNTS.tline_sections = LINE_COUNTS.global_tline_sections = 0;

    MapPage& page = MAP_PAGE;
    for (;;) {
        if (key_is("MAP:")) {
            NODELKUP(page.node_offset, page.subsys_offset, page.csc_begin1, page.csc_begin2);
            OPENFILE();
            RDCMNT();
        } else if (key_is("SUBSYSDIM:")) {
            READSSDIM();
            int32_t status = 0;
            ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        } else if (key_is("SUBS:")) {
            SETSUBS();
        } else if (key_is("RADIOLINKS:")) {
            SET_RADIO();
        } else if (key_is("VOLTAGES:")) {
            RDVOLTS(page.node_offset);
        } else if (key_is("BRANCHES:")) {
            RDBRS(page.node_offset);
        } else if (key_is("TRANSFORMERS:")) {
            DSMINT(page.node_offset);
        } else if (key_is("TLINES:")) {
            DSLINT(page.node_offset, page.subsys_offset, page.csc_begin1, page.csc_begin2);
        } else if (key_is("GLOBAL_TLINES:")) {
            int32_t none[4] = {0, 0, 0, 0};
            DSLINT(none[0], none[1], none[2], none[3]);
        } else if (key_is("DATADSD:") || key_is("DATADSO:") || key_is("IGNORE:")) {
            NEXTKEY();
        } else if (key_is("STOL:") || key_is("STOI:") || key_is("STOF:") || key_is("STOC:")) {
            RDSTOX();
        } else if (key_is("CX:") || key_is("CXMAP:")) {
            RDCXMAPPING();
        } else if (key_is("MPGBS:")) {
            RDMPGB();
        } else if (key_is("PGBList:")) {
            RDPGBLIST();
        } else if (key_is("ENDPAGE:")) {
            ENDPAGE();
        } else if (key_is("ENDCASE:")) {
            ENDCASE();
            return;
        } else {
            console({"READDATA: Unknown data file section: ", INPUT.SECTION_KEY});
            NEXTKEY();
        }
    }
}

void ENDPAGE() {
    const Text12 name = "ENDPAGE";
    RDCMNT();
    // Data lines right after a page's end belong to no section; taking
    // them here keeps the section loop from meeting them again and again.
    if (key_is("ENDPAGE:")) NEXTKEY();
    if (INPUT.INPUT_UNIT == INPUT_UNIT_NONE && !key_is("ENDCASE:")) {
        console({"Extra pages in map file: ", INPUT.MAP_FILE_NAME});
        ABORT_RUN(name, 1);
    }
}

void ENDCASE() {
    const Text12 name = "ENDCASE";
    // Every page has been read: NNODE stands at the last NODE entry filled.
    MAP_READ.node_filled = POINTER_BLOCK.NNODE;
    if (RUN_SEQ.IRUN <= 1) {
        if (DIMBLOCK.REQ[ND_NODES] > 0 && DIMBLOCK.NSUBSYS == 0) {
            console({"If you have electrical nodes you must have"});
            console({"at least one subsystem."});
            ABORT_RUN(name, 1);
        }
        if (INPUT.INPUT_UNIT != INPUT_UNIT_NONE + 1) {
            console({"Missplaced ENDCASE: keyword in data file"});
            console({"Probably this should have been an ENDPAGE:"});
            ABORT_RUN(name, 1);
        }
    }
    while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
}
