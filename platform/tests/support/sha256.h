// Test support: SHA-256 of bytes, files and numbers, written as sha256sum
// writes it, and the kept digest files in sha256sum's own format
// ("<64 hex digits>  <name>" a line), so that `sha256sum -c` checks them too.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

class Sha256 {
public:
    void add(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        total_ += n;
        while (n > 0) {
            const size_t take = std::min(n, sizeof block_ - used_);
            std::memcpy(block_ + used_, p, take);
            used_ += take;
            p += take;
            n -= take;
            if (used_ == sizeof block_) {
                compress();
                used_ = 0;
            }
        }
    }
    void add(const std::string& s) { add(s.data(), s.size()); }
    // The bits of a value as they lie in memory.
    template <class T>
    void add_value(const T& x) {
        add(&x, sizeof x);
    }

    // The digest in lower-case hex; the object is spent.
    std::string hex() {
        const uint64_t bits = total_ * 8;
        const uint8_t one = 0x80, zero = 0;
        add(&one, 1);
        while (used_ != 56) add(&zero, 1);
        uint8_t len[8];
        for (int k = 0; k < 8; ++k) len[k] = static_cast<uint8_t>(bits >> (56 - 8 * k));
        add(len, 8);
        static const char* digits = "0123456789abcdef";
        std::string out;
        for (uint32_t w : h_)
            for (int k = 28; k >= 0; k -= 4) out += digits[(w >> k) & 0xf];
        return out;
    }

private:
    static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

    void compress() {
        static constexpr uint32_t K[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = uint32_t{block_[4 * t]} << 24 | uint32_t{block_[4 * t + 1]} << 16 |
                   uint32_t{block_[4 * t + 2]} << 8 | uint32_t{block_[4 * t + 3]};
        for (int t = 16; t < 64; ++t) {
            const uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        for (int t = 0; t < 64; ++t) {
            const uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[t] + w[t];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const uint32_t next[8] = {a, b, c, d, e, f, g, h};
        for (int k = 0; k < 8; ++k) h_[k] += next[k];
    }

    std::array<uint32_t, 8> h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t block_[64] = {};
    size_t used_ = 0;
    uint64_t total_ = 0;
};

inline std::string sha256_of(const std::string& bytes) {
    Sha256 s;
    s.add(bytes);
    return s.hex();
}

// The digest of a whole file; empty when it cannot be read.
inline std::string sha256_of_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::ostringstream all;
    all << in.rdbuf();
    return sha256_of(all.str());
}

// A digest file as name -> digest.
inline std::map<std::string, std::string> read_digests(const std::string& path) {
    std::map<std::string, std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.size() > 66 && line.compare(64, 2, "  ") == 0) out[line.substr(66)] = line.substr(0, 64);
    return out;
}
