#include "controls/branch_voltage.h"

#include "network/network_tables.h"

double BRANCH_VOLTAGE(int32_t ss, int32_t br) {
    const NetworkTables& N = NET;
    const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
    return (f == 0 ? 0.0 : N.VNODE(f, ss)) - (t == 0 ? 0.0 : N.VNODE(t, ss));
}
