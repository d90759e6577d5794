// The model tests run on the network tests' stand-in case.
#include "network/tests/hooked_case.cpp"
