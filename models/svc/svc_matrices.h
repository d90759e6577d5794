// The winding matrices that both compensator forms derive from the
// transformer's 9 x 9 coupled inductances (primary a-c, delta secondary
// a-c, star secondary a-c), the star phase c current being -(a + b).
#pragma once

#include "models/svc/svc_work.h"

// Fills c.G, c.F, c.r and, from Lt, c.B. False when the reduced
// inductances are singular (G is then not set).
bool svc_matrices(const double (&L)[9][9], double Lt, SvcCircuit& c);
