// The PI regulator with output limits and back-calculation anti-windup,
// one implementation behind the six named members of the family.
#pragma once

#include <cstdint>
#include <string_view>

struct PiMember {
    std::string_view dsd;   // routine names of the four kinds
    std::string_view dso;
    std::string_view dsd_begin;
    std::string_view dso_begin;
    std::string_view data_file;
    int32_t component_id;
};

void PI_ANTIWINDUP_DSD(const PiMember& m, double ErrIn, double& PiOut, int32_t IntHold, int32_t IntReset, double Kp,
                       double Ti, double Kaw, double UpperLim, double LowerLim);
void PI_ANTIWINDUP_DSO(const PiMember& m);
void PI_ANTIWINDUP_DSD_BEGIN(const PiMember& m);
void PI_ANTIWINDUP_DSO_BEGIN(const PiMember& m);

#define ZARIK_PI_MEMBER(N)                                                                                    \
    void PI_AntiWindUp_##N##_DSD(double ErrIn, double& PiOut, int32_t IntHold, int32_t IntReset, double Kp,   \
                                 double Ti, double Kaw, double UpperLim, double LowerLim);                    \
    void PI_AntiWindUp_##N##_DSO();                                                                           \
    void PI_AntiWindUp_##N##_DSD_BEGIN();                                                                     \
    void PI_AntiWindUp_##N##_DSO_BEGIN();
ZARIK_PI_MEMBER(2)
ZARIK_PI_MEMBER(11)
ZARIK_PI_MEMBER(12)
ZARIK_PI_MEMBER(13)
ZARIK_PI_MEMBER(14)
ZARIK_PI_MEMBER(15)
#undef ZARIK_PI_MEMBER
