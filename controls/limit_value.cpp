#include "controls/limit_value.h"

double LIMIT_VALUE(const double& lower, const double& upper, const double& X) { return limit_value(lower, upper, X); }
