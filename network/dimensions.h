// The dimension block: the required size of every array, read from the
// "DIMENSIONS:" section, and the sizes the arrays were created with.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/fixed_text.h"

constexpr int NDIMS = 70;

// Indices of the dimension block (limit NDk is index k).
enum DimIndex : int {
    ND_NODES = 1, ND_SUBSYS = 2, ND_WINDINGS = 3, ND_TRAFOS = 4, ND_MAXMODES = 5, ND_TLINES = 6,
    ND_SUBSYSPAGE = 7, ND_MAXPOLES = 8, ND_UMEC = 9, ND_STOR = 10, ND_VARS = 11, ND_CONS = 12,
    ND_PGBS = 13, ND_CSCS = 14, ND_BRANCHES = 15, ND_CX = 16, ND_CXMAP = 17, ND_DX = 18,
    ND_SPARSITY = 19, ND_CSCR = 20, ND_NNODES = 21, ND_NPAGES = 22, ND_STOL = 23, ND_STOI = 24,
    ND_STOF = 25, ND_STOC = 26, ND_STORL = 27, ND_STORI = 28, ND_STORF = 29, ND_STORC = 30,
    ND_TRAVWAVES = 31, ND_TRANSFORMS = 32, ND_TRANSPOLES = 33, ND_ATTPOLES = 34,
    ND_SURGEPOLES = 35, ND_NUMMODES = 36, ND_TX = 37, ND_TXRX = 38, ND_TLINES_PH = 41,
    ND_NUMMODES_PH = 42, ND_MAXMODES_PH = 43, ND_TRAVWAVES_PH = 44, ND_PROP_PH = 45,
    ND_HSERC_PH = 46, ND_YCSERC_PH = 47, ND_XHK_PH = 48, ND_MAXPOLES_PH = 49, ND_METERS = 50,
    ND_STXFRL = 51, ND_STXFRI = 52, ND_TLINES_MFDTD = 53, ND_NUMMODES_MFDTD = 54,
    ND_MAXMODES_MFDTD = 55, ND_MAXPOLES_MFDTD = 56, ND_MAXINC_MFDTD = 57, ND_TLINES_TOTAL = 58,
    ND_STXFRF = 59, ND_STXFRC = 60, ND_RTCL = 61, ND_RTCI = 62, ND_RTCF = 63, ND_RTCC = 64,
    ND_METERS3 = 65, ND_ENI_SERVERS = 69, ND_ENI_CLIENTS = 70
};

struct DimensionBlock {
    std::array<int32_t, NDIMS + 1> REQ{};    // requirements, 1..70
    std::array<int32_t, NDIMS + 1> AVAIL{};  // available sizes ND1..ND70
    int32_t NSUBSYS = 0;                     // number of subsystems (element 2)
    int32_t NPGBS = 0;                       // number of output channels (element 13)
    std::array<int32_t, 8> SNAP_AVAIL{};     // ND1..ND7 as the snapshot code keeps them
    int32_t SNAP_NODES_USED = 0;             // NODES that a restored snapshot's run used
};

extern DimensionBlock DIMBLOCK;

// The largest value of a dimension, in a map file or a snapshot: far above
// any real case, and low enough that no single size asks for more than
// the machine can give or a run can write.
constexpr int32_t DIMENSION_BOUND = 1 << 24;
// The bound of dimension index: a sixteenth of it for a count whose values
// a snapshot holds, so that no one of them makes a snapshot of more than
// half a gigabyte or takes seconds to write; 4096 for the line records,
// which every step walks; SPARSITY only by the memory it asks for.
int32_t dimension_bound(int index);

// The console lines of a dimension refused for its value: one beyond its
// bound, and one below zero.
void say_beyond_bound(std::string_view name, int64_t value, int32_t bound);
void say_negative_dimension(int32_t value, const Text72& name);

// Reads the "DIMENSIONS:" section; in the first run of a data start also
// pre-scans the map file and creates the storage; then NDCHECK.
void RDDIM();
void NDCHECK();
void WRITEDIM(int32_t unit);
