#include "network/companion.h"

#include "network/network_tables.h"

void set_companion(int32_t br, int32_t ss, double g, double r, double xl, double xc) {
    NetworkTables& N = NET;
    N.GEQ(br, ss) = N.GEQD(br, ss) = N.GON(br, ss) = N.GOFF(br, ss) = g;
    N.RLG(br, ss) = g * xl;
    N.RCG(br, ss) = g * xc;
    N.RCL(br, ss) = g * xl * xc;
    N.RSC(br, ss) = (r + xc) * g * xl;
    N.RSL(br, ss) = (r + xl) * xc * g;
}
