// Module Ctrl alone at its place in the case's tree (no other module runs,
// so its blocks, its regulators' blocks and the model records start at the
// front): the bases, the enable, the selectors, the clamped reference and
// its warning, and the degenerate references.
#include <cmath>

#include "case/modules.h"
#include "case/tests/case_support.h"

namespace {

struct CtrlIn {
    int32_t on = 1, daxis = 0, limprio = 1, notch = 1;
    double vdc = 1.25, qref = 0.2, qreflim = 0.5, pref = 0.1;
    double va = 0.5, vb = -0.25, vc = -0.25;
    double ia = 0.1, ib = -0.05, ic = -0.05;
    double qd = 0.05, pd = 0.03, vac = 1.0;
};

constexpr double kVdcBase = 1.25196142408918, kLConv = 1.80413496204884e-4;

void place(bool dynamic) {
    PointerBlock& p = POINTER_BLOCK;
    p.NINST = 9;
    p.NNODE = 65;
    p.NPGB = 58;
    if (dynamic) {
        p.NTXFR = 8;
        p.NCXMAP = 30;
        p.NSTOI = p.NSTOF = 0;
    }
}

class CtrlAlone : public CaseTest {
protected:
    void SetUp() override {
        CaseTest::SetUp();
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        const Captured c = capture([] {
            RESETPTRS();
            place(true);
            Ctrl_DSD_BEGIN(0.35, 60.0, 0.69, 0.5);
            RESETPTRS_OUT();
            place(false);
            Ctrl_DSO_BEGIN(0.35, 60.0, 0.69, 0.5);
        });
        ASSERT_FALSE(c.aborted) << c.out;
    }
    // Steps from n on, to n + count - 1; the console of them all.
    std::string run(const CtrlIn& in, int32_t count = 1) {
        std::string out;
        for (int32_t k = 0; k < count; ++k, ++n_) {
            RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = as_logical(n_ == 0);
            RUN_CLOCK.TIME = n_ * RUN_CLOCK.DELT;
            const Captured c = capture([&] {
                RESETPTRS();
                place(true);
                const double v[3] = {in.va, in.vb, in.vc}, i[3] = {in.ia, in.ib, in.ic};
                Ctrl_DSD(v, in.on, vref_, in.vdc, i, in.qd, in.vac, in.pd, in.daxis, 0, in.limprio, 1.0, 1.25,
                         in.pref, in.qref, 0.35, 60.0, 0.69, kVdcBase, kLConv, in.notch, 1.0, 0.15, 0.5, 0.01, 60.0,
                         1800.0, 1.0, 0.05, 1.1, 0.9, 0.5, 0.1, in.qreflim, 0.5, 0.05, 2.0, 0.05, 0.5, 0.01);
                RESETPTRS_OUT();
                place(false);
                POINTER_BLOCK.NTXFR = 8;
                Ctrl_DSO();
            });
            EXPECT_FALSE(c.aborted) << c.out;
            out += c.out;
        }
        return out;
    }
    static double slot(int32_t j) { return STORAGE.STOF(j); }
    static int32_t islot(int32_t j) { return STORAGE.STOI(j); }

    int32_t n_ = 0;
    double vref_[3] = {0.0, 0.0, 0.0};
};

TEST_F(CtrlAlone, BasesOfTheCase) {
    run(CtrlIn{});
    EXPECT_NEAR(slot(80), 0.56338293, 1e-15);
    EXPECT_NEAR(slot(84), 0.414164932354644, 1e-14);
    EXPECT_NEAR(slot(86), 0.05, 1e-14);
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(slot(95 + k), vref_[k]);
        EXPECT_EQ(slot(98 + k), vref_[k]);
        EXPECT_EQ(slot(151 + k), vref_[k]);
    }
}

struct EnableCase {
    const char* name;
    int32_t on;
    int32_t reset;
    double pi13_factor;
    bool pi12_error;
};
void PrintTo(const EnableCase& c, std::ostream* os) { *os << c.name; }


class CtrlEnable : public CtrlAlone, public testing::WithParamInterface<EnableCase> {};

// Slots 46, 48, 50: the errors of the AC voltage, reactive power and power
// loops; 162 the raw reactive power error; 161 the AC voltage error input.
TEST_P(CtrlEnable, GatesTheErrorsAndResets) {
    const EnableCase& e = GetParam();
    CtrlIn in;
    in.on = e.on;
    run(in, 3);
    for (const int32_t j : {7, 9, 11, 13, 15, 16, 17}) EXPECT_EQ(islot(j), e.reset) << j;
    EXPECT_DOUBLE_EQ(slot(48), e.pi13_factor * slot(162));
    EXPECT_DOUBLE_EQ(slot(46), e.pi13_factor * slot(161));
    EXPECT_EQ(slot(50), e.pi12_error ? slot(133) : 0.0);
    if (e.on == 0) {
        EXPECT_DOUBLE_EQ(slot(136), in.vdc / kVdcBase);
    }
}

