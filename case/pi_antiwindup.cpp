#include "case/pi_antiwindup.h"

#include "case/module_frame.h"
#include "controls/interpolating/integrator_body.h"
#include "controls/limit_value.h"
#include "engine/abort.h"

namespace {

constexpr ModuleCounts kPi{.stoi = 3, .stof = 18};

// Inline in each member, whose names are then constants.
[[gnu::always_inline]] inline void pi_dsd(const PiMember& m, double ErrIn, double& PiOut, int32_t IntHold,
                                          int32_t IntReset, double Kp, double Ti, double Kaw, double UpperLim,
                                          double LowerLim) {
    ModuleFrame f(m.dsd, m.data_file, Pass::DSD, kPi);
    const double prev_lim_diff = f.stof(15);

    const int32_t ResetFree = IntReset == 0 ? 1 : 0;
    const double ErrGated = ErrIn * ResetFree;
    const double PropOut = Kp * ErrGated;
    const double AwFeedback = Kaw * prev_lim_diff;
    const double ErrAw = ErrIn + AwFeedback;
    const double IntIn = IntHold == f.next_rtci() ? 0.0 : ErrAw;
    const double initial = f.next_rtcf();
    const double IntOut = integrator_ip(0, 0, 1, initial, Ti, 0.0, LowerLim, UpperLim,
                                        INTERP_PAIR{static_cast<double>(IntReset), 0.0}, INTERP_PAIR{IntIn, 0.0});
    const double SumOut = PropOut + IntOut;

    double out = SumOut;
    Logical& warned = f.next_storl();
    if (UpperLim >= LowerLim) {
        out = LIMIT_VALUE(LowerLim, UpperLim, SumOut);
    } else if (!is_true(warned)) {
        USERWARN(f.instance(), m.component_id, 1, "Lower limit is more than the upper limit, limits not enforced.");
        warned = LTRUE;
    }
    const double LimDiff = out - SumOut;

    f.put_stof<1, 18>(ErrIn, f.stof(2), Kp, Ti, Kaw, UpperLim, LowerLim, SumOut, out, IntOut, PropOut, ErrGated, IntIn,
                      LimDiff, LimDiff, AwFeedback, ErrAw, 0.0);
    f.stoi(1) = IntHold;
    f.stoi(2) = IntReset;
    f.stoi(3) = ResetFree;
    PiOut = out;
    f.leave();
}

// Inline in each member too: its names constant, nothing of the member is
// loaded on the common path.
[[gnu::always_inline]] inline void pi_dso(const PiMember& m) {
    ModuleFrame f(m.dso, m.data_file, Pass::DSO, kPi);
    f.stof(18) = 0.0;
    f.leave();
}

}  // namespace

void PI_ANTIWINDUP_DSD(const PiMember& m, double ErrIn, double& PiOut, int32_t IntHold, int32_t IntReset, double Kp,
                       double Ti, double Kaw, double UpperLim, double LowerLim) {
    pi_dsd(m, ErrIn, PiOut, IntHold, IntReset, Kp, Ti, Kaw, UpperLim, LowerLim);
}

void PI_ANTIWINDUP_DSO(const PiMember& m) { pi_dso(m); }

void PI_ANTIWINDUP_DSD_BEGIN(const PiMember& m) {
    ModuleFrame f(m.dsd_begin, "", Pass::DSD_BEGIN, kPi);
    f.put_rtci(1);
    f.put_rtcf(0.0);
}

void PI_ANTIWINDUP_DSO_BEGIN(const PiMember& m) { ModuleFrame f(m.dso_begin, "", Pass::DSO_BEGIN, kPi); }

#define ZARIK_PI_MEMBER(N, ID)                                                                                \
    namespace {                                                                                               \
    constexpr PiMember member_##N = {"PI_AntiWindUp_" #N "_DSD", "PI_AntiWindUp_" #N "_DSO",                      \
                                 "PI_AntiWindUp_" #N "_DSD_BEGIN", "PI_AntiWindUp_" #N "_DSO_BEGIN",          \
                                 "PI_AntiWindUp_" #N ".dta", ID};                                             \
    }                                                                                                         \
    void PI_AntiWindUp_##N##_DSD(double ErrIn, double& PiOut, int32_t IntHold, int32_t IntReset, double Kp,   \
                                 double Ti, double Kaw, double UpperLim, double LowerLim) {                   \
        pi_dsd(member_##N, ErrIn, PiOut, IntHold, IntReset, Kp, Ti, Kaw, UpperLim, LowerLim);                 \
    }                                                                                                         \
    void PI_AntiWindUp_##N##_DSO() { pi_dso(member_##N); }                                                      \
    void PI_AntiWindUp_##N##_DSD_BEGIN() { PI_ANTIWINDUP_DSD_BEGIN(member_##N); }                              \
    void PI_AntiWindUp_##N##_DSO_BEGIN() { PI_ANTIWINDUP_DSO_BEGIN(member_##N); }

ZARIK_PI_MEMBER(2, 511142169)
ZARIK_PI_MEMBER(11, 1600942489)
ZARIK_PI_MEMBER(12, 832092160)
ZARIK_PI_MEMBER(13, 2120201385)
ZARIK_PI_MEMBER(14, 51013671)
ZARIK_PI_MEMBER(15, 1508533691)
#undef ZARIK_PI_MEMBER
