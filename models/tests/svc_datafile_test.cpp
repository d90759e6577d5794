// The compensator's data-file form: its data lines, banners and refusals,
// its steady state against the set-up form's, and the susceptance check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "models/branch_changes.h"
#include "models/svc/svc.h"
#include "models/svc/svc_matrices.h"
#include "models/svc/svc_work.h"
#include "models/tests/svc_circuit.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace {

using svc_test::Fundamental;
using svc_test::Ratings;

std::string num(double x) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", x);
    return b;
}

// The example's data lines: the windings' coupled inductances from its
// ratings, and the reactor and capacitor values of the set-up form.
struct ExampleLines {
    double L[9][9]{};
    double Lt = 0, Cst = 0, C0 = 0;  // henry, microfarads
    double Rs = 1000, Cs = 0.1, Ron = 0.01, Roff = 1e6, Rd = 1e4;
    int32_t NCAP = 4, NC0 = 2;

    ExampleLines() {
        Ratings r;
        svc_test::tables();
        svc_test::set_up(r);
        Lt = STORAGE.RTCF(1);
        Cst = STORAGE.RTCF(6) * 1e6;
        C0 = STORAGE.RTCF(7) * 1e6;
        reset_all_engine_state();
        const double w = 2.0 * M_PI * 60.0, Sph = 100.0 / 3.0, V1 = 230.0 / std::sqrt(3.0), V2 = 10.0 / std::sqrt(3.0);
        const double Zb1 = V1 * V1 / Sph, Zb2 = V2 * V2 / Sph;
        const double LP = Zb1 / (0.01 * w), LY = Zb2 / (0.01 * w), LD = 10.0 * 10.0 / Sph / (0.01 * w);
        const double MPY = std::sqrt(LP * LY) * (1 - 0.15 * Zb1 / (2 * w * LP));
        const double MPD = std::sqrt(LP * LD) * (1 - 0.15 * Zb1 / (2 * w * LP));
        const double MYD = std::sqrt(LY * LD) * (1 - 0.30 * Zb2 / (2 * w * LY));
        svc_windings(LP, LD, LY, MPD, MPY, MYD, L);
    }
    std::string text(bool scramble_upper = false) const {
        std::string t = "! coupled inductances\n";
        for (int i = 0; i < 9; ++i) {
            for (int j = 0; j < 9; ++j) t += " " + num(scramble_upper && j > i ? 123.0 : L[i][j]);
            t += "\n";
        }
        t += num(Lt) + " " + num(Rs) + " " + num(Cs) + " " + num(Ron) + " " + num(Roff) + "\n";
        t += num(Cst) + " " + num(Rd) + " " + std::to_string(NCAP) + " " + std::to_string(NC0) + " " + num(C0) + "\n";
        return t;
    }
};

class SvcDataFile : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }

    // A fresh engine reading the given lines as its current data file.
    void open(const std::string& text) {
        svc_test::tables();
        std::ofstream(dir_.file("svc.dat")) << text;
        INPUT.DATA_FILE_NAME.assign(dir_.file("svc.dat"));
        OPENFILE();
    }
    // One step on the stiff bus at step n; the Norton sums start from 0
    // as the pointer reset leaves them.
    void step(int32_t n, double alpha = M_PI, int32_t enable = 1, double f = 60.0) {
        RESETPTRS();
        for (int32_t k = 1; k <= 3; ++k) NET.GNOR(k, 1) = NET.CNOR(k, 1) = 0.0;
        svc_test::bus(kV, f, (n - 1) * svc_test::kStep);
        SVC_DATAFILE(1, 1, 2, 3, alpha, command_, enable, switching_, stages_, 0, 50.0, 2000.0, 10, 10, 100.0, 230.0,
                     f, 0.3, 1.2, 0.0, 0.05, 1.0);
        RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    }

    static constexpr double kV = 230.0 * 0.816496580927726;
    TempDir dir_;
    int32_t command_ = 0, switching_ = 0, stages_ = 0;
};

