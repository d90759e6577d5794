// The whole case connected to a scripted front end: the panel items of its
// first step in call order, and those of the step that starts the control.
#include <string>
#include <vector>

#include "case/tests/case_support.h"
#include "link/tests/fake_front_end.h"
#include "link/wire_codes.h"

namespace {

using fake_fe::FakeFrontEnd;
using fake_fe::WireFrame;

constexpr int kWait = 20000;

struct Item {
    int32_t step;
    std::string text;  // "instance component value name"
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Item& i) { return o << i.step << ": " << i.text; }

// From the step after the one before, a control value (CX index, value;
// index 0 none) set, then steps up to `last` granted.
struct Phase {
    int32_t index;
    double value;
    int32_t last;
};

// Runs the phases and keeps every panel item; then stops the run and
// closes.
std::vector<Item> panel_items(const CaseFolder& folder, const std::vector<Phase>& phases, std::string& console) {
    FakeFrontEnd fe;
    std::vector<Item> items;
    fe.Run([&](FakeFrontEnd& f) {
        if (!f.Accept(kWait) || !f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("station.map")) ||
            !f.SendInts({FE_SETUP_NO_OUTPUT}) || !f.SendInts({FE_SETUP_END}))
            return;
        size_t phase = 0;
        f.SendInts({FE_CMD_STEPS, phases[0].last + 1});
        // Panel items carry no step; the time of a print step follows
        // them, so an item is dated by the next print step (steps 0 and
        // last are print steps, 20 steps apart).
        std::vector<std::string> pending;
        bool collecting = true, at_last = false;
        while (auto r = f.ReadFrame(kWait)) {
            const int32_t code = r->Int();
            if (code == FE_MSG_PANEL_INT || code == FE_MSG_PANEL_TEXT) {
                if (collecting) pending.push_back(r->Items(code == FE_MSG_PANEL_INT ? "iiis" : "iiss"));
            } else if (code == FE_MSG_TIME) {
                const int32_t step = r->Int();
                for (const std::string& p : pending) items.push_back({step, p});
                pending.clear();
                at_last = step == phases[phase].last;
            } else if (code == FE_MSG_TRACE && at_last && collecting) {
                at_last = false;
                if (++phase == phases.size()) {
                    collecting = false;
                    f.SendInts({FE_CMD_STOP});
                } else {
                    if (phases[phase].index > 0)
                        f.Send(f.Frame().Int(FE_CMD_SET_VAR).Int(phases[phase].index).Double(phases[phase].value));
                    f.SendInts({FE_CMD_STEPS, phases[phase].last - phases[phase - 1].last});
                }
            } else if (code == FE_MSG_END_OF_RUN) {
                break;
            }
        }
        f.SendInts({FE_CMD_END_ANSWER, 0});
        while (auto r = f.ReadFrame(kWait))
            if (r->Int() == FE_SHUTDOWN) break;
        f.SendInts({FE_SHUTDOWN});
        f.WaitForClose(kWait);
    });
    const ProgramResult r =
        run_program({zarik_program(), "-v4", "127.0.0.1", std::to_string(fe.Port())}, "", folder.path(), 60000);
    fe.Join(kWait);
    console = r.out;
    return items;
}

TEST(CaseConnected, PanelItemsOfTheFirstStepAndOfTheControlStart) {
    const CaseFolder folder;
    std::string console;
    const std::vector<Item> items = panel_items(folder, {{0, 0.0, 2000}}, console);
    std::vector<std::string> first;
    for (const Item& i : items)
        if (i.step == 0) first.push_back(i.text.substr(0, i.text.rfind(' ', i.text.rfind(' ') - 1)) + " " +
                                         i.text.substr(i.text.rfind(' ') + 1));
    // Dynamic pass: Main's breaker and fault, the bridge's breakers; then
    // the output pass's meters of Main, VSCandCtrl and the bridge.
    const std::vector<std::string> want_first = {
        "2 1877753221 BOpen1", "2 1877753221 BOpen2", "2 1877753221 BOpen3", "2 2104699080 AG1",
        "18 39817226 BOpen1",  "18 39817226 BOpen2",  "18 39817226 BOpen3",
        "2 1981579466 Pd",     "2 1981579466 Qd",     "2 1981579466 Vd",     "2 1981579466 hide1",
        "2 1981579466 hide2",  "2 1983564093 Pd",     "2 1983564093 Qd",     "2 1983564093 Vd",
        "2 1983564093 hide1",  "2 1983564093 hide2",  "8 159494619 Pd",      "8 159494619 Qd",
        "8 159494619 Vd",      "8 159494619 hide1",   "8 159494619 hide2",   "8 322643086 Pd",
        "8 322643086 Qd",      "8 322643086 Vd",      "8 322643086 hide1",   "8 322643086 hide2",
        "18 27419401 Pd",      "18 27419401 hide1",   "18 27419401 hide2"};
    EXPECT_EQ(first, want_first) << console;
    std::vector<Item> at_start;
    for (const Item& i : items)
        if (i.step == 2000) at_start.push_back(i);
    EXPECT_EQ(at_start, (std::vector<Item>{{2000, "18 39817226 0 BOpen1"},
                                           {2000, "18 39817226 0 BOpen2"},
                                           {2000, "18 39817226 0 BOpen3"}}));
    // Nothing else changes in between.
    for (const Item& i : items) EXPECT_TRUE(i.step == 0 || i.step == 2000) << i;
}

// BrkCmd (CX 1) at 1 opens each phase at its own current zero; back at 0
// it closes all three at once.
TEST(CaseConnected, MainBreakerDisplaysOnChangeOnly) {
    const CaseFolder folder;
    std::string console;
    const std::vector<Item> items =
        panel_items(folder, {{0, 0.0, 2000}, {1, 1.0, 2600}, {1, 0.0, 3000}}, console);
    std::vector<Item> breaker;
    for (const Item& i : items)
        if (i.step > 0 && i.text.rfind("2 1877753221 ", 0) == 0) breaker.push_back(i);
    ASSERT_EQ(breaker.size(), 6u) << console << testing::PrintToString(breaker);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(breaker[k].text.substr(13, 1), "2");
        EXPECT_GT(breaker[k].step, 2000);
        EXPECT_LE(breaker[k].step, 2000 + 200);
        EXPECT_EQ(breaker[3 + k].text.substr(13, 1), "0");
        EXPECT_EQ(breaker[3 + k].step, breaker[3].step);
        EXPECT_GT(breaker[3 + k].step, 2600);
    }
}

// FaultCmd (CX 6) at 1: the fault applies in the step that reads it and
// clears 0.2 s later at the last fault branch's current zero.
TEST(CaseConnected, FaultDisplayOnceOnEachChange) {
    const CaseFolder folder;
    std::string console;
    const std::vector<Item> items = panel_items(folder, {{0, 0.0, 2000}, {6, 1.0, 6400}}, console);
    std::vector<Item> fault;
    for (const Item& i : items)
        if (i.step > 0 && i.text.rfind("2 2104699080 ", 0) == 0) fault.push_back(i);
    ASSERT_EQ(fault.size(), 2u) << console << testing::PrintToString(fault);
    EXPECT_EQ(fault[0], (Item{2020, "2 2104699080 1 AG1"}));
    EXPECT_EQ(fault[1].text, "2 2104699080 0 AG1");
    EXPECT_GE(fault[1].step, 2001 + 4000);
    EXPECT_LE(fault[1].step, 2001 + 4000 + 167 + 20);
}

}  // namespace
