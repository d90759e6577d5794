// Second-order blocks against the bilinear discretisation of their transfer
// functions, the notch, bad types and their slots.
#include "controls/second_order/second_order.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/second_order/second_order_body.h"
#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;

constexpr double kPi = 3.141592653589793;

std::vector<DisciplineRow> second_order_rows() {
    std::vector<DisciplineRow> rows;
    // A running filter: every slot of the block in use.
    const auto held = [](int32_t stor, int32_t rtcf) {
        return std::vector<SlotState>{{"held", {}, std::vector<double>(stor, 0.25), std::vector<double>(rtcf, 0.5)}};
    };
    const auto quiet = [](const std::function<void()>& f) { capture(f); };
    add_flag_rows(rows, "SECOND_ORDER_FIX", {.stor = 14}, 1, held(14, 0), [quiet](const FlagSet& f, size_t) {
        quiet([&] { SECOND_ORDER_FIX(f[0], 1.0, 0.7, 100.0, 1.0); });
    });
    add_flag_rows(rows, "SECOND_ORDER_VAR", {.stor = 12}, 1, held(12, 0), [quiet](const FlagSet& f, size_t) {
        quiet([&] { SECOND_ORDER_VAR(f[0], 1.0, 0.7, 100.0, 1.0); });
    });
    add_flag_rows(rows, "SECOND_ORDER_RTC", {.rtcf = 6}, 1, held(0, 0), [quiet](const FlagSet& f, size_t) {
        quiet([&] { SECOND_ORDER_RTC(f[0], 1.0, 0.7, 100.0); });
    });
    add_flag_rows(rows, "SECOND_ORDER_RTC_RUN", {.stor = 12, .rtcf = 6}, 0, held(12, 6), [](const FlagSet&, size_t) {
        double y;
        SECOND_ORDER_RTC_RUN(1.0, y);
    });
    for (int32_t mode : {-1, 0, 1, 2})
        rows.push_back({"SECOND_ORDER_STEP_mode" + std::string(mode < 0 ? "Minus1" : std::to_string(mode)),
                        {.stor = 12}, [mode] {
                            const double x0[2] = {0, 0}, A[4] = {0, 1, -4, -2}, bx[2] = {1, 2};
                            double x[2];
                            SECOND_ORDER_STEP(x, x0, A, bx, mode);
                        }});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(SecondOrder, SlotDiscipline, ValuesIn(second_order_rows()), discipline_row_name);

// G*N(s)/(s^2 + 2 zeta w s + w^2) with s = (2/h)(z - 1)/(z + 1), run from
// rest with every earlier input 0.
std::vector<double> bilinear(int type, double G, double zeta, double w, double h, const std::vector<double>& x) {
    static const double table[10][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0},  {1, 0, 0},  {0, 1, 1},
                                        {1, 0, 1}, {1, 1, 0}, {0, -1, 1}, {-1, 0, 1}, {-1, 1, 0}};
    const double d = table[type][0], b = table[type][1] * w, c = table[type][2] * w * w;
    const double K = 2.0 / h, K2 = K * K, a1 = 2.0 * zeta * w, a0 = w * w;
    const double n0 = d * K2 + b * K + c, n1 = 2.0 * (c - d * K2), n2 = d * K2 - b * K + c;
    const double D0 = K2 + a1 * K + a0, D1 = 2.0 * (a0 - K2), D2 = K2 - a1 * K + a0;
    std::vector<double> y(x.size());
    const auto at = [](const std::vector<double>& v, long k) { return k < 0 ? 0.0 : v[static_cast<size_t>(k)]; };
    for (long k = 0; k < static_cast<long>(x.size()); ++k)
        y[static_cast<size_t>(k)] =
            (G * (n0 * at(x, k) + n1 * at(x, k - 1) + n2 * at(x, k - 2)) - D1 * at(y, k - 1) - D2 * at(y, k - 2)) /
            D0;
    return y;
}

enum class Member { fix, var, rtc };
const char* member_name(Member m) { return m == Member::fix ? "Fix" : m == Member::var ? "Var" : "Rtc"; }

// The member's outputs for the inputs x, one call per step.
std::vector<double> run_member(Member m, int type, double G, double zeta, double w, const std::vector<double>& x) {
    const auto input = [&](int step) { return x[static_cast<size_t>(step - 1)]; };
    const int steps = static_cast<int>(x.size());
    if (m == Member::rtc) {
        return run_module(steps, [&] { SECOND_ORDER_RTC(type, G, zeta, w / (2.0 * kPi)); },
                          [&](int step) {
                              double y;
                              SECOND_ORDER_RTC_RUN(input(step), y);
                              return y;
                          })
            .out;
    }
    return outputs(steps, [&](int step) {
        return m == Member::fix ? SECOND_ORDER_FIX(type, G, zeta, w, input(step))
                                : SECOND_ORDER_VAR(type, G, zeta, w, input(step));
    });
}

