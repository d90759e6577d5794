// The two set-up calls whose run-time constants no per-step routine reads:
// a module that makes them in its dynamic-begin routine passes over the
// constants in its dynamic routine, and the run goes through the pointer
// checks; a module that does not is stopped by them.
#include <cmath>
#include <vector>

#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/storage.h"
#include "models/svc/svc.h"
#include "models/tests/xfmr_test_support.h"
#include "models/transformers/transformers.h"
#include "platform/tests/support/capture.h"

namespace {

class SetupConstants : public XfmrTest {
protected:
    // A 100 MVA 230/115 kV auto-transformer, its series winding from node 1
    // to node 2 and its common winding from node 2 to ground, fed through
    // 1 ohm and loaded with 100 ohms; 20 steps.
    Captured run(bool passed_over) {
        read_sections("BRANCHES:\n 0 1 RE 1.0 0.0\n 2 0 R 100.0\nTRANSFORMERS:\n 2 0 1\n 1 2\n 2 0\n",
                      " RTCF = 8\n");
        HOOKED_CASE.on_dsd_begin = [] {
            int32_t k = 1, ideal = 0;
            double s = 100.0, f = 50.0, x = 0.1, pcu = 0.01, vhv = 230.0, vlv = 115.0, im = 1.0;
            AUTO_TF_2WDG(k, ideal, s, f, x, pcu, vhv, vlv, im);
            SVCALLOC(4, 0.15, 100.0, 100.0, 100.0);
        };
        HOOKED_CASE.on_dsd = [this, passed_over] {
            NET.EBR(1, 1) = 100.0 * std::sin(2.0 * M_PI * 50.0 * RUN_CLOCK.TIME);
            if (!passed_over) return;
            // The module's two and three next_rtcf reads.
            for (int k = 0; k < 5; ++k) read_.push_back(STORAGE.RTCF(POINTER_BLOCK.NRTCF++));
        };
        Logical abort_flag = LFALSE;
        return capture([&] {
            INITCOM();
            RUNLOOP(abort_flag, false);
        });
    }
    std::vector<double> read_;
};

TEST_F(SetupConstants, PassedOverInTheDynamicRoutine) {
    const Captured c = run(true);
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_FALSE(contains(c.out, "Corrupt")) << c.out;
    ASSERT_EQ(read_.size(), 5u * 21u);
    const double want[5] = {2.3, 2.0 * M_PI * 50.0 / 230.0, -1.0 / 0.15, -1.0 / (100.0 / 100.0 - 0.15),
                            1.0 / (4 * (0.15 + 100.0 / 100.0))};
    for (size_t k = 0; k < read_.size(); ++k) EXPECT_DOUBLE_EQ(read_[k], want[k % 5]) << k;
    // The load draws twice the source's current through the 2:1 ratio.
    EXPECT_NEAR(NET.CBR(2, 1) / NET.CBR(1, 1), 2.0, 0.01);
}

TEST_F(SetupConstants, NotPassedOverStopsTheRun) {
    const Captured c = run(false);
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "ERROR: Storage Pointers have become Corrupt!")) << c.out;
}

}  // namespace
