// A short three-phase line as one coupled pi section: the branch values
// from sequence data.
#pragma once

#include <cstdint>

// Self and mutual R and L of the phases, capacitance to ground and mutual
// capacitance at each end (microfarads), and the flags of the terms present.
void PI_SECTION(int32_t& mode, int32_t& self_form, int32_t& zero_form, double& v, double& mva, double& f,
                double& length, double& a1, double& b1, double& c1, double& a0, double& b0, double& c0, double& rs,
                double& ls, double& cm, double& rm, double& lm, double& cg, int32_t& mutual_rl, int32_t& no_lm,
                int32_t& has_cg, int32_t& has_cm);
// One third of the zero-sequence section values, from data or estimated.
void PI_SECTION2(int32_t& mode, int32_t& estimate, double& d3, double& d4, double& d5, double& d6, double& d7,
                 double& d8, double& d9, double& d10, double& d11, double& d12, double& r, double& l, double& c,
                 int32_t& has_c);
