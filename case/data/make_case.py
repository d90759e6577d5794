#!/usr/bin/env python3
"""Writes the case's map file, its 19 page files, the 17 module data files,
the console answers and the table of output channels into this folder. Run it after changing a value;
NOTES.md says where every value comes from."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
METER = 0.001  # ohms of every metering branch

# Subsystem node numbers of the buses (three-phase buses a, b, c). The
# DC-DC converter and the DC link, switched most, are numbered last.
BUS = {}
_next = 1
def bus(name, phases=3):
    global _next
    BUS[name] = list(range(_next, _next + phases))
    _next += phases
for b in ("PCC", "HV", "LV", "F7", "SRC", "LD", "G", "LI", "CAP", "RD", "SABC", "LA", "AC", "BA", "BB", "BC"):
    bus(b)
for b in ("BI", "B+", "HI", "M", "H+", "DC-", "CM", "BDC+", "DC+"):
    bus(b, 1)
NODES = _next - 1
assert NODES == 57

def n(name, phase=1):
    return 0 if name == "0" else BUS[name][phase - 1]

# Pages in tree order: (page file, module, node count, local nodes from 3
# on as (bus, phase), branches as (from, to, type, values) in local nodes).
PAGES = []

def page(module, count, nodes, branches=(), extra=""):
    PAGES.append((module, count, nodes, list(branches), extra))

def three(bus_name):
    return [(bus_name, k) for k in (1, 2, 3)]

def ph3(frm, to, typ, *values):
    """Three branches, one per phase; frm/to are (first local node) or 0."""
    out = []
    for k in range(3):
        a = 0 if frm == 0 else frm + k
        b = 0 if to == 0 else to + k
        out.append((a, b, typ, *values))
    return out

# Main: 3-5 PCC, 6-8 HV, 9 ground, 10 DC-, 11 H+, 12 DC+, 13-15 LV,
# 16-18 F7, 19-21 SRC, 22-24 LD, 25-27 G.
main_nodes = three("PCC") + three("HV") + [("0", 1), ("DC-", 1), ("H+", 1), ("DC+", 1)] + three("LV") \
    + three("F7") + three("SRC") + three("LD") + three("G")
main_br = (ph3(16, 22, "R", METER)                              # 1-3 meter 3
           + ph3(16, 6, "RS", 0.0001)                           # 4-6 breaker, closed
           + ph3(13, 25, "R", METER)                            # 7-9 meter 1
           + [(3, 4, "RS", 1.0e6), (4, 5, "RS", 1.0e6), (5, 3, "RS", 1.0e6)]  # 10-12 faults between phases
           + ph3(3, 0, "RS", 1.0e6)                             # 13-15 faults to ground
           + ph3(3, 16, "R", METER)                             # 16-18 meter 2
           + ph3(0, 19, "RE", 0.0001, 0.0)                      # 19-21 source
           + ph3(19, 3, "R", 500.0)                             # 22-24
           + ph3(19, 3, "L", 0.006)                             # 25-27
           + [(11, 12, "R", METER)])                            # 28 (second group)
# Transformer: HV a, LV a, HV b, LV b, HV c, LV c; HV phase to ground, LV
# in delta. Page nodes are local nodes less 2.
hv = [6, 7, 8]
lv = [13, 14, 15]
windings = []
for k in range(3):
    windings.append((hv[k] - 2, 0, 19.052558883257657))
    windings.append((lv[k] - 2, lv[(k + 1) % 3] - 2, 0.69))
xfmr = "TRANSFORMERS:\n 6 1 0\n"
for a, b, turns in windings:
    xfmr += f" {a} {b} {turns!r} 3.978873577297388E-05\n"
xfmr += " 1.0 1.0 1.0 4.0 1.0 1.0 3.978873577297388E-05\n 4.774648292756865 0\n"
xfmr += " " + " ".join(["0"] * 20) + "\n 0 15 0\n"

page("Station", 2, [])
page("Main", 27, main_nodes, main_br, xfmr)
page("Graphs_and_Controls", 2, [])
# Battery: 3 BI, 4 DC-, 5 B+.
page("Battery", 5, [("BI", 1), ("DC-", 1), ("B+", 1)],
     [(3, 5, "R", METER), (4, 3, "RE", 0.14970059880239522, 0.0)])
# DC_DC_Bi: 3 H+, 4 DC-, 5 M, 6 B+, 7 HI, 8 unused.
page("DC_DC_Bi", 8, [("H+", 1), ("DC-", 1), ("M", 1), ("B+", 1), ("HI", 1), ("0", 1)],
     [(7, 5, "RS", 1.0e6), (7, 3, "R", METER), (5, 4, "RS", 1.0e6), (5, 7, "RS", 1.0e6),
      (6, 5, "RL", 0.001, 0.003), (4, 5, "RS", 1.0e6),
      (7, 4, "C", 2000.0), (7, 4, "R", 10000.0), (5, 4, "R", 100000.0)])
page("PI_AntiWindUp_12", 2, [])
page("PI_AntiWindUp_15", 2, [])
# VSCandCtrl: 3 DC-, 4-6 SABC, 7-9 LA, 10 BDC+, 11-13 AC, 14 DC+, 15-17 CAP.
CDC = 9750.0928
LCONV = 1.80413496e-4
page("VSCandCtrl", 17, [("DC-", 1)] + three("SABC") + three("LA") + [("BDC+", 1)] + three("AC") + [("DC+", 1)]
     + three("CAP"),
     [(14, 3, "CS", CDC), (10, 14, "R", METER)]
     + ph3(4, 7, "R", METER) + ph3(7, 11, "LS", LCONV) + ph3(15, 4, "R", METER))
page("Ctrl", 2, [])
for m in ("PI_AntiWindUp_13", "PI_AntiWindUp_14", "PI_AntiWindUp_12", "PI_AntiWindUp_11", "PI_AntiWindUp_2",
          "PI_AntiWindUp_2"):
    page(m, 2, [])
# Filter_L: 3-5 G, 6-8 CAP, 9-11 RD.
page("Filter_L", 11, three("G") + three("CAP") + three("RD"),
     ph3(3, 6, "LS", 9.0206748e-4) + ph3(6, 9, "RS", 3.8714410) + ph3(9, 0, "CS", 60.185758)
     + ph3(6, 0, "CS", 120.371516) + ph3(3, 6, "R", 10.0))
# Chopper: 3 DC+, 4 CM, 5 DC-.
page("Chopper", 5, [("DC+", 1), ("CM", 1), ("DC-", 1)],
     [(3, 4, "RS", 1.24), (4, 5, "RS", 1.0e6), (4, 3, "RS", 1.0e6)])
# ConvBridge_Avg_6: 3 DC-, 4 BDC+, 5-7 BA, 8-10 BB, 11-13 AC, 14-16 BC.
# Diodes 8-13 in firing order 5, 1, 4, 2, 3, 6 of the six-pulse bridge.
AC = {1: 11, 2: 12, 3: 13}
page("ConvBridge_Avg_6", 16, [("DC-", 1), ("BDC+", 1)] + three("BA") + three("BB") + three("AC") + three("BC"),
     ph3(5, 8, "R", 0.0005) + ph3(11, 5, "R", METER) + [(4, 3, "D", )]
     + [(AC[3], 4, "RS", 1.0e6), (AC[1], 4, "RS", 1.0e6), (3, AC[1], "RS", 1.0e6),
        (3, AC[3], "RS", 1.0e6), (AC[2], 4, "RS", 1.0e6), (3, AC[2], "RS", 1.0e6)]
     + ph3(8, 14, "RS", 1.0e6)
     + [(0, 16, "RE", 0.001, 0.0), (0, 15, "RE", 0.001, 0.0), (0, 14, "RE", 0.001, 0.0)]
     + [(4, 0, "R", 1.0e6), (3, 0, "R", 1.0e6)])
# Load: 3-5 LD, 6-8 LI; first-step orders 1.0 MW and 0.5 MVAr at 33 kV.
W = 2 * math.pi * 60.0
page("Load", 8, three("LD") + three("LI"),
     ph3(6, 0, "RS", 33.0 ** 2 / 1.0) + ph3(6, 0, "LS", 33.0 ** 2 / 0.5 / W) + ph3(6, 0, "CS", 1e-18)
     + ph3(3, 6, "R", METER))

assert len(PAGES) == 19
assert sum(p[1] for p in PAGES) == 119
assert sum(len(p[3]) for p in PAGES) == 101

# Control values in slot order (Main 1-22, DC_DC_Bi 23-30, Ctrl 31).
CX = [
    ("BrkCmd", 0.0), ("LoadCtl1", 1.0), ("PowerOrder", 0.1), ("LoadCtl2", 0.5), ("VdcRef", 1.25),
    ("FaultCmd", 0.0), ("QRef", 0.0), ("VsrcPu", 1.0), ("KpPi11", 2.0), ("KpPll", 60.0), ("TiPi11", 0.05),
    ("KiPll", 1800.0), ("KpPi14", 1.0), ("KpPi2a", 0.5), ("KpPi2b", 0.5), ("TiPi14", 0.05), ("KpPi13", 0.5),
    ("TiPi2a", 0.01), ("TiPi2b", 0.01), ("TiPi13", 0.1), ("KpPi12", 0.5), ("TiPi12", 0.05),
    ("ConvOn", 1.0), ("DirSel", 0.0), ("BoostDutyMax", 0.95), ("BoostKp", 0.05), ("BoostTi", 0.2),
    ("BuckDutyMax", 0.95), ("BuckKp", 0.05), ("BuckTi", 0.2),
    ("Zeta4", 0.9),
]
assert len(CX) == 31

# Output channels in the modules' order: (module, name, what it measures,
# unit, sign). The map's "PGBList:" and CHANNELS.md are written from it.
GRID_EXPORT = "negative when the station exports"
GRID_SUPPLY = "negative when the station supplies it"
TO_BRIDGE = "positive into the converter bridge"
PU_SBASE = "pu of 0.35 MVA"
PU_VPK = "pu of 0.5634 kV (peak phase voltage at 0.69 kV)"
HALF_DC = "pu of 0.626 kV (half of 1.252 kV)"
PU_IPK = "pu of 0.4142 kA (peak current at 0.35 MVA, 0.69 kV)"
# A channel always equal to an earlier one names the first of them, so one
# look-up finds what it measures, and says why they are equal.
TWICE = "one value written twice"
REMEASURED = "a second measurement of the same nodes"
NOTCH_PICKED = "the output of the 180 Hz notch, which the fixed FiltSel 1 picks"

def same(earlier, why):
    return f"the same as {earlier} ({why})"

CHANNEL_TABLE = (
    [("Main", "VPccPu", "PCC line voltage, RMS over a 60 Hz cycle", "pu of 33 kV", ""),
     ("Main", "BattSoc", "battery state of charge", "%", ""),
     ("Main", "VBessPu", "LV bus line voltage, rectifier estimate with a 0.02 s lag", "pu of 0.69 kV", ""),
     ("Main", "QBess", "reactive power from the LV bus towards the converter", "MVAr", GRID_SUPPLY),
     ("Main", "PBess", "real power from the LV bus towards the converter", "MW", GRID_EXPORT),
     ("Main", "PBess2", same("PBess", TWICE), "MW", GRID_EXPORT)]
    + [("Main", f"Main{6 + k}", f"current, phase {p}, from the LV bus towards the converter", "kA",
        "positive towards the converter") for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("Main", "VdcSS2", "DC-link voltage, DC+ to DC-", "kV", ""),
       ("Main", "QL", "reactive power into the load, from F7 to LD", "MVAr", "positive when the load takes it"),
       ("Main", "PL", "real power into the load, from F7 to LD", "MW", "positive when the load takes it")]
    + [("Battery", "BattV", "battery terminal voltage, B+ to DC-", "V", ""),
       ("Battery", "BattI", "battery current", "A", "positive when discharging"),
       ("Battery", "BattP", "battery power at its terminals", "MW", "positive when discharging"),
       ("Battery", "BattSoc", same("BattSoc of Main", TWICE), "%", "")]
    + [("DC_DC_Bi", "DcDc1", "boost side's duty limit (control value BoostDutyMax)", "-", ""),
       ("DC_DC_Bi", "DcDc2", "power order (control value PowerOrder), held discharging on the boost side, "
        "charging on the buck side", "kW", ""),
       ("DC_DC_Bi", "DcDc3", "buck side's duty limit (control value BuckDutyMax)", "-", ""),
       ("DC_DC_Bi", "DcDc4", "direction: control value DirSel rounded to a whole number; 0 the boost side "
        "(discharging), any other the buck side (charging)", "-", ""),
       ("DC_DC_Bi", "DcDc5", "power from the converter into the DC link, 5 ms lag", "kW",
        "positive when discharging"),
       ("DC_DC_Bi", "DcDc6", "power from the battery into the converter, 10 ms lag; closes the current loop",
        "kW", "positive when discharging"),
       ("DC_DC_Bi", "DcDc7", "DC-link voltage at the converter's high side", "kV", ""),
       ("DC_DC_Bi", "DcDc8", "battery terminal voltage at the converter", "kV", ""),
       ("DC_DC_Bi", "DcDc9", "current from the converter's high side into the DC link", "kA",
        "positive when discharging"),
       ("DC_DC_Bi", "DcDc10", "inductor current, from the battery into the converter", "kA",
        "positive when discharging"),
       ("DC_DC_Bi", "DcDc11", "power order divided by 0.35 (DcDc2 / 0.35): the regulators' reference, "
        "compared with DcDc6 / 0.35; not a current", "kW / 0.35", ""),
       ("DC_DC_Bi", "DcDc12", "buck IGBT's firing", "0/1", ""),
       ("DC_DC_Bi", "DcDc13", "time of the buck firing's change before the step's end (0 without one)", "s", ""),
       ("DC_DC_Bi", "DcDc14", "buck regulator output (duty)", "-", ""),
       ("DC_DC_Bi", "DcDc15", "boost IGBT's firing", "0/1", ""),
       ("DC_DC_Bi", "DcDc16", "time of the boost firing's change before the step's end (0 without one)", "s",
        ""),
       ("DC_DC_Bi", "DcDc17", "boost side running", "0/1", ""),
       ("DC_DC_Bi", "DcDc18", "buck side running", "0/1", ""),
       ("DC_DC_Bi", "DcDc19", "boost regulator output (duty)", "-", "")]
    + [("VSCandCtrl", "Vsc1", "reactive power from SABC into the converter", "MVAr", GRID_SUPPLY),
       ("VSCandCtrl", "Vsc2", "current from the bridge's DC terminal into the DC link", "kA",
        "positive when the bridge charges the link"),
       ("VSCandCtrl", "Vsc3", "reactive power from the filter (CAP) towards the converter", "MVAr", GRID_SUPPLY),
       ("VSCandCtrl", "Vsc4", "real power from the filter (CAP) towards the converter", "MW", GRID_EXPORT)]
    + [("VSCandCtrl", f"Vsc{4 + k}", f"voltage at AC (the bridge's terminals), phase {p}", "kV", "")
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("VSCandCtrl", "Vsc8", "constant 1.0 (the control's AuxDefault)", "-", ""),
       ("VSCandCtrl", "Vsc9", "DC voltage reference (control value VdcRef)", "kV", "")]
    + [("VSCandCtrl", f"Vsc{9 + k}", f"voltage at SABC, phase {p}", "kV", "")
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("VSCandCtrl", f"Vsc{12 + k}", f"coupling-inductance current, phase {p}, one step late", "kA", TO_BRIDGE)
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("VSCandCtrl", "Vsc16", same("VdcSS2", REMEASURED), "kV", ""),
       ("VSCandCtrl", "Vsc17", "real power from SABC into the converter", "MW", GRID_EXPORT)]
    + [("VSCandCtrl", f"Vsc{17 + k}", same(f"Vsc{9 + k}", TWICE), "kV", "") for k in (1, 2, 3)]
    + [("VSCandCtrl", f"Vsc{20 + k}", same(f"Vsc{12 + k}", TWICE), "kA", TO_BRIDGE) for k in (1, 2, 3)]
    + [("Ctrl", "Ctrl1", "DC voltage reference", "pu of 1.252 kV", ""),
       ("Ctrl", "Ctrl2", "reactive power reference divided by 0.35 (control value QRef / 0.35), shown only: "
        "QRef is already per unit of 0.35 MVA, and the loop holds Ctrl6 at QRef itself", "pu / 0.35", ""),
       ("Ctrl", "Ctrl3", "real power reference (0)", PU_SBASE, ""),
       ("Ctrl", "Ctrl4", "real power into the converter, as Vsc17, one step late", PU_SBASE, GRID_EXPORT),
       ("Ctrl", "Ctrl5", "DC-link voltage, one step late", "pu of 1.252 kV", ""),
       ("Ctrl", "Ctrl6", "reactive power into the converter, as Vsc1, one step late", PU_SBASE, GRID_SUPPLY)]
    + [("Ctrl", f"Ctrl{6 + k}", f"voltage at SABC, phase {p}, one step late", "kV", "")
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("Ctrl", "Ctrl10", "measured AC voltage (VBessPu, one step late)", "pu of 0.69 kV", ""),
       ("Ctrl", "Ctrl11", same("Vsc8", "both the constant AuxDefault, 1.0"), "-", ""),
       ("Ctrl", "Ctrl12", "angle of the third-harmonic term, in (0, 2 pi]", "rad", ""),
       ("Ctrl", "Ctrl13", "third-harmonic term added to the references", HALF_DC, "")]
    + [("Ctrl", f"Ctrl{13 + k}", f"modulation reference, phase {p}", HALF_DC, "")
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("Ctrl", f"Ctrl{16 + k}", f"modulation reference before the third-harmonic term, phase {p}",
        HALF_DC, "") for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("Ctrl", "Ctrl20", "q-axis voltage reference", PU_VPK, ""),
       ("Ctrl", "Ctrl21", "AC voltage reference from the reactive power loop (0.9 to 1.1)", "pu of 0.69 kV", ""),
       ("Ctrl", "Ctrl22", "q-axis current reference (AC voltage loop output)", PU_IPK, ""),
       ("Ctrl", "Ctrl23", "modulation index before its limit of 1.15", "-", ""),
       ("Ctrl", "Ctrl24", "d-axis voltage reference", PU_VPK, ""),
       ("Ctrl", "Ctrl25", "d-axis current reference (DC voltage loop output)", PU_IPK, ""),
       ("Ctrl", "Ctrl26", "real power loop output (not used: the DC voltage loop is chosen)", PU_IPK, ""),
       ("Ctrl", "Ctrl27", same("Ctrl5", TWICE), "pu of 1.252 kV", ""),
       ("Ctrl", "Ctrl28", "DC voltage reference after its 0.2 s ramp lag", "pu of 1.252 kV", ""),
       ("Ctrl", "Ctrl29", same("Ctrl25", "the DC voltage loop output, which the fixed DAxisSel 0 picks"), PU_IPK,
        ""),
       ("Ctrl", "Ctrl30", "q-axis voltage, filtered (the one used)", PU_VPK, ""),
       ("Ctrl", "Ctrl31", same("Ctrl30", NOTCH_PICKED), PU_VPK, ""),
       ("Ctrl", "Ctrl32", "q-axis voltage after the 600 Hz second-order filter", PU_VPK, ""),
       ("Ctrl", "Ctrl33", "d-axis voltage, filtered (the one used)", PU_VPK, ""),
       ("Ctrl", "Ctrl34", same("Ctrl33", NOTCH_PICKED), PU_VPK, ""),
       ("Ctrl", "Ctrl35", "d-axis voltage after the 600 Hz second-order filter", PU_VPK, ""),
       ("Ctrl", "Ctrl36", "q-axis current, filtered at 360 Hz", PU_IPK, ""),
       ("Ctrl", "Ctrl37", "d-axis current, filtered at 360 Hz", PU_IPK, "")]
    + [("Chopper", "ChopGate", "chopper IGBT's gate (on at 1.7 kV, off at 1.5 kV on the DC link)", "0/1", "")]
    + [("ConvBridge_Avg_6", f"Bridge{k}", same(f"Vsc{4 + k}", REMEASURED), "kV", "") for k in (1, 2, 3)]
    + [("ConvBridge_Avg_6", "Bridge4", same("Vsc5", "Bridge1's value written twice"), "kV", "")]
    + [("ConvBridge_Avg_6", f"Bridge{4 + k}",
        f"current into the bridge's averaged side, phase {p} (0 while the bridge is blocked: "
        "its diodes' current passes beside it)", "kA", TO_BRIDGE)
       for k, p in ((1, "a"), (2, "b"), (3, "c"))]
    + [("ConvBridge_Avg_6", f"Bridge{6 + k}", same(f"Vsc{4 + k}", f"Bridge{k}'s value written twice"), "kV",
        "") for k in (2, 3)]
    + [("ConvBridge_Avg_6", "Bridge10", "real power into the bridge, instantaneous", "MW", GRID_EXPORT)]
)
CHANNELS = [(m, c) for m, c, *_ in CHANNEL_TABLE]
assert len(CHANNELS) == 106

def fmt(v):
    return repr(float(v)) if isinstance(v, float) else str(v)

def write(name, text):
    with open(os.path.join(HERE, name), "w", newline="\n") as f:
        f.write(text)

def channel_table():
    out = ["# The case's output channels\n\n",
           "Written by `make_case.py` from the channel list it also writes into `station.map`.\n",
           "A run with output files named `station` writes `station.inf`, one line per channel:\n",
           "the module's name in 17 columns, then the channel's name. The values are in\n",
           "`station_01.out` to `station_11.out`: a title line, then one record per print\n",
           "step: the time in seconds (column 1), then ten channels in the order of\n",
           "`station.inf` (columns 2 to 11; the last file holds six).\n\n",
           "Buses: the grid source feeds the 33 kV point of common coupling PCC through\n",
           "500 ohm in parallel with 6 mH; PCC feeds F7, F7 the load LD and, through the\n",
           "breaker, the transformer's 33 kV side HV; its 0.69 kV side LV feeds the\n",
           "converter through the filter (G to CAP), the meters to SABC and the coupling\n",
           "inductances (LA to AC, the averaged bridge's terminals). The battery (B+,\n",
           "DC-) feeds the DC link (DC+, DC-) through the DC-DC converter. P and Q are\n",
           "three-phase values smoothed by a 0.02 s lag; voltages are to ground unless\n",
           "two points are named; kV, kA, MW and MVAr unless the unit says otherwise.\n\n",
           "| # | file | column | module | name | measures | unit | sign |\n",
           "|---|---|---|---|---|---|---|---|\n"]
    for k, (module, name, what, unit, sign) in enumerate(CHANNEL_TABLE, 1):
        out.append(f"| {k} | {(k - 1) // 10 + 1:02d} | {(k - 1) % 10 + 2} | {module} | {name} | {what} | {unit} "
                   f"| {sign} |\n")
    return "".join(out)

def main():
    body = []
    body.append("! The battery station: a 33 kV source and load, a 33/0.69 kV transformer,\n"
                "! the grid converter with its filter, chopper and averaged bridge, and the\n"
                "! battery behind its DC-DC converter. Written by make_case.py.\n")
    body.append("DIMENSIONS:\n")
    dims = [("NODES", NODES), ("SUBSYS", 1), ("BRANCHES", 101), ("NNODES", 119), ("NPAGES", 19),
            ("SUBSYSPAGE", 11), ("STOL", 0), ("STOI", 70), ("STOF", 595), ("STOC", 0), ("PGBS", 106),
            ("CX", 31), ("CXMAP", 31), ("TRAFOS", 1), ("WINDINGS", 6), ("STORF", 311), ("STORL", 100),
            ("STORI", 300), ("STORC", 0), ("STOR", 2000), ("RTCL", 50), ("RTCI", 100), ("RTCF", 500)]
    body += [f" {k} = {v}\n" for k, v in dims]
    body.append("PARAMETERS:\n TITLE = 'Battery station'\n TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n"
                " FINISH_TIME = 2.0\n")
    body.append(f"SUBSYSDIM:\n 1 {NODES}\n")
    body.append("SUBS:\n 11" + " 1" * 11 + "\n")
    for k, (module, count, nodes, branches, extra) in enumerate(PAGES, 1):
        fname = f"p{k:02d}_{module}.map"
        body.append(f"! Page {k}: {module}\nMAP: '{fname}'\n")
        body.append(" 1 " + str(count - 2) + "".join(f" {n(b, p)}" for b, p in nodes) + "\n 0 0\n")
        text = f"! {module}: page nodes are the module's local nodes less 2.\n"
        if branches:
            text += "BRANCHES:\n"
            for a, b, typ, *values in branches:
                if values and isinstance(values[0], tuple):
                    values = values[0]
                to_page = lambda x: 0 if x == 0 else x - 2
                text += f" {to_page(a)} {to_page(b)} {typ}" + "".join(" " + fmt(v) for v in values) + "\n"
        text += extra
        text += "ENDPAGE\n"
        write(fname, text)
    body.append("CXMAP:\n 31" + "".join(f" {k}" for k in range(1, 32)) + "\n")
    body.append("CX:\n" + "".join(f" {k} {fmt(v)}  ! {name}\n" for k, (name, v) in enumerate(CX, 1)))
    body.append("PGBList:\n" + "".join(f"{m:<17}{c}\n" for m, c in CHANNELS))
    body.append("ENDCASE\n")
    write("station.map", "".join(body))
    write("CHANNELS.md", channel_table())

    for m in ("Station", "Main", "Graphs_and_Controls", "Battery", "DC_DC_Bi", "VSCandCtrl", "Ctrl", "Filter_L",
              "Chopper", "ConvBridge_Avg_6", "Load", "PI_AntiWindUp_2", "PI_AntiWindUp_11", "PI_AntiWindUp_12",
              "PI_AntiWindUp_13", "PI_AntiWindUp_14", "PI_AntiWindUp_15"):
        write(m + ".dta", "DATADSD:\n 0\nDATADSO:\n 0\nENDPAGE\n")
    # Start from data, no snapshot, the map, one run, no output file, no plot.
    write("answers.txt", "0\n0\nstation.map\n1\n1\nstation\n0\n")

if __name__ == "__main__":
    main()
