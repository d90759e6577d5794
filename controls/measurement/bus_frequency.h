// Bus meters of a three-phase voltage set: frequency from the instants the
// phases cross zero, the bus voltage from the rectified envelope, a report
// of zero-sequence unbalance above 5 %; and a filtered peak-voltage meter.
#pragma once

#include <cstdint>

// Seven RTCF: VR, w0, T, h, h/T, h*w0, 1/VR (h = max(DELT, 1 ms)).
void FWAV22_SETUP(double VR, double F, double T);
// 7 RTCF, 15 STORF, 7 STORI. FOUT in rad/s, DW = T*(slow estimate - w0),
// VPU the envelope estimate over VR.
void FWAV22(const double V[3], double& FOUT, double& DW, double& VPU);
// The older one-routine form; 22 STOR. WO in rad/s, VOUT in volts.
void FWAV22_STOR(double VA, double VB, double VC, double VR, double WO, double TS, double& FHZ, double& W,
                 double& DW, double& VOUT);
// The largest of the line and phase voltage magnitudes in per unit of the
// line base, through band-stop and low-pass filters; 35 STOR.
void PEAK_VOLT_3PH(int32_t N1, int32_t N2, int32_t N3, int32_t SS, double SEL, double VBASE, double W, double& OUT);
