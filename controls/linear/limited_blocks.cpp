#include "controls/linear/limited_body.h"
#include "controls/linear/linear_blocks.h"

using namespace limited_detail;

double LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0, double lower,
                   double upper) {
    return lag_limited(reset, enable, limit, G, T, X, Y0, lower, upper);
}

double WASHOUT_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0,
                       double lower, double upper) {
    return limited({Kind::washout, reset != 0, enable != 0, limit != 0, 0.0, T, G, X, Y0, lower, upper});
}

double LEAD_LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double T1, double T2, double G, double X,
                        double Y0, double lower, double upper) {
    return limited({Kind::lead_lag, reset != 0, enable != 0, limit != 0, T1, T2, G, X, Y0, lower, upper});
}
