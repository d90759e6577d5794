#include "network/map_sections.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "platform/list_read.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"

MapReadState MAP_READ;

namespace {

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

// How one reader reports: its name, the text for a record that cannot be
// read, and the abort mode of its read faults.
struct Reader {
    Text12 name;
    const char* bad_record;
    int32_t mode;

    [[noreturn]] void stop(FValues lines, int32_t how) const {
        console(lines);
        ABORT_RUN(name, how);
    }
    [[noreturn]] void stop(FValues lines) const { stop(lines, mode); }
    void check(const ListRead& in) const {
        if (in.status() == ReadStatus::End) stop({"Unexpected End_Of_File"});
        if (in.status() == ReadStatus::Error) stop({bad_record});
    }
    // NaN and the infinities (also a number beyond the range of a double)
    // are no value: the record is a bad one.
    void check(const ListRead& in, double value) const {
        check(in);
        if (!std::isfinite(value)) stop({bad_record});
    }
    int32_t integer(ListRead& in) const {
        int32_t v = 0;
        in.integer(v);
        check(in);
        return v;
    }
    std::vector<int32_t> integers(ListRead& in, int32_t n) const {
        std::vector<int32_t> v(static_cast<size_t>(n > 0 ? n : 0));
        for (int32_t& x : v) x = integer(in);
        return v;
    }
};

int32_t nd(int k) { return DIMBLOCK.AVAIL[k]; }

bool key_is(const char* key) { return INPUT.SECTION_KEY == key; }

// A section that must hold a record: its first RDCMNT has to leave the key.
void first_record(const Reader& r, const Text72& key, const char* missing) {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == key)) r.stop({missing});
}

// A count of at most `most`, then that many values, each from 0 to `hi`
// (to the count itself where `hi` is below 0); every bad value is named
// before the run stops.
std::vector<int32_t> counted_values(const Reader& r, int32_t most, const char* bad_count, int32_t hi,
                                    const char* bad_value, const char* summary) {
    ListRead in(INPUT.INPUT_UNIT);
    const int32_t n = r.integer(in);
    if (n < 0 || n > most) r.stop({bad_count, n});
    const std::vector<int32_t> values = r.integers(in, n);
    if (hi < 0) hi = n;
    bool bad = false;
    for (const int32_t v : values) {
        if (v >= 0 && v <= hi) continue;
        console({bad_value, v});
        bad = true;
    }
    if (bad) r.stop({summary});
    return values;
}

}  // namespace

void READSSDIM(bool then_next_key) {
    const Reader r{"READSSDIM", "Error reading SUBSYSDIM information in map file", 2};
    first_record(r, "SUBSYSDIM:", "Unexpected end of subsystem mapping");
    const std::vector<int32_t> sizes =
        counted_values(r, nd(ND_SUBSYS), "Invalid number of subsystems specified: ", nd(ND_NODES),
                       "Subsystem dimension size is out of range: ", "Errors occurred in SUBSYSDIM section of map file");
    for (size_t s = 0; s < sizes.size(); ++s) SOLUTION_ARRAYS.SSDIM(static_cast<int32_t>(s) + 1) = sizes[s];
    MAP_READ.subsys_sizes_read = true;
    if (then_next_key) RDCMNT();
}

void SETSUBS() {
    const Reader r{"SETSUBS", "Error reading Subsystem information in map file", 2};
    first_record(r, "SUBS:", "Unexpected end of subsystem mapping");
    const std::vector<int32_t> local =
        counted_values(r, nd(ND_SUBSYSPAGE), "Invalid # of local subsystems: ", -1, "Invalid local subsystem number: ",
                       "Errors occurred in SUBS section of map file");
    for (size_t k = 0; k < local.size(); ++k) STORAGE.SUBS(static_cast<int32_t>(k) + 1) = local[k];
    MAP_READ.subs_filled = std::max(MAP_READ.subs_filled, static_cast<int32_t>(local.size()));
    RDCMNT();
}

void SET_RADIO() {
    const Reader r{"SET_RADIO", "Error reading radio link information in map file", 2};
    const Text72 key = "RADIOLINKS:";
    first_record(r, key, "Unexpected end of radio link mapping");
    int64_t total = 0;
    while (INPUT.SECTION_KEY == key) {
        {
            ListRead in(INPUT.INPUT_UNIT);
            const int32_t n = r.integer(in);
            if (n < 0 || total + n > nd(ND_TXRX)) r.stop({"Invalid # of wireless radio links: ", n});
            const std::vector<int32_t> links = r.integers(in, n);
            bool bad = false;
            for (const int32_t v : links) {
                if (v >= 1 && v <= nd(ND_TX)) continue;
                console({"Invalid wireless radio link index: ", v});
                bad = true;
            }
            if (bad) r.stop({"Errors occurred in RADIOLINKS section of mapfile"});
            for (const int32_t v : links) STORAGE.TXRX(++total) = v;
        }
        RDCMNT();
    }
}

