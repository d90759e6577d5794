
#include "controls/block_slots.h"
#include "controls/elementary/smooth_lag.h"
#include "controls/elementary/store_blocks.h"
#include "controls/measurement/power_meters.h"
#include "controls/measurement/three_phase_power_body.h"
#include "engine/messages.h"
#include "engine/model_helpers.h"
#include "network/network_tables.h"

using namespace power_detail;

namespace {

double node_power(bool reactive, int32_t SS, int32_t N1, int32_t N2, int32_t N3, int32_t M1, int32_t M2, int32_t M3,
                  double T) {
    if (first_step_data() && (N1 == 0 || N2 == 0 || N3 == 0))
        OUTMSG(reactive ? 420 : 421, 0, 0, 0, 0.0, 0.0, Text72(reactive ? "Q3PH2" : "P3PH2"));
    const double va = NODEV(SS, N1), vb = NODEV(SS, N2), vc = NODEV(SS, N3);
    double ia, ib, ic;
    if (M1 != 0 && M2 != 0 && M3 != 0) {
        ia = CDC(N1, M1, SS);
        ib = CDC(N2, M2, SS);
        ic = CDC(N3, M3, SS);
    } else {
        ia = -CDC(N1, N1, SS);
        ib = -CDC(N2, N2, SS);
        ic = -CDC(N3, N3, SS);
    }
    const double x = reactive ? 0.57735 * (ic * (va - vb) + ia * (vb - vc) + ib * (vc - va))
                              : ia * va + ib * vb + ic * vc;
    return SMOOTH_LAG(1.0, T, x);
}

}  // namespace

double P3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG) {
    return p3ph3(SS, BR1, BR2, BR3, T, FLAG);
}

double Q3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG) {
    return branch_power(true, SS, BR1, BR2, BR3, T, FLAG);
}

void PQ3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG, double& P, double& Q) {
    pq3ph3(SS, BR1, BR2, BR3, T, FLAG, P, Q);
}

void PQ3PH_METER(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                 int32_t& ONE, double T, double& P, double& Q) {
    pq3ph_meter(SS, BR1, BR2, BR3, BR4, BR5, BR6, ONE, T, P, Q);
}

double P3PH2(int32_t SS, int32_t N1, int32_t N2, int32_t N3, int32_t M1, int32_t M2, int32_t M3, double T) {
    return node_power(false, SS, N1, N2, N3, M1, M2, M3, T);
}

double Q3PH2(int32_t SS, int32_t N1, int32_t N2, int32_t N3, int32_t M1, int32_t M2, int32_t M3, double T) {
    return node_power(true, SS, N1, N2, N3, M1, M2, M3, T);
}

double RMS_3PH_RECT(int32_t SS, int32_t N1, int32_t N2, int32_t N3, double T) {
    return rms_3ph_rect(SS, N1, N2, N3, T);
}
