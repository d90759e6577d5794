// The winding matrices that both compensator forms derive from the
// transformer's 9 x 9 coupled inductances (primary a-c, delta secondary
// a-c, star secondary a-c), the star phase c current being -(a + b).
#pragma once

#include "models/svc/svc_work.h"

// The coupled inductances of three-phase windings with self inductances
// LP, LD, LY and the same-phase mutual inductances between them.
void svc_windings(double LP, double LD, double LY, double MPD, double MPY, double MYD, double (&L)[9][9]);

// Fills c.G, c.F, c.r and, from Lt, c.B. False when the reduced
// inductances are singular (G is then not set).
bool svc_matrices(const double (&L)[9][9], double Lt, SvcCircuit& c);
