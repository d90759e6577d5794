// The controls tests run whole steps of a circuit whose top module runs
// the blocks under test: they share the network tests' hooked stand-in case.
#include "network/tests/hooked_case.cpp"
