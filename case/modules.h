// The routines of the case's modules below Station, in tree order. Inputs
// are passed by value, so that a call with dozens of them passes each in
// one move rather than through a value stored for it and its address;
// outputs by reference.
#pragma once

#include <cstdint>

using CR = double;
using CI = int32_t;

void Main_DSD();
void Main_DSO();
void Main_DSD_BEGIN();
void Main_DSO_BEGIN();

void Graphs_and_Controls_DSD();
void Graphs_and_Controls_DSO();
void Graphs_and_Controls_DSD_BEGIN();
void Graphs_and_Controls_DSO_BEGIN();

void Battery_DSD(double& BattSoc);
void Battery_DSO();
void Battery_DSD_BEGIN();
void Battery_DSO_BEGIN();

void DC_DC_Bi_DSD(CR BattSoc, CI DcEnable, CR VdcNom, CR PowerOrder);
void DC_DC_Bi_DSO();
void DC_DC_Bi_DSD_BEGIN();
void DC_DC_Bi_DSO_BEGIN();

void VSCandCtrl_DSD(CI ParamSel, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR CdcGiven, CR Imax, CR BridgeIn5,
                    CI DAxisSel, CI AuxSel, CI LimPriority, CI CtrlOn, CR KpPll, CR KpPi12, CR AuxDefault, CR PRef,
                    CR OuterSet, CR KpPi14, CR TiPi14, CR AuxA, CR AuxB, CR KiPll, CR TiPi12, CR KpPi13, CR VdcRef,
                    CR QRef, CR KpPi2a, CR TiPi2a, CR TiPi13, CR QRefLim, CR KpPi2b, CR TiPi2b, CR KpPi11,
                    CR TiPi11, CI FiltSel, CR Fres, CR CbGiven, CR RdGiven, CR L2Given, CR CaGiven, CR ChopIn2,
                    CR ChopIn3, CR ChopIn4);
void VSCandCtrl_DSO();
void VSCandCtrl_DSD_BEGIN(CI ParamSel, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR CdcGiven, CR Imax,
                          CR BridgeIn5, CR QRefLim, CI FiltSel, CR Fres, CR CbGiven, CR RdGiven, CR L2Given,
                          CR CaGiven);
void VSCandCtrl_DSO_BEGIN(CI ParamSel, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR CdcGiven, CR Imax,
                          CR BridgeIn5, CR QRefLim, CI FiltSel, CR Fres, CR CbGiven, CR RdGiven, CR L2Given,
                          CR CaGiven);

void Ctrl_DSD(const double (&VABC)[3], CI CtrlOn, double (&GS_VREF)[3], CR Vdc, const double (&IABC)[3], CR Qd,
              CR VacMeas, CR Pd, CI DAxisSel, CI AuxSel, CI LimPriority, CR AuxDefault, CR VdcRef, CR PRef,
              CR QRef, CR Sbase, CR Fbase, CR Vbase, CR VdcBase, CR LConv, CI NotchOn, CR Imax, CR K3rd,
              CR KpPi2a, CR TiPi2a, CR KpPll, CR KiPll, CR KpPi14, CR TiPi14, CR AuxA, CR AuxB, CR KpPi13,
              CR TiPi13, CR QRefLim, CR KpPi12, CR TiPi12, CR KpPi11, CR TiPi11, CR KpPi2b, CR TiPi2b);
void Ctrl_DSO();
void Ctrl_DSD_BEGIN(CR Sbase, CR Fbase, CR Vbase, CR QRefLim);
void Ctrl_DSO_BEGIN(CR Sbase, CR Fbase, CR Vbase, CR QRefLim);

void Filter_L_DSD(CI FiltSel, CR L2Given, CR CbGiven, CR CaGiven, CR RdGiven, CR Fres, CR LConv);
void Filter_L_DSO();
void Filter_L_DSD_BEGIN(CR L2Given, CR CbGiven, CR CaGiven, CR RdGiven);
void Filter_L_DSO_BEGIN(CR L2Given, CR CbGiven, CR CaGiven, CR RdGiven);

void Chopper_DSD(CR ChopIn, CR ChopOnLevel, CR ChopOffLevel, CR ChopR);
void Chopper_DSO();
void Chopper_DSD_BEGIN();
void Chopper_DSO_BEGIN();

void ConvBridge_Avg_6_DSD(const double (&VREF)[6], CR Rs, CR VdcIn);
void ConvBridge_Avg_6_DSO();
void ConvBridge_Avg_6_DSD_BEGIN(CR Rs);
void ConvBridge_Avg_6_DSO_BEGIN(CR Rs);

void Load_DSD(CR VLLbase, CR LoadFreq, CR LoadCtl1, CR LoadCtl2);
void Load_DSO();
void Load_DSD_BEGIN(CR VLLbase, CR LoadFreq);
void Load_DSO_BEGIN(CR VLLbase, CR LoadFreq);
