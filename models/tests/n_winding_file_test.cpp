// Transformers set up from a transformer data file: the two forms, the
// resistance lines, the caller's file afterwards and every read fault.
#include <string>

#include "models/tests/xfmr_model_support.h"

namespace {

class DataFileModel : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        declare({4, 2, 2});
    }
    // Sets up k1 (and k2, k3) of n windings from file in form.
    static void cfg(int32_t form, const char* file, int32_t n = 4, double s = 100.0, double f = 60.0,
                    int32_t k2 = 0, int32_t k3 = 0) {
        int32_t k1 = n == 4 ? 1 : 2;
        const double rated[4] = {230.0, 115.0, 13.8, 4.16}, none[4] = {};
        // Form 2 takes no rating: all of them 0 with S 0.
        const double* v = s == 0.0 ? none : rated;
        N_WDG_TF_CFG(k1, k2, k3, form, n, f, s, v, file);
    }
    static std::string eof_frame(const std::string& line, const std::string& file) {
        return " End_Of_File while reading data file " + pad_text(file, 72) + "\n" +
               abort_frame_of("RDCMNT", 1, line, file);
    }
};

TEST_F(DataFileModel, LeakagesListedRowByRowGiveTheMatrixBuildersGamma) {
    write_file("x.dat", "! leakages\nC of four windings\n.1\n.2\n.25  extra\n.15\n.2\n.1\n\n! resistances\n1\n"
                        "0.01\n0\n0\n0.02\n");
    cfg(1, "x.dat");
    EXPECT_NEAR(M(1, 1), 7.45041736, 1e-8 * 7.45);
    EXPECT_NEAR(M(2, 3), -97.1793569, 1e-8 * 97.2);
    EXPECT_NEAR(M(4, 4), 22774.5399, 1e-8 * 22774.5);
    EXPECT_NEAR(R(1), 0.01 * 230.0 * 230.0 / 100.0, 1e-12);
    EXPECT_EQ(R(2), 0.0);
    EXPECT_NEAR(R(4), 0.02 * 4.16 * 4.16 / 100.0, 1e-15);
}

TEST_F(DataFileModel, InductancesAsReadForEveryTransformerNamed) {
    // Two numbers on a line: the first counts.
    write_file("l.dat", "0.1 0.7\n0.09\n0.2\n1\n0.5\n2.0\n");
    cfg(2, "l.dat", 2, 0.0, 0.0, 3);
    for (const int32_t k : {2, 3}) {
        EXPECT_DOUBLE_EQ(XFMR_TABLES.XF_LTERM(1, 1, k), 0.1 * 2.0 / 50e-6) << k;
        EXPECT_DOUBLE_EQ(XFMR_TABLES.XF_LTERM(1, 2, k), 0.09 * 2.0 / 50e-6) << k;
        EXPECT_DOUBLE_EQ(XFMR_TABLES.XF_LTERM(2, 2, k), 0.2 * 2.0 / 50e-6) << k;
        EXPECT_EQ(XFMR_TABLES.XF_RES(2, 2, k), 2.0) << k;
    }
    // A flag of 0 ignores the resistance lines that follow.
    write_file("l0.dat", "0.1\n0.09\n0.2\n0\n0.5\n2.0\n");
    cfg(2, "l0.dat", 2);
    EXPECT_EQ(R(1), 0.0);
    EXPECT_EQ(R(2), 0.0);
    EXPECT_EQ(M(1, 2), 0.09);
}

TEST_F(DataFileModel, TheCallersFileIsCurrentAgain) {
    write_file("caller.dat", "first line\nsecond line\n");
    write_file("l.dat", "0.1\n0.09\n0.2\n0\n");
    INPUT.DATA_FILE_NAME.assign("caller.dat");
    OPENFILE();
    Text72 line;
    ASSERT_EQ(READ_DATA_LINE(line), ReadStatus::Ok);
    const int32_t unit = INPUT.INPUT_UNIT;
    cfg(2, "l.dat", 2);
    EXPECT_EQ(INPUT.INPUT_UNIT, unit);
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "caller.dat");
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), "first line");
    ASSERT_EQ(READ_DATA_LINE(line), ReadStatus::Ok);
    EXPECT_EQ(line.trimmed(), "second line");
}

struct ReadFault {
    const char* name;
    const char* text;
};
void PrintTo(const ReadFault& c, std::ostream* os) { *os << c.name; }

class ReadFaults : public DataFileModel, public testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFaults, ReportTheFileAndStop) {
    write_file("bad.dat", GetParam().text);
    EXPECT_STOPS(cfg(2, "bad.dat", 2), error_line("Unexpected error in reading file ") + error_line("bad.dat") +
                                           abort_frame_of("N_WDG_TF_CFG", 0));
}

INSTANTIATE_TEST_SUITE_P(Cfg, ReadFaults,
                         testing::Values(ReadFault{"matrix_not_a_number", "0.1\nabc\n0.2\n0\n"},
                                         ReadFault{"flag_not_a_number", "0.1\n0.09\n0.2\nyes\n"},
                                         ReadFault{"resistance_not_a_number", "0.1\n0.09\n0.2\n1\n0.5\nx\n"},
                                         ReadFault{"resistances_missing", "0.1\n0.09\n0.2\n1\n0.5\n"},
                                         ReadFault{"matrix_nan", "0.1\nNaN\n0.2\n0\n"},
                                         ReadFault{"resistance_infinite", "0.1\n0.09\n0.2\n1\n0.5\n-Inf\n"}),
                         [](const testing::TestParamInfo<ReadFault>& p) { return std::string(p.param.name); });

TEST_F(DataFileModel, AFileEndingBeforeTheFlagMeetsTheCommentSkip) {
    write_file("short.dat", "0.1\n0.09\n0.2\n");
    EXPECT_STOPS(cfg(2, "short.dat", 2), eof_frame("0.1", "short.dat"));
}

TEST_F(DataFileModel, ArgumentFaultsBeforeAnyFile) {
    EXPECT_STOPS(cfg(3, "none.dat", 1),
                 error_line("Unexpected transformer type") + error_line("Number of windings should be more than 1") +
                     abort_frame_of("N_WDG_TF_CFG", 0));
    declare({4, 2, 2});
    EXPECT_STOPS(cfg(1, "none.dat", 4, 1e-7, 0.0),
                 error_line("Unrealistically low rated MVA specified") +
                     error_line("Unrealistically low rated frequency specified") + abort_frame_of("N_WDG_TF_CFG", 0));
    declare({4, 2, 2});
    EXPECT_STOPS(cfg(1, "none.dat", 2, 100.0, 60.0, 1),
                 error_line("Transformer number 1 has 4 windings in the TRANSFORMERS: section, the model needs 2.") +
                     abort_frame_of("N_WDG_TF_CFG", 0));
}

}  // namespace
