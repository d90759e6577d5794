// Lanes for the loops that walk whole branch columns: one branch (Lane1)
// or four neighbouring branches (Lane4, GCC vector types). A loop body
// written once over a lane type does the same operations on every element
// either way, so its results are the same to the bit; a lane is chosen
// with a mask (-1 or 0 per element) rather than a branch.
#pragma once

#include <cstdint>
#include <cstring>

// The lanes never cross a call (their loops inline them), so the note
// that a vector passed without AVX changes the calling convention does
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

struct Lane1 {
    static constexpr int64_t width = 1;
    using D = double;
    using M = int64_t;  // -1 or 0
    using I = int32_t;

    static D load(const double* p) { return *p; }
    static void store(double* p, D v) { *p = v; }
    static D gather(const double* x, const int32_t* at) { return x[*at]; }
    static D splat(double v) { return v; }
    static M mask(bool b) { return -static_cast<M>(b); }
    // Elements whose kind byte has any of the bits.
    static M kinds(const uint8_t* k, uint8_t bits) { return mask((*k & bits) != 0); }
    static M logicals(const int32_t* p) { return mask((*p & 1) != 0); }
    static D pick(M m, D a, D b) { return m ? a : b; }
    static D magnitude(D v) { return __builtin_fabs(v); }
    static M less_equal(D a, D b) { return mask(a <= b); }
    static M greater(D a, D b) { return mask(a > b); }
    static I load_int(const int32_t* p) { return *p; }
    static void store_int(int32_t* p, I v) { *p = v; }
    static M widen(I v) { return v; }
    static I narrow(M v) { return static_cast<I>(v); }
    static M pick_int(M m, M a, M b) { return m ? a : b; }
    static bool any(M m) { return m != 0; }
};

struct Lane4 {
    static constexpr int64_t width = 4;
    typedef double D __attribute__((vector_size(32)));
    typedef int64_t M __attribute__((vector_size(32)));
    typedef int32_t I __attribute__((vector_size(16)));

    static D load(const double* p) {
        D v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(double* p, D v) { std::memcpy(p, &v, sizeof v); }
    static D gather(const double* x, const int32_t* at) { return D{x[at[0]], x[at[1]], x[at[2]], x[at[3]]}; }
    static D splat(double v) { return __builtin_shuffle(D{v}, M{}); }
    static M kinds(const uint8_t* k, uint8_t bits) {
        const M b{bits, bits, bits, bits};
        return (M{k[0], k[1], k[2], k[3]} & b) != 0;
    }
    static M logicals(const int32_t* p) { return (__builtin_convertvector(load_int(p), M) & 1) != 0; }
    static D pick(M m, D a, D b) { return m ? a : b; }
    static D magnitude(D v) {
        const M clear = M{} + INT64_MAX;
        M bits;
        std::memcpy(&bits, &v, sizeof bits);
        bits &= clear;
        D out;
        std::memcpy(&out, &bits, sizeof out);
        return out;
    }
    static M less_equal(D a, D b) { return a <= b; }
    static M greater(D a, D b) { return a > b; }
    static I load_int(const int32_t* p) {
        I v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store_int(int32_t* p, I v) { std::memcpy(p, &v, sizeof v); }
    static M widen(I v) { return __builtin_convertvector(v, M); }
    static I narrow(M v) { return __builtin_convertvector(v, I); }
    static M pick_int(M m, M a, M b) { return m ? a : b; }
    static bool any(M m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }
};