TEST_F(SvcDataFile, PointersAndNortonBuses) {
    const ExampleLines ex;
    open(ex.text());
    for (int n = 0; n < 3; ++n) {
        step(n);
        EXPECT_EQ(POINTER_BLOCK.NEXC, 389);
        EXPECT_EQ(POINTER_BLOCK.NRTCF, 1);
    }
    EXPECT_EQ(stages_, 2);
    for (int32_t k = 1; k <= 3; ++k) EXPECT_TRUE(is_true(NET.NORMARK(k, 1)));
    ASSERT_EQ(BRCHANGE_LIST.count, 1);
    EXPECT_EQ(BRCHANGE_LIST.icol(1, 1), 6);
    EXPECT_EQ(BRCHANGE_LIST.icol(4, 1), 3);
    EXPECT_NEAR(BRCHANGE_LIST.rcol(1, 1), 0.2104824122390711, 1e-12);
}

// The bus voltages are advanced by one step at the compensator's own
// frequency, not at 60 Hz.
TEST_F(SvcDataFile, BusVoltagesAdvancedAtItsOwnFrequency) {
    const ExampleLines ex;
    open(ex.text());
    step(0, M_PI, 1, 50.0);
    step(1, M_PI, 1, 50.0);
    const double w = 2.0 * M_PI * 50.0 * svc_test::kStep, a = 1.0 - w * w, b = 0.577350269189626 * w;
    const double va = NET.VNODE(1, 1), vb = NET.VNODE(2, 1), vc = NET.VNODE(3, 1);
    const double want[3] = {b * (vc - vb) + a * va, b * (va - vc) + a * vb, b * (vb - va) + a * vc};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(SVC_WORK.v[k], want[k], 1e-12 * kV) << k;
}

// A bank of no stages runs its reactors and refuses a command to add one.
TEST_F(SvcDataFile, NoCapacitorStages) {
    ExampleLines ex;
    ex.NCAP = ex.NC0 = 0;
    open(ex.text());
    const Captured c = capture([&] {
        step(0);
        command_ = 1;
        step(1);
    });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(command_, 0);
    EXPECT_EQ(stages_, 0);
    EXPECT_EQ(switching_, 0);
}

// Only the lower triangle of the inductances counts.
TEST_F(SvcDataFile, UpperTriangleTakenFromTheMirror) {
    const ExampleLines ex;
    open(ex.text());
    step(0);
    std::vector<double> straight(STORAGE.STOR.data() + 2 + 243, STORAGE.STOR.data() + 2 + 353);
    open(ex.text(true));
    step(0);
    std::vector<double> mirrored(STORAGE.STOR.data() + 2 + 243, STORAGE.STOR.data() + 2 + 353);
    EXPECT_EQ(straight, mirrored);
    EXPECT_NEAR(STORAGE.STOR(2 + 243), 7.918912064092, 1e-9 * 7.918912064092);
}

TEST_F(SvcDataFile, BannersOfBothClamps) {
    ExampleLines ex;
    ex.NCAP = ex.NC0 = 11;
    open(ex.text());
    const Captured c = capture([&] { step(0); });
    const std::string rule = " ***************************************************\n";
    EXPECT_EQ(c.out, rule +
                         " * WARNING   WARNING   WARNING   WARNING   WARNING *\n"
                         " * ------------------------------------------------*\n"
                         " * The maximum number of capacitor stages entered  *\n"
                         " * in the eleventh line of SVC data in DATAFILE    *\n"
                         " * cannot be greater then 10. Thus, NCAP=10 is set.*\n" +
                         rule + rule +
                         " * WARNING   WARNING   WARNING   WARNING   WARNING *\n"
                         " * ------------------------------------------------*\n"
                         " * The initial number of capacitor stages entered  *\n"
                         " * in the eleventh line of SVC data in DATAFILE    *\n"
                         " * can not be greater then the number of capacitor *\n"
                         " * stages NCAP, thus NC0=NCAP is set.              *\n" +
                         rule);
    EXPECT_EQ(stages_, 10);
    step(1);
    for (int g = 0; g < 6; ++g) EXPECT_EQ(STORAGE.STOR(2 + 149 + g), 10.0);  // counts, nine slots on
}

struct BadFile {
    const char* name;
    std::function<std::string(const ExampleLines&)> text;
    std::string first_line;  // of the output; RDCMNT's ends in the file's name
    std::string routine = "SVC_DATAFILE";  // that stops the run
};

void PrintTo(const BadFile& b, std::ostream* os) { *os << b.name; }

class SvcDataFileRefusal : public SvcDataFile, public testing::WithParamInterface<BadFile> {};

