// The transformer routines that component models and case modules call.
// k is a transformer's number in the map file's "TRANSFORMERS:" section.
#pragma once

#include <cstdint>

// The companion model of transformer k from the input arrays, form 1 (R
// and inverse inductances in XF_RLIN), 2 (R and inductances in XF_RLIN)
// or 3 (magnetic circuit in XF_UMWDG and XF_UMCORE); adds the change of
// its conductances into the network.
void TRANSFORMER(int32_t& k, int32_t& form);

// Magnetic-circuit transformer models: ratings, core ratios and the
// per-unit B-H curve written into XF_UMCORE by the caller.
void UMEC_TF_3P2W(int32_t& k, int32_t& core_type, double& s, double& f, double& x, double& v1, double& v2,
                  double& im, double& lr, double& a, double& lr2, double& a2);
void UMEC_TF_2WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& im, double& a,
                  double& lr);
void UMEC_TF_3WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& v3, double& im,
                  double& a, double& lr);
void UMEC_TF_3WDG_2(int32_t& k, double& s, double& f, double& x12, double& x13, double& x23, double& v1, double& v2,
                    double& v3, double& im, double& a, double& lr);
void UMEC_TF_4WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& v3, double& v4,
                  double& im, double& a, double& lr);

// The core's branch fluxes into STOR after NEXC (19 words).
void XFMR_OUT(int32_t& k);
// Saturation enable ramps over half a cycle of f: one call per step, or a
// set-up call and a per-step call.
void XFMR_RAMP(int32_t& state, int32_t& k, double& f);
void XFMR_RAMPSET(double& f);
void XFMR_RAMPRUN(int32_t& state, int32_t& k);

// Curve look-ups of transformer k's core: the MMF f of a branch of area a
// and length l carrying flux phi, and the flux of a branch with MMF f;
// both set the segment flag seg and the permeance p.
void XFMR_HBLOOK(int32_t k, double phi, double& f, int32_t& seg, double a, double l, double& p);
void XFMR_BHLOOK(int32_t k, double f, double& phi, int32_t& seg, double a, double l, double& p);
