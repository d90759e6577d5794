#include <cmath>

#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/svc/svc.h"
#include "models/svc/svc_checks.h"

void SVCALLOC(int32_t N, double x, double S, double QL, double QC) {
    SvcChecks checks;
    checks.refuse(N < 1, SVC_BAD_STAGES);
    const bool leak = x > 1e-20, inductive = std::fabs(QL) > 1e-20, capacitive = std::fabs(QC) > 1e-20 && N != 0;
    checks.refuse(!leak, "Unrealistic transformer leakage reactance");
    checks.refuse(!inductive, "Unrealistic inductive reactive power");
    checks.refuse(!capacitive, "Unrealistic capacitive reactive power");
    checks.stop_if_failed("SVCALLOC");
    PointerBlock& ptr = POINTER_BLOCK;
    FArray1<double>& R = STORAGE.RTCF;
    R(ptr.NRTCF) = -1.0 / x;
    R(ptr.NRTCF + 1) = -1.0 / (S / std::fabs(QL) - x);
    R(ptr.NRTCF + 2) = 1.0 / (N * (x + S / std::fabs(QC)));
    ptr.NRTCF += 3;
}