void RDVOLTS(int32_t node_offset) {
    const Reader r{"RDVOLTS", "Error while reading data", 1};
    const Text72 key = "VOLTAGES:";
    RDCMNT();
    while (INPUT.SECTION_KEY == key) {
        int32_t node = 0;
        double value = 0.0;
        {
            ListRead in(INPUT.INPUT_UNIT);
            in.integer(node).real(value);
            r.check(in, value);
        }
        if (node > 0) {
            const int32_t s = SSNUM(node_offset, node);
            int32_t g = 0;
            ZARIK_NODE(node_offset, node, g);
            if (g > 0) {
                NET.VNODE(g, s) = value;
                NET.VGIVEN(g, s) = LTRUE;
            }
        } else {
            USERWARN(0, 0, 1, "RDVOLTS: Invalid node #");
            console({"WARNING: RDVOLTS: Invalid node # on data line:"});
            console({INPUT.DATA_LINE.sub(1, 50)});
            console({"in data file ", INPUT.DATA_FILE_NAME.sub(1, 12), "...Data ignored"});
        }
        RDCMNT();
    }
}

void RDSTOX() {
    const Reader r{"RDSTOX", "Error while reading data", 1};
    const Text72 key = INPUT.SECTION_KEY;
    StorageArrays& S = STORAGE;
    RDCMNT();
    while (INPUT.SECTION_KEY == key) {
        {
            ListRead in(INPUT.INPUT_UNIT);
            const int32_t k = r.integer(in);
            const std::string which(key.sub(1, 4));
            int limit = ND_STOC;
            if (which == "STOL") limit = ND_STOL;
            if (which == "STOI") limit = ND_STOI;
            if (which == "STOF") limit = ND_STOF;
            if (k < 1 || k > nd(limit)) r.stop({which + " Dimension out of bounds in MAP file"}, 0);
            if (limit == ND_STOL) {
                Logical v = LFALSE;
                in.logical(v);
                r.check(in);
                S.STOL(k) = v;
            } else if (limit == ND_STOI) {
                S.STOI(k) = r.integer(in);
            } else if (limit == ND_STOF) {
                double v = 0.0;
                in.real(v);
                r.check(in, v);
                S.STOF(k) = v;
            } else {
                std::complex<double> v;
                in.complex(v);
                r.check(in, v.real());
                r.check(in, v.imag());
                S.STOC(k) = v;
            }
        }
        RDCMNT();
    }
}

void RDCXMAPPING() {
    const Reader r{"RDCXMAPPING", "Error while reading data", 1};
    Text72 key = INPUT.SECTION_KEY;
    int64_t filled = 0;  // CXMAP slots filled by this call
    RDCMNT();
    for (;;) {
        if (!(INPUT.SECTION_KEY == key)) {
            // The next section may be the other of the pair: it goes on
            // with the same fill count.
            if (!key_is("CX:") && !key_is("CXMAP:")) return;
            key = INPUT.SECTION_KEY;
            RDCMNT();
            continue;
        }
        {
            ListRead in(INPUT.INPUT_UNIT);
            if (key == "CX:") {
                const int32_t k = r.integer(in);
                if (k < 1 || k > nd(ND_CX)) r.stop({"CX Dimension out of bounds in MAP file"}, 0);
                double v = 0.0;
                in.real(v);
                r.check(in, v);
                STORAGE.CX(k) = v;
            } else {
                const int32_t m = r.integer(in);
                if (m < 1 || m > nd(ND_CXMAP) - filled) r.stop({"CXMAP Dimension out of bounds in MAP file"}, 0);
                for (const int32_t slot : r.integers(in, m)) STORAGE.CXMAP(++filled) = slot;
                MAP_READ.cxmap_filled = std::max(MAP_READ.cxmap_filled, static_cast<int32_t>(filled));
            }
        }
        RDCMNT();
    }
}

void RDMPGB() {
    const Reader r{"RDMPGB", "Error while reading data", 1};
    const Text72 key = "MPGBS:";
    RDCMNT();
    while (INPUT.SECTION_KEY == key) {
        {
            ListRead in(INPUT.INPUT_UNIT);
            const int32_t c = r.integer(in);
            // The count is checked against the room of the list before
            // the channel numbers are stored.
            if (c < 0 || c > STORAGE.MPGBS.size()) r.stop({"MPGBS Dimension out of bounds in MAP file"}, 0);
            const std::vector<int32_t> channels = r.integers(in, c);
            RUN_OUTPUT.mpgbs_count = c;
            for (int32_t k = 1; k <= c; ++k) STORAGE.MPGBS(k) = channels[static_cast<size_t>(k - 1)];
        }
        RDCMNT();
    }
}

void RDPGBLIST() {
    const Reader r{"RDPGBLIST", "Error while reading data", 1};
    const Text72 key = "PGBList:";
    // The line after the key is a label as every other is, and a key there
    // ends the labels before any; without channels the lines are passed over.
    if (DIMBLOCK.NPGBS <= 0) RDCMNT();
    while (INPUT.SECTION_KEY == key) {
        // Without channels the waiting line is still taken, so that the
        // section comes to an end.
        const int32_t count = DIMBLOCK.NPGBS > 0 ? DIMBLOCK.NPGBS : 1;
        for (int32_t k = 1; k <= count; ++k) {
            std::string record;
            const ReadStatus st = READ_CHANNEL_LABEL(record);
            if (st == ReadStatus::End) r.stop({"Unexpected End_Of_File"});
            if (st == ReadStatus::Error) r.stop({"Error while reading data"});
            if (DIMBLOCK.NPGBS > 0) STORAGE.PGBNAME(k) = Text200(std::string_view(record));
        }
        RDCMNT();
    }
}
