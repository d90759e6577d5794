// The storage-pointer checks: references taken at the first call, the
// exact reports (as gfortran writes them from the same formats) and the
// storage limits.
#include "engine/bookends.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/tests/engine_test_support.h"

namespace {

const std::string kCorruptHead =
    " ***************************************************\n"
    " ERROR: Storage Pointers have become Corrupt!\n"
    " This usually occurs when user-written subroutines\n";
const std::string kCorruptMiddle =
    " when using IF/ELSE/ENDIF logic.\n"
    " It also occurs when using invalid snapshot files!\n"
    "  \n"
    " User Pointer values:\n";
const std::string kCorruptTail =
    " Check user-written models to ensure these pointers\n"
    " are incremented by the same amount each time step.\n"
    "\n";
const std::string kStorageTail =
    " The storage is set by HOLVA by adding up\n"
    " the storage requirements as specified by\n"
    " the #STORAGE: syntax in each component.\n" +
    abort_frame("CHKSTOR");

using PointerChecks = EngineTest;

TEST_F(PointerChecks, ModelPointerThatMovesDifferentlyStopsTheRun) {
    read_case_head("storage_case.map");
    INITCOM();
    ASSERT_EQ(RUN_CLOCK.RUN_STEPS, 3);
    int calls = 0;
    // A stand-in model that takes three words in one step and two in the next.
    RECORDING_CASE.on_dsd = [&calls] { POINTER_BLOCK.NSTORF += (++calls == 1) ? 3 : 2; };
    Logical abort_flag = LFALSE;
    const Captured c = capture([&] { RUNLOOP(abort_flag, false); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 2);
    // A run of three steps reports its progress at every print step.
    EXPECT_EQ(c.out, " => This run is   0% complete.\n" + kCorruptHead +
                         " incorrectly increment NEXCx or NSTORx pointers\n" + kCorruptMiddle +
                         " Values At:    TIME=0           0.500000E-04 Sec.\n"
                         "  NEXC    =         0             0\n"
                         "  NSTORC  =         1             1\n"
                         "  NSTORF  =         4             3\n"
                         "  NSTORI  =         1             1\n"
                         "  NSTORL  =         1             1\n"
                         " HOLVA Pointer values:\n"
                         "  NSTOL   =         0             0\n"
                         "  NSTOI   =         0             0\n"
                         "  NSTOF   =         0             0\n"
                         "  NSTOC   =         0             0\n"
                         "  NVAR    =         0             0\n"
                         "  NNODE   =         0             0\n"
                         "  NSUBS   =         0             0\n"
                         "  NTXFR   =         1             1\n" +
                         kCorruptTail + abort_frame("CHKNEXC"));
}

// A snapshot holds the module counts its map declared: a restored run's
// first step may end within them, and what it reaches is the reference.
TEST_F(PointerChecks, RestoredModuleCountsBoundTheFirstStep) {
    PointerBlock& p = POINTER_BLOCK;
    const auto step_ends_at = [&p](int32_t nstof, int32_t nexc) {
        p.NSTOF = nstof;
        p.NEXC = nexc;
        return !capture([] { CHKNEXC(); }).aborted;
    };
    const auto restored = [&p](int32_t nstof) {
        p.NSTOF = nstof;
        p.NEXC = 7;
        return !capture([] { CHKNEXC_RESTORED(); }).aborted;
    };
    ASSERT_TRUE(restored(600));
    EXPECT_TRUE(step_ends_at(595, 7));
    EXPECT_TRUE(step_ends_at(595, 7));
    EXPECT_FALSE(step_ends_at(596, 7));
    // A later run of the session restores the same counts.
    reset_engine();
    ASSERT_TRUE(restored(600));
    EXPECT_TRUE(step_ends_at(595, 7));
    ASSERT_TRUE(restored(600));
    EXPECT_TRUE(step_ends_at(595, 7));
    // A step beyond the counts restored, or with another model storage count.
    reset_engine();
    ASSERT_TRUE(restored(590));
    const Captured c = capture([&p] {
        p.NSTOF = 595;
        CHKNEXC();
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "  NSTOF   =       590           595\n")) << c.out;
    reset_engine();
    ASSERT_TRUE(restored(600));
    EXPECT_FALSE(step_ends_at(595, 6));
}

TEST_F(PointerChecks, ExactlyFullPassesAndEveryOverrunIsReported) {
    allocate({{ND_STOR, 500}});
    POINTER_BLOCK.NEXC = 500;
    EXPECT_FALSE(capture([] { CHKSTOR(); }).aborted);
    POINTER_BLOCK.NEXC = 501;
    Captured c = capture([] { CHKSTOR(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ZARIK: STOR array dimension exceeded\n Required Dimension:         501\n" + kStorageTail);

    reset_engine();
    allocate({{ND_STORI, 4}, {ND_RTCF, 2}, {ND_STXFRL, 1}});
    POINTER_BLOCK.NSTORI = 6;
    POINTER_BLOCK.NRTCF = 4;
    POINTER_BLOCK.NSTXFRL = 2;  // exactly full
    POINTER_BLOCK.NSTXFRF = 4;
    c = capture([] { CHKSTOR(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out,
              " ZARIK: STORI array dimension exceeded\n Required Dimension:           5\n"
              " ZARIK: RTCF array dimension exceeded\n Required Dimension:           3\n"
              " ZARIK: STXFRF array dimension exceeded\n Required Dimension:           3\n" +
                  kStorageTail);
}

TEST_F(PointerChecks, WritesBeyondTheStorageAreAbsorbedThenReported) {
    read_case_head("storage_case.map");
    INITCOM();
    const int64_t size = STORAGE.STORF.size();
    // A model that takes two words more than there are, and writes them all.
    RECORDING_CASE.on_dsd = [size] {
        for (int64_t k = 0; k < size + 2; ++k) STORAGE.STORF(POINTER_BLOCK.NSTORF + k) = 1.0;
        POINTER_BLOCK.NSTORF += static_cast<int32_t>(size + 2);
    };
    Logical abort_flag = LFALSE;
    const Captured c = capture([&] { RUNLOOP(abort_flag, false); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(array_overrun_count(), 2);
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_EQ(c.out, " ZARIK: STORF array dimension exceeded\n Required Dimension:        1008\n" + kStorageTail);
}

}  // namespace
