// The transformer routines that component models and case modules call.
// k is a transformer's number in the map file's "TRANSFORMERS:" section.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/fortran_array.h"

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

// Gamma (1/H) of an ideal transformer of n windings into g (cleared over
// its whole extent): leakages x in the pair order (i, j), i < j, at
// (j-1)(j-2)/2 + i, rated power s, frequency f, winding voltages v. 1 when
// the leakages give no inverse (g is then all zeros), else 0.
int32_t XFMR_MATRIX(int32_t n, double f, double s, const double* x, const double* v, FArray2<double>& g);

// Conventional transformers and auto-transformers. ideal = 1 gives the
// leakage-only form, any other value the form with magnetising inductances.
// AUTO_TF_2WDG alone also leaves two run-time constants at NRTCF (V_HV/S
// and omega/V_HV) that no library routine reads in the per-step pass: the
// module that calls it in its dynamic-begin routine passes over them in
// its dynamic routine at the same place (two next_rtcf reads), or the
// pointer checks stop the run.
void TF_2WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& pcu, double& v1, double& v2,
             double& im);
void AUTO_TF_2WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& xhl, double& pcu, double& vhv,
                  double& vlv, double& im);
void TF_3WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x23, double& pcu,
             double& v1, double& v2, double& v3, double& im);
void TF_3WDG_CU(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x23,
                double& p12, double& p13, double& p23, double& v1, double& v2, double& v3, double& im);
void AUTO_TF_3WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& xhl, double& xht, double& xlt,
                  double& unused, double& vhv, double& vlv, double& vt, double& im);
void TF_4WDG(int32_t& k, double& s, double& f, double& x12, double& x13, double& x14, double& x23, double& x24,
             double& x34, double& pcu, double& v1, double& v2, double& v3, double& v4, double& im);
void TF_4WDG_2(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x14, double& x23,
               double& x24, double& x34, double& pcu, double& v1, double& v2, double& v3, double& v4, double& im);
void TF_4WDG_3(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x14, double& x23,
               double& x24, double& x34, double& r1, double& r2, double& r3, double& r4, double& v1, double& v2,
               double& v3, double& v4, double& im);

// Transformers of n windings: leakages x (pair order), per-unit winding
// resistances p and voltages v as vectors of the caller; or the winding
// data read from a transformer data file, for up to three transformers
// (k2, k3 = 0: none).
void TF_NWDG(int32_t& k, int32_t& n, double& s, double& f, const double* x, const double* p, const double* v);
void N_WDG_TF_CFG(int32_t& k1, int32_t& k2, int32_t& k3, int32_t& form, int32_t& n, double& f, double& s,
                  const double* v, std::string_view file);

// Three (six: two groups of three) mutually coupled R-L branches, the
// matrices passed to TRANSFORMER in the given form as they are.
void MUT3PH(int32_t& k, int32_t& form, double& rs, double& xs, double& rm, double& xm);
void MUT6PH(int32_t& k, int32_t& form, double& r1s, double& x1s, double& r1m, double& x1m, double& r2s,
            double& x2s, double& r2m, double& x2m, double& r12, double& x12);