INSTANTIATE_TEST_SUITE_P(Case, CtrlEnable,
                         testing::Values(EnableCase{"Off", 0, 1, 0.0, false}, EnableCase{"On", 1, 0, 1.0, true},
                                         EnableCase{"Two", 2, 0, 2.0, false}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(CtrlAlone, DAxisSelectorPicksTheDcVoltageOrThePowerLoop) {
    CtrlIn in;
    run(in, 5);
    EXPECT_EQ(slot(135), slot(53));
    EXPECT_NE(slot(53), slot(51));
    in.daxis = 1;
    run(in);
    EXPECT_EQ(slot(135), slot(51));
}

struct PriorityCase {
    const char* name;
    int32_t priority;
    bool id_root, iq_root;
};
void PrintTo(const PriorityCase& c, std::ostream* os) { *os << c.name; }


class CtrlPriority : public CtrlAlone, public testing::WithParamInterface<PriorityCase> {};

// Slots 119 IdLim, 118 its root; 125 IqLim, 124 its root; Imax 1.
TEST_P(CtrlPriority, LimitsTheCurrents) {
    const PriorityCase& p = GetParam();
    CtrlIn in;
    in.limprio = p.priority;
    run(in, 20);
    EXPECT_EQ(slot(119), p.id_root ? slot(118) : 1.0);
    EXPECT_EQ(slot(125), p.iq_root ? slot(124) : 1.0);
    EXPECT_EQ(slot(126), -slot(125));
    EXPECT_DOUBLE_EQ(slot(124), std::sqrt(1.0 - slot(135) * slot(135)));
}

INSTANTIATE_TEST_SUITE_P(Case, CtrlPriority,
                         testing::Values(PriorityCase{"Quadrature", 0, true, false},
                                         PriorityCase{"Direct", 1, false, true},
                                         PriorityCase{"Neither", 7, false, false}),
                         [](const auto& i) { return std::string(i.param.name); });

// Slots 108-110: the d-voltage type-4 output, notch output and the filtered
// value; 105-107 the same of q.
TEST_F(CtrlAlone, NotchOffTakesTheFirstStage) {
    CtrlIn in;
    in.notch = 0;
    run(in, 10);
    EXPECT_EQ(slot(110), slot(108));
    EXPECT_EQ(slot(107), slot(105));
    EXPECT_NE(slot(109), 0.0);
    in.notch = 1;
    run(in);
    EXPECT_EQ(slot(110), slot(109));
}

TEST_F(CtrlAlone, QRefLimitZeroClampsWithoutWarning) {
    CtrlIn in;
    in.qreflim = 0.0;
    EXPECT_EQ(run(in, 2).find("WARN"), std::string::npos);
    EXPECT_EQ(slot(164), 0.0);
}

TEST_F(CtrlAlone, NegativeQRefLimitWarnsOnceAndLeavesTheReference) {
    CtrlIn in;
    in.qreflim = -1.0;
    const std::string out = run(in, 3);
    EXPECT_EQ(slot(164), in.qref);
    const size_t at = out.find("740066637");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find("740066637", at + 1), std::string::npos) << out;
    EXPECT_NE(out.find("Lower limit is more than the upper limit, limits not enforced."), std::string::npos);
}

// No voltage, no current, no regulation: the references are all zero.
TEST_F(CtrlAlone, ZeroReferences) {
    CtrlIn in;
    in.on = 0;
    in.va = in.vb = in.vc = in.ia = in.ib = in.ic = 0.0;
    in.qd = in.pd = in.vac = 0.0;
    run(in, 2);
    EXPECT_EQ(slot(91), 0.0);
    EXPECT_EQ(slot(142), 0.0);
    EXPECT_EQ(slot(115), 0.0);
    EXPECT_EQ(slot(154), 0.0);
    double want = std::atan2(std::sin(3.0 * slot(143)), std::cos(3.0 * slot(143)));
    if (want <= 0.0) want += 6.283185307179586;
    EXPECT_EQ(slot(145), want);
    for (const double v : vref_) EXPECT_EQ(v, 0.0);
}

TEST_F(CtrlAlone, DcVoltageBelowTheLagFloor) {
    CtrlIn in;
    in.vdc = 0.01;
    run(in, 3);
    EXPECT_EQ(slot(87), 0.1);
    EXPECT_GT(slot(115), 1.15);
    EXPECT_EQ(slot(92), 1.15);
}

}  // namespace
