#include "controls/second_order/second_order.h"

#include <cstdint>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/second_order/second_order_body.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "platform/text_units.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

using namespace second_order_detail;

void second_order_detail::report_type(int32_t type, const char* should_be) {
    write_list(UNIT_CONSOLE_OUT, {"VALUE OF ITYPE IS", type});
    write_list(UNIT_CONSOLE_OUT, {should_be});
}

void SECOND_ORDER_STEP(double* state, const double* x0, const double* A, const double* bx, int32_t mode) {
    second_order_step(state, x0, A, bx, mode);
}

double SECOND_ORDER_FIX(int32_t ITYPE, double G, double zeta, double w, double X) {
    const BlockSlots s = take_slots({.stor = 2});
    if (first_step_data()) {
        s.S(0) = w * w;
        s.S(1) = w * zeta * 2.0;
    }
    const double a0 = s.S(0), a1 = s.S(1);
    const Numerator n = numerator(ITYPE, w, a0, "SHUD BE TWEEN 1 AND 9");
    return run_body(realise(a0, a1, n), G, n.d, X, 0);
}

double SECOND_ORDER_VAR(int32_t ITYPE, double G, double zeta, double w, double X) {
    return second_order_var(ITYPE, G, zeta, w, X);
}

void SECOND_ORDER_RTC(int32_t ITYPE, double G, double zeta, double f) {
    const double w = kTwoPi * f, a0 = w * w, a1 = zeta * 2.0 * w;
    if (zeta < 0.0) USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Negative Damping yields unstable response");
    const Numerator n = numerator(ITYPE, w, a0, kShouldBe);
    const Realisation r = realise(a0, a1, n);
    store_constants({a0, a1, r.beta1, r.beta2, G, n.d});
}

void SECOND_ORDER_RTC_RUN(double X, double& Y) {
    const BlockSlots s = take_slots({.rtcf = 6});
    const double beta1 = s.RF(2), beta2 = s.RF(3);
    const Realisation r{{0.0, 1.0, -s.RF(0), -s.RF(1)}, beta1, beta2};
    Y = run_body(r, s.RF(4), s.RF(5), X, 0);
}
