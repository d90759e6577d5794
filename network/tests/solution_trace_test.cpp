// Bit-for-bit traces of whole runs read from map files: the shipped example
// (as shipped, and with its switch closing and opening by time within a
// step), a circuit that chatters, and 1,000-node R-C and R-L ladders, each step's node voltages, branch currents and chatter
// counters hashed and compared with the trace kept in the test data.
// ZARIK_WRITE_TRACES=1 writes the traces anew.
#include <cstring>
#include <fstream>
#include <sstream>

#include "network/switch_state.h"
#include "network/tests/ladder_map.h"
#include "network/tests/solution_circuit.h"

namespace {

// FNV-1a over the bits of the subsystem's node voltages, branch currents
// and chatter counters.
uint64_t state_hash() {
    uint64_t h = 1469598103934665603ULL;
    const auto add = [&](double x) {
        uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        for (int k = 0; k < 8; ++k) {
            h ^= (bits >> (8 * k)) & 0xff;
            h *= 1099511628211ULL;
        }
    };
    for (int32_t k = 1; k <= NET.NBUSES(1); ++k) add(NET.VNODE(k, 1));
    for (int32_t b = 1; b <= NET.NBRANCHES(1); ++b) add(NET.CBR(b, 1));
    for (int32_t k = 1; k <= NET.NBUSES(1); ++k) add(NET.CHATCNTV(k, 1));
    for (int32_t b = 1; b <= NET.NBRANCHES(1); ++b) add(NET.CHATCNTI(b, 1));
    add(is_true(NET.SSCHATTER(1)) ? 1.0 : 0.0);
    return h;
}

struct Trace {
    const char* name;
    int32_t steps;
};

class SolutionTrace : public SolutionTest, public testing::WithParamInterface<Trace> {
protected:
    void run_and_compare(const std::string& map, int32_t steps, bool operated = false) {
        read_map(map);
        if (operated) {
            CHK_SWITCH_R(1, 2, 1e-3, 1e12, 0.0, 0.0, "S1");
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = 5.0185e-3;
        }
        start();
        std::ostringstream got;
        for (int32_t n = 0; n < steps; ++n) {
            if (operated && n == 200) {
                NET.IORV(2, 1) = -8;
                NET.SWVAL(2, 1) = 12.3456e-3;
            }
            ASSERT_TRUE(step()) << n;
            got << std::hex << state_hash() << "\n";
        }
        const std::string file = fixture_dir() + "/traces/" + GetParam().name + ".trace";
        const char* rewrite = std::getenv("ZARIK_WRITE_TRACES");
        if (rewrite && std::string(rewrite) == "1") write_file(file, got.str());
        std::istringstream want(read_file(file)), have(got.str());
        std::string a, b;
        for (int32_t n = 0; n < steps; ++n) {
            std::getline(want, a);
            std::getline(have, b);
            ASSERT_EQ(a, b) << "first difference at step " << n;
        }
    }
};

void PrintTo(const Trace& t, std::ostream* os) { *os << t.name; }

TEST_P(SolutionTrace, IsBitIdenticalToTheKeptTrace) {
    const Trace& t = GetParam();
    if (std::string(t.name).rfind("switched_rl", 0) == 0) {
        in_scratch_.emplace(std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl");
        run_and_compare("switched_rl.map", t.steps, std::string(t.name) == "switched_rl_operated");
        return;
    }
    if (std::string(t.name) == "chatter") {
        run_and_compare("solution_chatter.map", t.steps);
        return;
    }
    use_scratch();
    write_ladder(scratch_->path, 1000, std::string(t.name) == "rc_ladder");
    run_and_compare("ladder.map", t.steps);
}

INSTANTIATE_TEST_SUITE_P(Runs, SolutionTrace,
                         testing::Values(Trace{"switched_rl", 400}, Trace{"switched_rl_operated", 400},
                                         Trace{"chatter", 200}, Trace{"rc_ladder", 1500},
                                         Trace{"rl_ladder", 1500}),
                         [](const testing::TestParamInfo<Trace>& p) { return std::string(p.param.name); });

}  // namespace
