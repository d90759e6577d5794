// A comment line among the case's channel labels: the label files of a run
// from data and of a run restored from a snapshot are those of the map
// without it.
#include "case/tests/case_support.h"

namespace {

TEST(CaseChannelLabels, ACommentLineShiftsNoLabel) {
    const CaseFolder f;
    f.edit("station.map", "FINISH_TIME = 2.0", "FINISH_TIME = 0.01");
    ProgramResult r = run_program({zarik_program(), "-startup:alone"},
                                  "0\n1\n0.005\nhalf\nstation.map\n1\n1\nstation\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string shipped = read_text(f.file("station.inf"));

    f.edit("station.map", "Battery          BattV", "! battery channels\nBattery          BattV");
    r = run_program({zarik_program(), "-startup:alone"}, "0\n0\nstation.map\n1\n1\nedited\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string edited = read_text(f.file("edited.inf"));
    EXPECT_EQ(edited, shipped);
    EXPECT_TRUE(contains(edited, "\nMain             PL\nBattery          BattV\n")) << edited;

    r = run_program({zarik_program(), "-startup:alone"}, "1\n0\n0\n1\n1\nrest\n0\nhalf.snp\n0.005\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(read_text(f.file("rest.inf")), shipped);
}

}  // namespace
