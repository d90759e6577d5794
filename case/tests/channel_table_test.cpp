// The table of output channels in case/data: written by make_case.py with
// the rest of the data, and naming the channels of a run's .inf file one
// for one.
#include <filesystem>
#include <vector>

#include "case/tests/case_support.h"

namespace {

const char* const kPython = "/usr/bin/python3";

std::vector<std::string> lines_of_text(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The cells of a table row "| a | b |", trimmed.
std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> out;
    size_t at = row.find('|');
    while (at != std::string::npos) {
        const size_t next = row.find('|', at + 1);
        if (next == std::string::npos) break;
        std::string c = row.substr(at + 1, next - at - 1);
        const size_t a = c.find_first_not_of(' '), b = c.find_last_not_of(' ');
        out.push_back(a == std::string::npos ? "" : c.substr(a, b - a + 1));
        at = next;
    }
    return out;
}

// The rows of CHANNELS.md after its heading and rule.
std::vector<std::vector<std::string>> table_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    bool body = false;
    for (const std::string& line : lines_of_text(text)) {
        if (line.rfind("|---", 0) == 0) {
            body = true;
            continue;
        }
        if (body && line.rfind("| ", 0) == 0) rows.push_back(cells(line));
    }
    return rows;
}

TEST(ChannelTable, MakeCaseWritesTheDataAsCheckedIn) {
    ASSERT_EQ(access(kPython, X_OK), 0) << "python3 is missing";
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::filesystem::copy_file(case_data_dir() + "/make_case.py", dir.file("make_case.py"));
    const ProgramResult r = run_program({kPython, dir.file("make_case.py")}, "", dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    int32_t written = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = e.path().filename().string();
        if (name == "make_case.py" || name == "__pycache__") continue;
        ++written;
        EXPECT_EQ(read_text(e.path().string()), read_text(case_data_dir() + "/" + name)) << name;
    }
    // The map, its 19 pages, 17 module data files, the answers and the table.
    EXPECT_EQ(written, 39);
}

TEST(ChannelTable, NamesTheRunsChannelsOneForOne) {
    const CaseFolder f;
    // Past the control's start at 0.1 s, so that the marked channels vary.
    f.edit("station.map", " FINISH_TIME = 2.0\n", " FINISH_TIME = 0.2\n");
    ASSERT_EQ(f.run().exit_code, 0);
    const std::vector<std::string> inf = lines_of_text(read_text(f.file("station.inf")));
    const auto rows = table_rows(read_text(f.file("CHANNELS.md")));
    ASSERT_EQ(inf.size(), 106u);
    ASSERT_EQ(rows.size(), inf.size());
    const Rows values = read_channels(f);
    ASSERT_FALSE(values.empty());
    const std::string same = "the same as ";
    int32_t marked = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::vector<std::string>& c = rows[k];
        ASSERT_EQ(c.size(), 8u) << k;
        EXPECT_EQ(c[0], std::to_string(k + 1));
        std::string module = inf[k].substr(0, 17);
        module.erase(module.find_last_not_of(' ') + 1);
        EXPECT_EQ(c[3], module) << "channel " << k + 1;
        EXPECT_EQ(c[4], inf[k].substr(17)) << "channel " << k + 1;
        EXPECT_FALSE(c[5].empty()) << "channel " << k + 1;
        EXPECT_FALSE(c[6].empty()) << "channel " << k + 1;
        // The file and column it is written in: its value there is the one
        // read_channels gives it.
        char name[32];
        std::snprintf(name, sizeof name, "station_%s.out", c[1].c_str());
        const std::vector<std::string> records = lines_of_text(read_text(f.file(name)));
        ASSERT_GE(records.size(), 2u) << name;
        std::istringstream last(records.back());
        std::vector<double> v;
        for (double x; last >> x;) v.push_back(x);
        const size_t column = std::stoul(c[2]);
        ASSERT_GE(v.size(), column) << name;
        EXPECT_EQ(v[column - 1], values.back()[k + 1]) << "channel " << k + 1;
        // "the same as X": equal at every record to the first channel named X.
        if (c[5].rfind(same, 0) != 0) continue;
        ++marked;
        const std::string x = c[5].substr(same.size(), c[5].find_first_of(" (", same.size()) - same.size());
        size_t j = 0;
        while (j < k && rows[j][4] != x) ++j;
        ASSERT_LT(j, k) << "channel " << k + 1 << " names " << x;
        for (const std::vector<double>& r : values)
            ASSERT_EQ(r[k + 1], r[j + 1]) << "channel " << k + 1 << " at " << r[0];
    }
    EXPECT_EQ(marked, 20);
}

}  // namespace
