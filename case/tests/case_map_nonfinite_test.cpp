// The compiled case with a control value that is no number, and with one
// that is a number but drives the 33 kV source beyond any double: the
// first is refused where it is read, the second stops the run in its
// first step.
#include "case/tests/case_support.h"

namespace {

const char* const kFrameRule = " =========================================================\n";

TEST(CaseNonFiniteControl, NotANumberIsABadRecord) {
    const CaseFolder f;
    f.edit("station.map", " 8 1.0  ! VsrcPu", " 8 NaN  ! VsrcPu");
    const ProgramResult r = f.run();
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    const std::string expected = std::string(" Error while reading data\n") + kFrameRule +
                                 " Following is the last read data line:\n"
                                 "  8 NaN  ! VsrcPu" + std::string(56, ' ') + "\n"
                                 // The file named is the page read last.
                                 " Data file name: p19_Load.map                      ...\n"
                                 " ERROR: Abnormal termination of ZARIK by RDCXMAPPING \n" +
                                 kFrameRule + " \n";
    const size_t at = r.out.rfind(" Error while reading data\n");
    EXPECT_EQ(at == std::string::npos ? std::string() : r.out.substr(at), expected) << r.out;
}

TEST(CaseNonFiniteControl, AHugeSourceMagnitudeStopsTheFirstStep) {
    const CaseFolder f;
    f.edit("station.map", " 8 1.0  ! VsrcPu", " 8 1e308  ! VsrcPu");
    const ProgramResult r = f.run();
    EXPECT_EQ(r.exit_code, 208);
    const std::string expected = std::string(" ***ERROR** In subsystem 1 the solution is no longer finite:\n"
                                             " ***ERROR** stopped in step 0 at time 0.000000000000000\n") +
                                 kFrameRule + " ERROR: Abnormal termination of ZARIK by INCALCVI    \n" + kFrameRule +
                                 " \n";
    const size_t at = r.out.find(" ***ERROR** In subsystem");
    EXPECT_EQ(at == std::string::npos ? std::string() : r.out.substr(at), expected) << r.out;
}

}  // namespace
