// The whole case through the program for its full 2 s, printed every
// step: the identities between its channels at every step, and the
// physics of the run.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "case/tests/case_support.h"

namespace {

constexpr double kDt = 50e-6, kVdcBase = 1.25196142408918;
// The converter's rated current, 0.35 MVA at 0.69 kV.
const double kBridgeRating = 0.35 / (std::sqrt(3.0) * 0.69);

// The case in f, with a record of the channels at every step.
ProgramResult run_every_step(const CaseFolder& f) {
    f.edit("station.map", "PRINT_STEP = 1.0E-3", "PRINT_STEP = 50.0E-6");
    return f.run();
}

// The largest bridge phase current (channels 101-103) from the enable on.
double bridge_current_after_enable(const Rows& rows) {
    double most = 0.0;
    for (size_t n = static_cast<size_t>(std::lround(0.1 / kDt)); n < rows.size(); ++n)
        for (const int32_t c : {101, 102, 103}) most = std::max(most, std::fabs(rows[n][c]));
    return most;
}

class WholeCase : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new CaseFolder;
        const ProgramResult r = run_every_step(*folder_);
        exit_code_ = r.exit_code;
        out_ = r.out;
        rows_ = new Rows(read_channels(*folder_));
    }
    static void TearDownTestSuite() {
        delete rows_;
        delete folder_;
    }
    static const Rows& rows() { return *rows_; }
    static size_t at(double t) { return static_cast<size_t>(std::lround(t / kDt)); }

    static inline CaseFolder* folder_ = nullptr;
    static inline Rows* rows_ = nullptr;
    static inline int exit_code_ = -1;
    static inline std::string out_;
};

bool near(double a, double b, double rel) { return std::fabs(a - b) <= rel * std::max({std::fabs(a), std::fabs(b), 1e-12}); }

TEST_F(WholeCase, RunsEveryStepWithAllChannels) {
    EXPECT_EQ(exit_code_, 0) << out_;
    EXPECT_EQ(out_.find("WARN"), std::string::npos) << out_;
    ASSERT_EQ(rows().size(), 40001u);
    for (const auto& r : rows()) ASSERT_EQ(r.size(), 107u);
}

struct Same {
    int32_t a, b;
    double factor;
};

TEST_F(WholeCase, IdentitiesAtEveryStep) {
    ASSERT_EQ(rows().size(), 40001u);
    const Same same[] = {{5, 6, 1},    {2, 16, 1},    {10, 51, 1},   {40, 97, 1},  {41, 98, 1},  {42, 99, 1},
                         {45, 53, 1},  {46, 54, 1},   {47, 55, 1},   {48, 56, 1},  {49, 57, 1},  {50, 58, 1},
                         {100, 97, 1}, {104, 98, 1},  {105, 99, 1},  {63, 85, 1},  {13, 24, 1000}};
    double soc = 90.0, i_prev2 = 0.0, i_prev1 = 0.0;
    for (size_t n = 0; n < rows().size(); ++n) {
        const auto& r = rows()[n];
        for (const Same& s : same) ASSERT_TRUE(near(r[s.a], s.factor * r[s.b], 1e-9)) << s.a << " step " << n;
        ASSERT_NEAR(r[14], 1000.0 * r[26], 1e-9) << n;
        ASSERT_TRUE(near(r[18], 100.0, 1e-12)) << n;
        ASSERT_TRUE(r[96] == 0.0 || r[96] == 1.0) << n;
        for (const int32_t c : {29, 32}) ASSERT_TRUE(r[c] >= 0.0 && r[c] <= kDt) << c << " step " << n;
        if (n > 0) {
            ASSERT_TRUE(near(r[85], rows()[n - 1][51] / kVdcBase, 1e-9)) << n;
            soc -= 100.0 * kDt * (i_prev2 + i_prev1) / (2.0 * 3600.0 * 0.0167);
        }
        ASSERT_NEAR(r[16], soc, 1e-9) << n;
        i_prev2 = i_prev1;
        i_prev1 = r[14] / 1000.0;
    }
}

// The DC voltage reference ramp: a first-order lag of 0.2 s towards ch 59.
TEST_F(WholeCase, DcReferenceRampsExponentially) {
    const double x = rows()[at(1.0)][59];
    for (const auto& [t1, t2] : {std::pair{0.15, 0.3}, std::pair{0.2, 0.9}, std::pair{0.5, 1.7}}) {
        const double want = x + (rows()[at(t1)][86] - x) * std::exp(-(t2 - t1) / 0.2);
        EXPECT_TRUE(near(rows()[at(t2)][86], want, 1e-9)) << t1 << " " << t2;
    }
}

TEST_F(WholeCase, StartsTheControlThenTheDcDcConverter) {
    for (size_t n = 0; n < at(0.4); ++n) {
        ASSERT_EQ(rows()[n][33], 0.0) << n;
        ASSERT_EQ(rows()[n][34], 0.0) << n;
    }
    EXPECT_EQ(rows()[at(0.4) + 1][33], 1.0);
}

// From 1.5 s: the DC link at its reference, the battery at its power
// order, no reactive power at the converter (QRef 0); on average the link
// and the battery's power within 0.1 %.
TEST_F(WholeCase, SettlesAtItsOrders) {
    double vdc = 0.0, battery = 0.0;
    for (size_t n = at(1.5); n < rows().size(); ++n) {
        const auto& r = rows()[n];
        ASSERT_NEAR(r[51], 1.25, 0.0125) << n;
        ASSERT_NEAR(r[22], 100.0, 2.0) << n;
        ASSERT_NEAR(r[36], 0.0, 0.01) << n;
        vdc += r[10];
        battery += r[15];
    }
    const double count = static_cast<double>(rows().size() - at(1.5));
    EXPECT_NEAR(vdc / count, 1.25, 0.00125);
    EXPECT_NEAR(battery / count, 0.1, 0.0001);
}

// The bridge's AC voltage follows its DC link, so its enable drives no
// current round through its diodes.
TEST_F(WholeCase, BridgeCurrentStaysWithinItsRating) {
    EXPECT_LT(bridge_current_after_enable(rows()), kBridgeRating);
}

TEST(WholeCaseLowSource, BridgeCurrentStaysWithinItsRating) {
    const CaseFolder f;
    f.edit("station.map", " 8 1.0  ! VsrcPu", " 8 0.9  ! VsrcPu");
    const ProgramResult r = run_every_step(f);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_LT(bridge_current_after_enable(read_channels(f)), kBridgeRating);
}

}  // namespace
