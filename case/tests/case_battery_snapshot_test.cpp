// The battery run down through a snapshot: its stored charge set to 3 %
// with the unrounded direction 0.3 still discharges through the boost
// side; set to 0, its EMF stays finite and the run warns.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "case/tests/case_support.h"

namespace {

constexpr double kCapacity = 0.0167;  // kAh

// The STORF word holding the battery's charge (kAh): the one before its
// state of charge, which the battery rebuilds from the charge each step.
class BatteryCharge : public CaseTest {
protected:
    int32_t charge_word() {
        EXPECT_FALSE(begin_passes().aborted);
        EXPECT_FALSE(step(0).aborted);
        const FArray1<double>& F = STORAGE.STORF;
        int32_t found = 0, count = 0;
        for (int32_t k = 1; k + 1 <= static_cast<int32_t>(F.size()); ++k)
            if (F(k + 1) == 0.01 * 90.0 && F(k) == kCapacity * F(k + 1)) {
                found = k;
                ++count;
            }
        EXPECT_EQ(count, 1);
        return found;
    }
};

// Sets word k (1-based) of the snapshot's STORF block.
void set_stored(const std::string& path, int32_t k, double value) {
    std::istringstream in(read_text(path));
    std::ostringstream out;
    std::string line;
    int32_t at = 0;  // words of the block passed; -1 outside it
    bool in_block = false, done = false;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(' ');
        const bool label = first != std::string::npos && line[first] == '!';
        if (label) in_block = !done && line.compare(first, 7, "!STORF:") == 0;
        if (in_block && !label) {
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string x; words >> x;) w.push_back(x);
            if (k > at && k <= at + static_cast<int32_t>(w.size())) {
                char text[40];
                std::snprintf(text, sizeof text, "%.17E", value);
                w[static_cast<size_t>(k - at - 1)] = text;
                line.clear();
                for (const std::string& x : w) line += " " + x;
                done = true;
            }
            at += static_cast<int32_t>(w.size());
        }
        out << line << '\n';
    }
    ASSERT_TRUE(done) << "no STORF word " << k;
    std::ofstream(path) << out.str();
}

// Half a second from data with a snapshot; the snapshot's charge set to
// `soc` (per unit); then 50 ms from it with output files "rest".
ProgramResult restored_with_charge(const CaseFolder& f, int32_t word, double soc) {
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n0.5\nhalf\nstation.map\n1\n0\n0\n",
                                  f.path());
    EXPECT_EQ(r.exit_code, 0) << r.out;
    set_stored(f.file("half.snp"), word, kCapacity * soc);
    return run_program({zarik_program(), "-startup:alone"}, "1\n1\n9.0\nrest\n0\n1\n1\nrest\n0\nhalf.snp\n0.05\n",
                       f.path());
}

TEST_F(BatteryCharge, LowWithUnroundedDirectionRunsTheBoostSide) {
    const int32_t word = charge_word();
    ASSERT_GT(word, 0);
    const CaseFolder f;
    f.edit("station.map", " 24 0.0  ! DirSel", " 24 0.3  ! DirSel");
    const ProgramResult r = restored_with_charge(f, word, 0.03);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const Rows rows = read_channels(f, "rest");
    ASSERT_GE(rows.size(), 50u);
    for (const auto& c : rows) {
        ASSERT_NEAR(c[16], 3.0, 0.05) << c[0];
        ASSERT_EQ(c[33], 1.0) << c[0];
        ASSERT_EQ(c[34], 0.0) << c[0];
    }
}

TEST_F(BatteryCharge, EmptyKeepsTheEmfFiniteAndWarns) {
    const int32_t word = charge_word();
    ASSERT_GT(word, 0);
    const CaseFolder f;
    const ProgramResult r = restored_with_charge(f, word, 0.0);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("Battery state of charge below 1 %: its polarisation voltage is held at the 1 % value."),
              std::string::npos)
        << r.out;
    const Rows rows = read_channels(f, "rest");
    ASSERT_GE(rows.size(), 50u);
    for (const auto& c : rows) {
        for (size_t k = 1; k < c.size(); ++k) ASSERT_TRUE(std::isfinite(c[k])) << k << " at " << c[0];
        ASSERT_LT(c[16], 1.0) << c[0];
        // Empty, discharging is blocked.
        ASSERT_EQ(c[33], 0.0) << c[0];
    }
}

}  // namespace
