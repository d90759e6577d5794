// tools/plot_case.py on a short run of the case: the picture is written,
// and a channel or a run it cannot find is named.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "case/tests/case_support.h"

namespace {

const char* const kPython = "/usr/bin/python3";

std::string plot_script() { return std::string(ZARIK_SOURCE_DIR) + "/tools/plot_case.py"; }

class PlotCase : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(access(kPython, X_OK), 0) << "python3 is missing";
        folder_.edit("station.map", " FINISH_TIME = 2.0\n", " FINISH_TIME = 0.02\n");
        ASSERT_EQ(folder_.run().exit_code, 0);
    }
    // Runs the script in the case's folder or in a folder `where` within it.
    ProgramResult plot(std::vector<std::string> args, const std::string& where = "") const {
        args.insert(args.begin(), {kPython, plot_script()});
        return run_program(args, "", where.empty() ? folder_.path() : folder_.file(where));
    }
    CaseFolder folder_;
};

TEST_F(PlotCase, WritesThePicture) {
    const ProgramResult r = plot({"VdcSS2", "Battery:BattP", "1", "-o", "three.png"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "three.png\n");
    const std::string png = read_text(folder_.file("three.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // 900 pixels wide, 220 a panel and 60 more high.
    const auto be32 = [&png](size_t at) {
        return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
               (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 900u);
    EXPECT_EQ(be32(20), 3u * 220u + 60u);
}

TEST_F(PlotCase, NamesTheBaseByDefault) {
    const ProgramResult r = plot({"VPccPu"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "./station.png\n");
    EXPECT_TRUE(std::filesystem::exists(folder_.file("station.png")));
}

TEST_F(PlotCase, RefusesWhatItCannotFind) {
    std::filesystem::create_directory(folder_.file("empty"));
    // A value file lost, or cut short in its 13th record as a copy can be.
    const auto remove_third = [this] { std::filesystem::remove(folder_.file("station_03.out")); };
    const auto cut_second = [this] {
        const std::string path = folder_.file("station_02.out"), whole = read_text(path);
        size_t at = 0;
        for (int line = 0; line < 13; ++line) at = whole.find('\n', at) + 1;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, at + 60);
    };
    const struct {
        std::vector<std::string> args;
        std::string where;
        int exit_code;
        std::string err;
        std::function<void()> spoil;
    } rows[] = {
        {{"BattSoc"}, "", 1, "plot_case.py: BattSoc names channels Main:BattSoc, Battery:BattSoc\n", {}},
        {{"Vdc"}, "", 1, "plot_case.py: no channel named Vdc\n", {}},
        {{"107"}, "", 1, "plot_case.py: no channel 107: the run has 106\n", {}},
        // No run where it starts, as in the top folder without -d.
        {{"VdcSS2"}, "empty", 2, "plot_case.py: no file ./station.inf: give the run's folder with -d\n", {}},
        {{"VdcSS2", "-d", "gone"}, "", 2, "plot_case.py: no file gone/station.inf: give the run's folder with -d\n", {}},
        {{"25"}, "", 2, "plot_case.py: no file ./station_03.out\n", remove_third},
        {{"15"}, "", 2, "plot_case.py: ./station_02.out is cut short: record 13 holds 3 values, the first 11\n",
         cut_second},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.err);
        if (row.spoil) row.spoil();
        const ProgramResult r = plot(row.args, row.where);
        EXPECT_EQ(r.exit_code, row.exit_code);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(folder_.file("station.png")));
    EXPECT_FALSE(std::filesystem::exists(folder_.file("empty/station.png")));
}

// Python code run with the script loaded as m.
ProgramResult run_plot_module(const std::string& code) {
    return run_program({kPython, "-c",
                        "import importlib.util as u\n"
                        "s = u.spec_from_file_location('plot', '" + plot_script() + "')\n"
                        "m = u.module_from_spec(s); s.loader.exec_module(m)\n" + code},
                       "", ".");
}

// A panel's range reaches past its data, so that a flat line at 0.999 pu
// or one on the data's edge is drawn inside the frame, not on it.
TEST(PlotCaseRange, LeavesAMarginAroundTheData) {
    const ProgramResult r = run_plot_module(
        "for v in ([0, 0.5, 0.999], [0.999, 0.999], [0, 0], [-2, -2]):\n"
        "    print('%r %r' % m.panel_range(v))\n");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "-0.04995 1.04895\n"
              "0.94905 1.04895\n"
              "-0.05 0.05\n"
              "-2.1 -1.9\n");
}

// What gnuplot is sent: text not enhanced, so that a module's name keeps its
// underscores rather than turning what follows them into subscripts.
TEST(PlotCaseScript, WritesNamesAsTheyAre) {
    const ProgramResult r = run_plot_module(
        "print(m.gnuplot_script('p.png', [('ConvBridge_Avg_6:Bridge5', 'a.dat', (-0.5, 0.5))]), end='')\n");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "set terminal png noenhanced size 900,280\n"
              "set output 'p.png'\n"
              "set multiplot layout 1,1\n"
              "set grid\n"
              "unset key\n"
              "set yrange [-0.5:0.5]\n"
              "set ylabel 'ConvBridge_Avg_6:Bridge5'\n"
              "set xlabel 'time (s)'\n"
              "plot 'a.dat' using 1:2 with lines\n"
              "unset multiplot\n");
}

}  // namespace