struct Response {
    Member member;
    int type;
    bool sine;
};
std::string response_name(const Response& r) {
    return std::string(member_name(r.member)) + "Type" + std::to_string(r.type) + (r.sine ? "Sine" : "Step");
}
void PrintTo(const Response& r, std::ostream* os) { *os << response_name(r); }

class SecondOrderResponse : public BlockTest, public ::testing::WithParamInterface<Response> {};

TEST_P(SecondOrderResponse, IsTheBilinearTransferFunction) {
    const Response& r = GetParam();
    const double G = 1.5, zeta = 0.4, w = 2.0 * kPi * 300.0;
    std::vector<double> x(400, 1.0);
    if (r.sine)
        for (size_t k = 0; k < x.size(); ++k) x[k] = std::sin(2.0 * kPi * 170.0 * kDelt * static_cast<double>(k));
    const std::vector<double> got = run_member(r.member, r.type, G, zeta, w, x);
    const std::vector<double> want = bilinear(r.type, G, zeta, w, kDelt, x);
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < got.size(); ++k)
        ASSERT_NEAR(got[k], want[k], 1e-12 * std::max(1.0, std::fabs(want[k]))) << "step " << k;
}

std::vector<Response> responses() {
    std::vector<Response> v;
    for (Member m : {Member::fix, Member::var, Member::rtc})
        for (int type = 1; type <= 9; ++type)
            for (bool sine : {false, true}) v.push_back({m, type, sine});
    return v;
}

INSTANTIATE_TEST_SUITE_P(EveryMemberAndType, SecondOrderResponse, ValuesIn(responses()),
                         [](const auto& info) { return response_name(info.param); });

TEST_F(BlockTest, LowPassPlusBandPassStepResponseStartsAtItsKnownValues) {
    const std::vector<double> y = run_member(Member::var, 4, 1.0, 0.9, 2.0 * kPi * 600.0, std::vector<double>(3, 1.0));
    EXPECT_NEAR(y[0], 0.08750777828684778, 1e-15);
    EXPECT_NEAR(y[1], 0.24976623849857585, 1e-15);
    EXPECT_NEAR(y[2], 0.38792960263137927, 1e-15);
}

TEST_F(BlockTest, NotchRejectsItsPrewarpedFrequency) {
    const double w = 2.0 * kPi * 600.0, rejected = 2.0 / kDelt * std::atan(w * kDelt / 2.0);
    std::vector<double> x(6000);
    for (size_t k = 0; k < x.size(); ++k) x[k] = std::sin(rejected * kDelt * static_cast<double>(k));
    const std::vector<double> y = run_member(Member::var, 5, 1.0, 0.9, w, x);
    for (size_t k = 4000; k < y.size(); ++k) ASSERT_LT(std::fabs(y[k]), 1e-9) << k;
}

TEST_F(BlockTest, FixKeepsItsFirstDenominatorWhileTheBandPassFollowsW) {
    // Band-pass w(s)/(s^2 + a1 s + a0): the state follows the first
    // denominator, the input vector the present w.
    const double w0 = 1000.0, w1 = 3000.0;
    const std::vector<double> fix = outputs(300, [&](int step) { return SECOND_ORDER_FIX(2, 1.0, 0.5, step == 1 ? w0 : w1, 1.0); });
    std::vector<double> x(300, w1 / w0);
    x[0] = 1.0;
    // Inputs scaled by w1/w0 after the first step, through the w0 filter.
    const std::vector<double> want = bilinear(2, 1.0, 0.5, w0, kDelt, x);
    for (size_t k = 0; k < fix.size(); ++k) ASSERT_NEAR(fix[k], want[k], 1e-12) << k;
}