TEST_P(SvcDataFileRefusal, StopsWithItsMessage) {
    const ExampleLines ex;
    open(GetParam().text(ex));
    const Captured c = capture([&] { step(0); });
    EXPECT_TRUE(c.aborted);
    const std::string first =
        GetParam().first_line + (GetParam().routine == "RDCMNT" ? pad_text(dir_.file("svc.dat"), 72) + "\n" : "");
    EXPECT_EQ(c.out.substr(0, c.out.find('\n') + 1), first) << c.out;
    EXPECT_TRUE(contains(c.out, "ERROR: Abnormal termination of ZARIK by " + GetParam().routine)) << c.out;
}

std::string cut_lines(const std::string& t, int keep) {
    size_t at = 0;
    for (int i = 0; i < keep; ++i) at = t.find('\n', at) + 1;
    return t.substr(0, at);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SvcDataFileRefusal,
    testing::Values(
        BadFile{"EndOfFile", [](const ExampleLines& e) { return cut_lines(e.text(), 11) + "! end\n"; },
                " End_Of_File while reading data file ", "RDCMNT"},
        BadFile{"KeyLine", [](const ExampleLines& e) { return cut_lines(e.text(), 5) + "NEXT:\n"; },
                " ***ERROR** Data line 5 of SVC_DATAFILE is missing or unreadable\n"},
        BadFile{"Unreadable", [](const ExampleLines& e) { return cut_lines(e.text(), 11) + "0.1 100 four 2 0.01\n"; },
                " ***ERROR** Data line 11 of SVC_DATAFILE is missing or unreadable\n"},
        BadFile{"NotANumber",
                [](const ExampleLines& e) {
                    ExampleLines x = e;
                    x.L[2][2] = std::nan("");
                    return x.text();
                },
                " ***ERROR** Data line 3 of SVC_DATAFILE is missing or unreadable\n"},
        BadFile{"Infinite",
                [](const ExampleLines& e) {
                    ExampleLines x = e;
                    x.Roff = HUGE_VAL;
                    return x.text();
                },
                " ***ERROR** Data line 10 of SVC_DATAFILE is missing or unreadable\n"},
        BadFile{"OffResistanceZero",
                [](const ExampleLines& e) {
                    ExampleLines x = e;
                    x.Roff = 0.0;
                    return x.text();
                },
                " ***ERROR** Unrealistic SVC valve, snubber or capacitor data\n"},
        BadFile{"NegativeStages",
                [](const ExampleLines& e) {
                    ExampleLines x = e;
                    x.NCAP = x.NC0 = -1;
                    return x.text();
                },
                " ***ERROR** Unrealistic number of capacitor stages\n"}),
    [](const testing::TestParamInfo<BadFile>& i) { return i.param.name; });

// Blocked with two stages: the set-up form's reactive power and the
// internal R-C branches' share.
TEST_F(SvcDataFile, SteadyStateOfTheSetUpForm) {
    const ExampleLines ex;
    open(ex.text());
    const double w = 2.0 * M_PI * 60.0;
    Fundamental v[3] = {{w}, {w}, {w}}, i[3] = {{w}, {w}, {w}};
    for (int32_t n = 0; n <= 11000; ++n) {
        step(n);
        if (n <= 10000) continue;
        const double t = n * svc_test::kStep;
        for (int k = 0; k < 3; ++k) {
            const double vb = kV * std::sin(w * t - k * 2.0 * M_PI / 3.0);
            v[k].add(t, vb);
            i[k].add(t, NET.GNOR(k + 1, 1) * vb - NET.CNOR(k + 1, 1));
        }
    }
    EXPECT_NEAR(svc_test::reactive(v, i), -43.899396 - 2.6004, 0.01 * 46.5);
}

TEST(SvcAlloc, Susceptances) {
    svc_test::tables();
    POINTER_BLOCK.NRTCF = 5;
    SVCALLOC(4, 0.15, 100.0, -100.0, 100.0);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 8);
    EXPECT_NEAR(STORAGE.RTCF(5), -6.666666666666667, 1e-15);
    EXPECT_NEAR(STORAGE.RTCF(6), -1.1764705882352942, 1e-15);
    EXPECT_NEAR(STORAGE.RTCF(7), 0.2173913043478261, 1e-15);
    const Captured c = capture([] { SVCALLOC(0, 0.15, 100.0, 100.0, 100.0); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Unrealistic number of capacitor stages\n"
                     " ***ERROR** Unrealistic capacitive reactive power\n" + abort_frame("SVCALLOC"));
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 8);
    reset_all_engine_state();
}

}  // namespace
