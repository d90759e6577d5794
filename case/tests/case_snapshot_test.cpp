// The whole case through a snapshot: 1 s, a snapshot, a restored run of
// the second second gives the output records of 2 s straight through.
#include <filesystem>
#include <vector>

#include "case/tests/case_support.h"

namespace {

std::vector<std::string> records(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(read_text(path));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        if (line.find_first_not_of(' ') != std::string::npos) out.push_back(line);
    return out;
}

std::string out_file(const CaseFolder& f, const std::string& base, int k) {
    char name[40];
    std::snprintf(name, sizeof name, "%s_%02d.out", base.c_str(), k);
    return f.file(name);
}

TEST(CaseSnapshot, RestoredRunGoesOnToTheLastDigit) {
    const CaseFolder f;
    ASSERT_EQ(f.run().exit_code, 0);
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n",
                                  f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    // A restored run opens no module data file.
    for (const auto& e : std::filesystem::directory_iterator(f.path()))
        if (e.path().extension() == ".dta") std::filesystem::remove(e.path());
    r = run_program({zarik_program(), "-startup:alone"}, "1\n1\n9.0\nrest\n0\n1\n1\nrest\n0\nhalf.snp\n1.0\n",
                    f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("WARN"), std::string::npos) << r.out;
    for (int k = 1; k <= 11; ++k) {
        const std::vector<std::string> straight = records(out_file(f, "station", k));
        const std::vector<std::string> rest = records(out_file(f, "rest", k));
        ASSERT_EQ(straight.size(), 2001u);
        ASSERT_EQ(rest.size(), 1000u) << k;
        for (size_t n = 0; n < rest.size(); ++n) ASSERT_EQ(rest[n], straight[1001 + n]) << k << " record " << n;
    }
}

}  // namespace
