// The spark gap on a switched branch, which flashes over above its
// breakdown voltage and goes out at the next current zero; and the
// statistical breaker, which draws a random opening delay for each pole.
#pragma once

#include <cstdint>

void SPARKGAP(int32_t ss, int32_t br, double ron, double roff, double breakdown);
// Begin pass: the delays' bounds (s) and their number of standard
// deviations.
void STATBRK(double minimum, double maximum, double deviations);
// A seed of 0 is taken from the clock at the start of every run; a
// negative one by its magnitude. Any non-zero command closes the three
// poles; its fall opens each after its own delay.
void STATBRK_DELAY(int32_t seed, int32_t command, int32_t& a, int32_t& b, int32_t& c);
