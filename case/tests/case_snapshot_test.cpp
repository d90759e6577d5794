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
    // Progress counts from the snapshot's step, so the restored run's last
    // print step is its whole.
    EXPECT_NE(r.out.find(" => This run is 100% complete.\n"), std::string::npos) << r.out;
    for (int k = 1; k <= 11; ++k) {
        const std::vector<std::string> straight = records(out_file(f, "station", k));
        const std::vector<std::string> rest = records(out_file(f, "rest", k));
        ASSERT_EQ(straight.size(), 2001u);
        ASSERT_EQ(rest.size(), 1000u) << k;
        for (size_t n = 0; n < rest.size(); ++n) ASSERT_EQ(rest[n], straight[1001 + n]) << k << " record " << n;
    }
}

// From "PARAMETERS:" on, a snapshot holds nothing of the allocation.
std::string from_parameters(const std::string& file) {
    const size_t at = file.find("\n PARAMETERS:\n");
    return at == std::string::npos ? std::string() : file.substr(at);
}

// The transformer's state survives the restore: the snapshot at 2 s of a
// run restored at 1 s is the straight run's.
TEST(CaseSnapshot, RestoredRunEndsInTheStraightRunsSnapshot) {
    const CaseFolder f;
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n2.0\nfull\nstation.map\n1\n0\n0\n",
                                  f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = run_program({zarik_program(), "-startup:alone"}, "1\n1\n1.0\nrest\n0\n1\n0\n0\nhalf.snp\n1.0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string straight = from_parameters(read_text(f.file("full.snp")));
    ASSERT_NE(straight.find(" SNAP_TIME      =  2.0000000000000000"), std::string::npos);
    ASSERT_NE(straight.find("!*** TRANSFORMER DATA"), std::string::npos);
    const std::string restored = from_parameters(read_text(f.file("rest.snp")));
    if (restored != straight) {
        std::ofstream(f.file("a")) << straight;
        std::ofstream(f.file("b")) << restored;
        ADD_FAILURE() << run_program({"/usr/bin/diff", f.file("a"), f.file("b")}, "", f.path()).out;
    }
}

}  // namespace
