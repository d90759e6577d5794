// The tests' copy of the case: its own files, whatever runs have left in
// its folder beside them.
#include <filesystem>
#include <fstream>
#include <set>

#include "case/tests/case_support.h"

namespace {

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

TEST(CaseCopy, TakesOnlyTheCasesOwnFiles) {
    TempDir from, to;
    ASSERT_TRUE(from.ok() && to.ok());
    ASSERT_TRUE(copy_case(case_data_dir(), from.path));
    const std::set<std::string> own = names_in(from.path);
    // The map, its 19 pages, 17 module data files, the answers, the channel
    // table, the notes and the script that writes them.
    EXPECT_EQ(own.size(), 41u);
    // What the README's runs and plots leave, and an output folder.
    for (const char* name : {"station.inf", "station_01.out", "half.snp", "rest.inf", "rest_11.out", "out.inf",
                             "case.png", "three.dat"})
        std::ofstream(from.file(name)) << "0\n";
    std::filesystem::create_directories(from.file("runs/a"));
    ASSERT_TRUE(copy_case(from.path, to.path));
    EXPECT_EQ(names_in(to.path), own);
}

}  // namespace
