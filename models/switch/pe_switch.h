// The power-electronic switch: diode, thyristor, GTO, IGBT, MOSFET or
// transistor driving a switched branch. Device codes 0 to 5 in that order;
// any other code is a generic switch. Gate 1 fires, -1 and 2 turn off, any
// other value is no command; the time value is the time before the end of
// the step at which the gate changed (none outside (0, DELT]).
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/logical.h"

// Begin pass: the device code, the forward-breakdown-recovers flag and the
// ratings R_on, R_off (ohm), V_bf, V_br, V_f and t_ext (microseconds).
void PESWITCH_INIT(int32_t code, int32_t recovers, double ron, double roff, double vbf, double vbr, double vf,
                   double text);
// Every step: the switch of branch br of subsystem ss.
void PESWITCH(int32_t ss, int32_t br, int32_t gate, double tval);
// The same switch with its ratings on every call. Gate 2 turns a code of 0
// or below into 2 (a GTO from then on).
void PESWITCH12(int32_t ss, int32_t br, double ron, double roff, int32_t gate, double tval, int32_t& code,
                int32_t recovers, double vbf, double vbr, double vf, double text);
// One breakdown voltage for both directions; a forward breakdown latches.
void PESWITCH10(int32_t ss, int32_t br, double ron, double roff, int32_t gate, double tval, int32_t& code,
                double vbd, double vf, double text);
// The device label of a code, 12 characters.
void PESWITCH_LABEL(int32_t code, Text12& label);

// The device logic of the switch whose record stands at the saved STORI
// position: at most one switching now, or a request for the network
// solution inside the coming step.
void PESWITCH_STATE(double instant, Logical event);
// Reports a safety turn-off, at most twice per switch.
void PESWITCH_SAFEOFF(double& count, int32_t code, int32_t br, int32_t ss);

// Discontinued entries: they stop the run.
[[noreturn]] void THYR25(int32_t, int32_t, int32_t, double, double, int32_t, double, double, double, double, double,
                         double);
[[noreturn]] void SWINT5(int32_t, int32_t, int32_t, double, double, int32_t, double);
