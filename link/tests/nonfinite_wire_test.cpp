// Control values from the front end that are not finite numbers: each is
// dropped with a warning naming its command and index, the control keeps
// its value, and the frames and answers go on as for any other value.
#include <cmath>
#include <limits>
#include <vector>

#include "engine/storage.h"
#include "link/run_commands.h"
#include "link/tests/link_test_support.h"

namespace {

using namespace link_test;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class NonFiniteWire : public LinkedEngine {
protected:
    void SetUp() override {
        LinkedEngine::SetUp();
        STORAGE.CX.allocate(4);
        STORAGE.TX.allocate(3);
        for (int i = 1; i <= 4; ++i) STORAGE.CX(i) = 10.0 * i;
    }
    // With a step in hand a poll takes every waiting command and returns.
    static void Poll() {
        int32_t granted = 1, result = -1;
        POLL_MESSAGES(granted, result);
        EXPECT_EQ(result, 0);
    }
    void SendTogether(std::initializer_list<WireWriter> frames) {
        std::string bytes;
        for (const WireWriter& w : frames) bytes += w.Frame();
        ASSERT_TRUE(fe().SendRaw(bytes));
    }
    WireWriter Rec(int32_t code) { return fe().Frame().Int(code); }
    static std::string Dropped(const char* command, int index) {
        return std::string("0 0 1 1 ") + command + " value for index " + std::to_string(index) +
               " ignored: it is not a finite number.";
    }
};

TEST_F(NonFiniteWire, SetVarKeepsTheControlAndStillAnswers) {
    SendTogether({Rec(FE_CMD_SET_VAR).Int(2).Double(kNaN), Rec(FE_CMD_SET_VAR).Int(3).Double(-kInf),
                  Rec(FE_CMD_SET_VAR).Int(2).Double(5.5)});
    Poll();
    EXPECT_EQ(NextUserRecord(), Dropped("SET_VAR", 2));
    EXPECT_EQ(Next(FE_MSG_VAR_SET, "i"), "2");
    EXPECT_EQ(NextUserRecord(), Dropped("SET_VAR", 3));
    EXPECT_EQ(Next(FE_MSG_VAR_SET, "i"), "3");
    EXPECT_EQ(Next(FE_MSG_VAR_SET, "i"), "2");
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(STORAGE.CX(2), 5.5);
    EXPECT_EQ(STORAGE.CX(3), 30.0);
}

TEST_F(NonFiniteWire, SetButtonIsNotPressed) {
    SendTogether({Rec(FE_CMD_BUTTON).Int(4).Double(kInf), Rec(FE_CMD_BUTTON).Int(1).Double(1.0)});
    Poll();
    EXPECT_EQ(NextUserRecord(), Dropped("SET_BUTTON", 4));
    EXPECT_TRUE(fe().Quiet());  // presses are not answered
    EXPECT_EQ(STORAGE.CX(4), 40.0);
    EXPECT_EQ(STORAGE.CX(1), 1.0);
    EXPECT_EQ(RUN_COMMANDS.button_count, 1);
    RELEASE_BUTTONS();
    EXPECT_EQ(STORAGE.CX(1), 10.0);
    EXPECT_EQ(STORAGE.CX(4), 40.0);
}

TEST_F(NonFiniteWire, TxPairsGoOnPastTheDroppedOne) {
    STORAGE.TX(2) = 2.5;
    fe().Send(Rec(FE_CMD_TXARRAY).Int(1).Double(1.5).Int(2).Double(kNaN).Int(3).Double(3.5).Int(0));
    Poll();
    EXPECT_EQ(NextUserRecord(), Dropped("GET_TXARRAY", 2));
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(std::vector<double>({STORAGE.TX(1), STORAGE.TX(2), STORAGE.TX(3)}), std::vector<double>({1.5, 2.5, 3.5}));
    EXPECT_EQ(fe_bytes_left(0), 0);
}

}  // namespace
