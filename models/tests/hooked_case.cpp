// The network tests' stand-in case, whose four routines run what a test
// installs: models are called from its set-up pass.
#include "network/tests/hooked_case.cpp"