TEST_F(BlockTest, BadTypePrintsTwoLinesEveryCallAndGivesZero) {
    struct Case {
        Member m;
        const char* second;
    };
    for (const Case& c : {Case{Member::fix, " SHUD BE TWEEN 1 AND 9\n"}, Case{Member::var, " SHOULD BE BETWEEN 1 AND 9\n"}}) {
        ModuleRun r = run_module(3, nullptr, [&](int) {
            return c.m == Member::fix ? SECOND_ORDER_FIX(10, 1.0, 0.5, 100.0, 1.0)
                                      : SECOND_ORDER_VAR(0, 1.0, 0.5, 100.0, 1.0);
        });
        const std::string value = c.m == Member::fix ? "          10\n" : "           0\n";
        std::string want;
        for (int k = 0; k < 3; ++k) want += " VALUE OF ITYPE IS" + value + c.second;
        EXPECT_EQ(r.console.out, want) << member_name(c.m);
        EXPECT_EQ(r.out, std::vector<double>(3, 0.0));
    }
    ModuleRun r = run_module(3, [] { SECOND_ORDER_RTC(0, 1.0, 0.5, 50.0); }, [](int) {
        double y = 1.0;
        SECOND_ORDER_RTC_RUN(1.0, y);
        return y;
    });
    EXPECT_EQ(r.console.out, " VALUE OF ITYPE IS           0\n SHOULD BE BETWEEN 1 AND 9\n");
    EXPECT_EQ(r.out, std::vector<double>(3, 0.0));
}

// The eight words a step with A leaves in its slots, to the bit: h/2 times
// the inverse of (I - h/2 A) times A, then that inverse.
void expect_kept_words(const double* A, int call) {
    const double h2 = 0.5 * kDelt;
    const double m11 = 1.0 - h2 * A[0], m12 = -h2 * A[1], m21 = -h2 * A[2], m22 = 1.0 - h2 * A[3];
    const double det = m11 * m22 - m12 * m21;
    const double inv[4] = {m22 / det, -m12 / det, -m21 / det, m11 / det};
    const double want[8] = {h2 * (inv[0] * A[0] + inv[1] * A[2]), h2 * (inv[0] * A[1] + inv[1] * A[3]),
                            h2 * (inv[2] * A[0] + inv[3] * A[2]), h2 * (inv[2] * A[1] + inv[3] * A[3]),
                            inv[0], inv[1], inv[2], inv[3]};
    const BlockSlots s = start_slots();
    for (int32_t k = 0; k < 8; ++k)
        EXPECT_EQ(std::bit_cast<uint64_t>(s.S(k)), std::bit_cast<uint64_t>(want[k])) << "slot " << k << ", call " << call;
}

// The step's slots hold the inverse of the present matrix after every call,
// to the bit, whether the matrix changed, stayed, or its slots were written
// over between calls (a restored run).
TEST_F(BlockTest, StepSlotsHoldTheInverseOfThePresentMatrix) {
    clear_block_stores();
    const double A1[4] = {0.0, 1.0, -4e6, -2e3}, A2[4] = {0.0, 1.0, -9e6, -1e3};
    const double x0[2] = {0.0, 0.0}, bx[2] = {1.0, 2.0};
    const double* sequence[] = {A1, A1, A2, A2, nullptr, A2, A1, A1};
    int n = 0;
    for (const double* A : sequence) {
        if (A == nullptr) {
            for (int32_t k = 0; k < 8; ++k) start_slots().S(k) = 0.5 + k;
            continue;
        }
        begin_step(n++);
        double x[2];
        SECOND_ORDER_STEP(x, x0, A, bx, 1);
        expect_kept_words(A, n);
    }
}

// The companion form (first row of A fixed at 0, 1) and the plain step on
// the same slots, in turn: neither takes the other's kept inversion for its
// own, even where the rest of A is the same.
TEST_F(BlockTest, CompanionAndPlainStepsOnTheSameSlotsKeepTheirOwnInverses) {
    clear_block_stores();
    const double w = 2000.0, zeta = 0.5, a0 = w * w, a1 = w * zeta * 2.0;
    const double companion[4] = {0.0, 1.0, -a0, -a1}, plain[4] = {0.5, 1.0, -a0, -a1};
    const double shifted[4] = {0.0, 2.0, -a0, -a1};
    const double x0[2] = {0.0, 0.0}, bx[2] = {1.0, 2.0};
    const double* sequence[] = {companion, plain, companion, companion, plain, shifted, companion, plain};
    int n = 0;
    for (const double* A : sequence) {
        begin_step(n++);
        double x[2];
        if (A == companion) {
            second_order_var(1, 1.0, zeta, w, 1.0);
        } else {
            SECOND_ORDER_STEP(x, x0, A, bx, 1);
        }
        expect_kept_words(A, n);
    }
}

TEST_F(BlockTest, NegativeDampingIsWarnedOnceAtSetUpAndGrows) {
    ModuleRun r = run_module(2000, [] { SECOND_ORDER_RTC(1, 1.0, -0.1, 50.0); }, [](int) {
        double y;
        SECOND_ORDER_RTC_RUN(1.0, y);
        return y;
    });
    EXPECT_EQ(r.console.out, " ***WARN*** Negative Damping yields unstable response\n");
    EXPECT_GT(std::fabs(r.out.back() - 1.0), 1.0);
}

}  // namespace
