#include "models/breakers/fault3.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/breakers/breaker.h"

namespace {

// Close commands of the branches A, B, C, AB, BC, CA.
std::array<int32_t, 6> commands(int32_t control, int32_t type) {
    // Phases A, B, C of each type; 0 and the types past 11 involve none.
    static constexpr bool kPhases[12][3] = {{false, false, false}, {true, false, false}, {false, true, false},
                                            {false, false, true},  {true, true, false},  {true, false, true},
                                            {false, true, true},   {true, true, true},   {true, true, false},
                                            {true, false, true},   {false, true, true},  {true, true, true}};
    std::array<int32_t, 6> c{};
    if (control != 1 || type < 1 || type > 11) return c;
    const bool A = kPhases[type][0], B = kPhases[type][1], C = kPhases[type][2];
    if (type <= 7) {
        c[0] = A;
        c[1] = B;
        c[2] = C;
    } else {
        c[3] = A && B;
        c[4] = B && C;
        c[5] = C && A;
    }
    return c;
}

template <typename Breaker>
void drive(int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, int32_t control, int32_t type,
           Breaker&& breaker) {
    const std::array<int32_t, 6> branch{a, b, c, ab, bc, ca};
    const std::array<int32_t, 6> close = commands(control, type);
    for (int k = 0; k < 6; ++k) breaker(branch[k], close[k]);
}

}  // namespace

void FAULT3_INIT(double roff, double chop) {
    PointerBlock& P = POINTER_BLOCK;
    STORAGE.RTCF(P.NRTCF) = roff;
    STORAGE.RTCF(P.NRTCF + 1) = chop;
    P.NRTCF += 2;
}

void FAULT3(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, int32_t at_once,
            int32_t control, int32_t type, double ron) {
    PointerBlock& P = POINTER_BLOCK;
    const double roff = STORAGE.RTCF(P.NRTCF), chop = STORAGE.RTCF(P.NRTCF + 1);
    P.NRTCF += 2;
    const double on = std::min(ron, 0.01 * roff);
    drive(ab, bc, ca, a, b, c, control, type,
          [&](int32_t br, int32_t close) { BREAKER(ss, br, on, roff, chop, at_once, close); });
}

void FAULT3_DIRECT(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, int32_t at_once,
                   int32_t control, int32_t type, double chop, double ron, double roff) {
    drive(ab, bc, ca, a, b, c, control, type,
          [&](int32_t br, int32_t close) { BREAKER(ss, br, ron, roff, chop, at_once, close); });
}

void FAULT3_SAFETY(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, double ron,
                   double roff, int32_t at_once, int32_t control, int32_t type) {
    drive(ab, bc, ca, a, b, c, control, type,
          [&](int32_t br, int32_t close) { BREAKER_SAFETY(ss, br, ron, roff, at_once, close); });
}
