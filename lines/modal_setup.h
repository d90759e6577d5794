// Set-up of the modal lines and the pieces every kind's set-up shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lines/line_section.h"
#include "platform/logical.h"

// The numeric block of a constant-parameter or "FRE-DEP" entry, its file
// closed, its conductance added to the network.
void DSLINT_MODAL(LineEntry& e);

// The next row of TLINE_REC for the entry, its name set.
int32_t DSLINT_NEW_ROW(LineEntry& e);
// The option records after a model record: "NOINT" clears interpolate,
// "INFLENGTH" sets inflength; the first other record is stepped back over.
void DSLINT_OPTIONS(LineEntry& e, bool& interpolate, Logical& inflength);
// A travel time of x < 1 steps: the warnings, and once the last short one
// of the case is met, the notice and, when one was below 0.8, the stop.
void TL_SHORT_TRAVEL(const LineEntry& e, double x);
// The entry's data errors: its name, the text, the stop.
[[noreturn]] void DSLINT_DATA_ERROR(const LineEntry& e, const std::string& text);
// Adds TLGMAT(., ., row) at the entry's ends (end 2 not for a server end).
void DSLINT_CONDUCTANCE(const LineEntry& e, int32_t row);

// A fitted function k (s + z1)...(s + znz) / (s + p1)...(s + pnp) as
// residues r and a constant d; form 1 takes k for the (1 + s/z)/(1 + s/p)
// form. Two equal poles stop the run.
void PARTFRAC(const std::vector<double>& z, const std::vector<double>& p, std::vector<double>& r, double& k,
              double& d, int32_t form);
// Cuts a function's zeros and poles from the first one of 1e15 or more
// (a factor of 1 in the (1 + s/z)/(1 + s/p) form) and keeps no more zeros
// than poles (the first function) or fewer (the others).
void PARTFRAC_CUT(std::vector<double>& z, std::vector<double>& p, bool first_function);
