// The console text plot and the progress line.
#include <cmath>

#include "snapshot/tests/output_test_support.h"

namespace {

class PlotTest : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        channels(12);
        PARAMS.SCREEN_PMIN = -1.0;
        PARAMS.SCREEN_PMAX = 1.0;
        RUN_OUTPUT.plot_heading_pending = LFALSE;
    }
    // The plot area of one line: column c is character c.
    static std::string plot_of(const std::vector<double>& values) {
        DIMBLOCK.NPGBS = static_cast<int32_t>(values.size());
        for (size_t k = 0; k < values.size(); ++k) STORAGE.PGB(static_cast<int32_t>(k + 1)) = values[k];
        const std::string out = capture(SCREEN_PLOT).out;
        return out.size() == 65 ? out.substr(11, 53) : "bad line: " + out;
    }
    // Where each marker stands, as "digit@column" items.
    static std::string markers(const std::string& plot) {
        std::string s;
        for (size_t c = 1; c + 1 < plot.size(); ++c)
            if (plot[c] != ' ') s += std::string(s.empty() ? "" : " ") + plot[c] + "@" + std::to_string(c);
        return s;
    }
};

TEST_F(PlotTest, MarkerColumns) {
    struct Case {
        const char* name;
        std::vector<double> values;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"zero", {0.0}, "1@26"},
        {"upper limit", {1.0}, "1@51"},
        {"above", {5.0}, "1@51"},
        {"below", {-3.0}, "1@1"},
        {"not a number", {std::nan("")}, "1@1"},
        {"equal values show the later digit", {0.5, 0.5}, "2@39"},
        {"ten of twelve, channel ten as 0",
         {-1.0, -0.8, -0.6, -0.4, -0.2, 0.0, 0.2, 0.4, 0.6, 0.8, 0.9, 1.0},
         "1@1 2@6 3@11 4@16 5@21 6@26 7@31 8@36 9@41 0@46"},
    };
    for (const Case& c : cases) {
        const std::string plot = plot_of(c.values);
        EXPECT_EQ(markers(plot), c.expected) << c.name;
        EXPECT_EQ(plot.front(), 'I');
        EXPECT_EQ(plot.back(), 'I');
    }
    // Equal limits: above and below go to the edges, the limit itself to
    // the first column.
    PARAMS.SCREEN_PMIN = PARAMS.SCREEN_PMAX = 0.5;
    EXPECT_EQ(markers(plot_of({0.7, -2.0})), "2@1 1@51");
    EXPECT_EQ(markers(plot_of({0.7, 0.5})), "2@1 1@51");
}

TEST_F(PlotTest, HeadingOnceThenTheTimeThatAlwaysFits) {
    DIMBLOCK.NPGBS = 0;
    PARAMS.title = "Plot title";
    const std::string title = pad_text("Plot title", 72) + "\n";
    const std::string limits = "\n" + std::string(10, ' ') + edit("G10.3", -1.0) + std::string(39, ' ') +
                               edit("G10.3", 1.0) + "\n";
    const std::string ruler = std::string(11, ' ') + "I" + std::string(51, '-') + "I\n";
    const std::string area = "I" + std::string(51, ' ') + "I\n";
    const auto plot = [] { return capture(SCREEN_PLOT).out; };

    RUN_OUTPUT.plot_heading_pending = LTRUE;
    RUN_CLOCK.DELT = 5e-8;
    RUN_CLOCK.TIME = 0.01;  // 10000 microseconds
    EXPECT_EQ(plot(), title + "\n ****  TIME IS PLOTTED IN MICROSECONDS ****\n\n" + limits + ruler + "10000.00000" + area);
    EXPECT_EQ(plot(), "10000.00000" + area);

    RUN_OUTPUT.plot_heading_pending = LTRUE;
    RUN_CLOCK.DELT = 5e-5;
    EXPECT_EQ(plot(), title + limits + ruler + "   0.010000" + area);
    RUN_CLOCK.TIME = 1e11;
    EXPECT_EQ(plot(), " 0.1000E+12" + area);
}

// The progress lines of a run, one call per print step.
std::string progress(int32_t steps, int32_t every, int32_t snapshot_step = 0, Logical connected = LFALSE) {
    RUN_CLOCK.RUN_STEPS = steps;
    RUN_CLOCK.START_STEP = snapshot_step;
    RUN_SEQ.IRUN += 1;
    std::string lines;
    const int32_t first = snapshot_step > 0 ? snapshot_step + 1 : 0;
    for (int64_t n = first; n <= int64_t{first} + steps; n += every) {
        RUN_CLOCK.NSTEP = static_cast<int32_t>(n);
        const std::string out = capture([connected] { RUN_PROGRESS(connected); }).out;
        if (!out.empty()) lines += std::to_string(n) + ":" + out.substr(16, 3) + " ";
    }
    return lines;
}

TEST_F(OutputTest, ProgressLines) {
    EXPECT_EQ(progress(1000, 1),
              "100: 10 200: 20 300: 30 400: 40 500: 50 600: 60 700: 70 800: 80 900: 90 1000:100 ");
    EXPECT_EQ(progress(1000, 300), "300: 30 600: 60 900: 90 ");
    // A restored run counts from the snapshot's step over the 1,001 steps
    // it takes, and reaches 100 %.
    const std::string restored = progress(1000, 1, 5000);
    EXPECT_EQ(restored.substr(0, 18), "5100: 10 5200: 20 ");
    EXPECT_EQ(restored.substr(restored.size() - 9), "6000:100 ");
    EXPECT_EQ(progress(0, 1, 5000), "5001:100 ");
    EXPECT_EQ(progress(1000, 1, 0, LTRUE), "");
    EXPECT_EQ(progress(30000000, 3000000), "3000000: 10 6000000: 20 9000000: 30 12000000: 40 15000000: 50 "
                                           "18000000: 60 21000000: 70 24000000: 80 27000000: 90 30000000:100 ");
    progress(1000, 2000);
    RUN_CLOCK.NSTEP = 100;
    EXPECT_EQ(capture([] { RUN_PROGRESS(LFALSE); }).out, " => This run is  10% complete.\n");
}

}  // namespace
