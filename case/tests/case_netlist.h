// Test support: the network of one subsystem, as its models left it, as an
// ngspice netlist. Branches are written with their R, L, C in series (a
// switched resistor at its present conductance), diodes as diodes of their
// ON resistance beside their OFF resistance (with a saturation current far
// below the leakage that OFF resistances carry: the engine's diodes have
// no other, and a larger one makes a diode's turn-off hang on it), series
// sources as PWL sources of the EMFs a run gave them (step n at (n + 1) dt,
// ramped from 0 over the first step), and each three-phase transformer as
// three single-phase coupled-inductor units of the model's leakage and
// magnetising inductances. Units as the engine's: kV, kA, ohm, H, F. Nodes
// n1, n2, ...
#pragma once

#include <cmath>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "models/xfmr_tables.h"
#include "network/network_tables.h"

struct NetlistDiode {
    int32_t branch;
    double ron, roff;
};

inline std::string netlist_node(int32_t n) { return n == 0 ? "0" : "n" + std::to_string(n); }

// emf[b - 1][n]: the EMF of branch b in step n; a branch whose EMFs are
// all zero has no source.
inline std::string case_netlist(int32_t ss, const std::vector<NetlistDiode>& diodes,
                                const std::vector<std::vector<double>>& emf, double dt) {
    const NetworkTables& N = NET;
    std::ostringstream s;
    s.precision(17);
    std::set<int32_t> diode_branches;
    for (const NetlistDiode& d : diodes) {
        diode_branches.insert(d.branch);
        s << "D" << d.branch << " " << netlist_node(N.IEF(d.branch, ss)) << " " << netlist_node(N.IET(d.branch, ss))
          << " dm" << d.branch << "\nRD" << d.branch << " " << netlist_node(N.IEF(d.branch, ss)) << " "
          << netlist_node(N.IET(d.branch, ss)) << " " << d.roff << "\n.model dm" << d.branch
          << " D(IS=1e-9 N=0.001 RS=" << d.ron << ")\n";
    }
    for (int32_t b = 1; b <= N.NBRANCHES(ss); ++b) {
        if (diode_branches.count(b) != 0 || is_true(N.DEFRDBR(b, ss))) continue;
        const std::string tag = std::to_string(b);
        std::string at = netlist_node(N.IEF(b, ss));
        int32_t part = 0;
        // Each element from `at` to the next inner node; the last to the
        // branch's far node.
        std::vector<std::string> elements;
        const auto element = [&tag](const char* letter, double value) {
            std::ostringstream e;
            e.precision(17);
            e << letter << tag << " %a %b " << value;
            return e.str();
        };
        if (is_true(N.RESISTOR(b, ss))) {
            const double r = is_true(N.SWITCH(b, ss)) && N.GEQ(b, ss) > 0.0 ? 1.0 / N.GEQ(b, ss) : N.BRANCH_R(b, ss);
            elements.push_back(element("R", r));
        }
        if (is_true(N.INDUCTOR(b, ss))) elements.push_back(element("L", N.BRANCH_L(b, ss)));
        if (is_true(N.CAPACITR(b, ss))) elements.push_back(element("C", N.BRANCH_C(b, ss)));
        const std::vector<double>& e = emf[static_cast<size_t>(b - 1)];
        bool source = false;
        for (const double v : e) source = source || v != 0.0;
        if (source) {
            std::ostringstream v;
            v.precision(17);
            v << "V" << tag << " %b %a PWL(0 0";
            for (size_t n = 0; n < e.size(); ++n) v << "\n+ " << static_cast<double>(n + 1) * dt << " " << e[n];
            v << ")";
            elements.push_back(v.str());
        }
        for (size_t k = 0; k < elements.size(); ++k) {
            const std::string to = k + 1 == elements.size() ? netlist_node(N.IET(b, ss))
                                                            : "b" + tag + "_" + std::to_string(++part);
            std::string text = elements[k];
            text.replace(text.find("%a"), 2, at);
            text.replace(text.find("%b"), 2, to);
            s << text << "\n";
            at = to;
        }
    }
    // The core's permeance: two limbs and the yokes between them in series.
    const XfmrTables& X = XFMR_TABLES;
    const double core = X.XF_UMCORE(8) / (2.0 + X.XF_UMCORE(4) / X.XF_UMCORE(3));
    for (int32_t t = 1; t <= X.XF_COUNT; ++t) {
        for (int32_t w = 1; w <= X.XF_NWDG(t); ++w) {
            const double turns = X.XF_UMWDG(w, 1);
            s << "LX" << t << "_" << w << " " << netlist_node(X.XF_NODE1(w, t)) << " "
              << netlist_node(X.XF_NODE2(w, t)) << " " << turns * turns * (X.XF_UMWDG(w, 2) + core) << "\n";
        }
        for (int32_t w = 1; w < X.XF_NWDG(t); w += 2)
            s << "KX" << t << "_" << w << " LX" << t << "_" << w << " LX" << t << "_" << w + 1 << " "
              << core / std::sqrt((X.XF_UMWDG(w, 2) + core) * (X.XF_UMWDG(w + 1, 2) + core)) << "\n";
    }
    return s.str();
}
