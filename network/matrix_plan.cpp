#include "network/matrix_plan.h"

#include <algorithm>

#include "engine/solution_arrays.h"
#include "network/dimensions.h"
#include "network/line_reader.h"

void plan_layout(MatrixPlan& plan, const Text72& line) {
    if (FIRST_TOKEN(line) == "USE_SUBSYSDIM") plan.per_subsystem = FIRST_TOKEN(GETVALUE(line)) == "YES";
}

void plan_sizes(MatrixPlan& plan, ListRead& in) {
    const int64_t nodes = std::max(DIMBLOCK.REQ[ND_NODES], 1);
    int32_t count = 0;
    in.integer(count);
    const int32_t n = std::min(count, std::max(DIMBLOCK.REQ[ND_SUBSYS], 1));
    plan.sized = true;
    for (int32_t ss = 1; ss <= n && in.ok(); ++ss) {
        int32_t size = 0;
        in.integer(size);
        const int64_t held = std::clamp<int64_t>(size, 0, nodes);
        plan.cells += static_cast<ByteCount>(held * held);
    }
}

MatrixPlan snapshot_matrix_plan(const std::string& path, int unit) {
    MatrixPlan plan;
    if (!unit_open(unit, path, UnitMode::Read)) return plan;
    std::string record;
    while (unit_read_line(unit, record) == ReadStatus::Ok) {
        const Text72 line{std::string_view(record)};
        const Text72 token = FIRST_TOKEN(line);
        if (token == "SUBSYSDIM:") {
            ListRead in(unit);
            plan_sizes(plan, in);
            break;
        }
        plan_layout(plan, line);
    }
    unit_close(unit);
    return plan;
}

ByteCount planned_bytes(const MatrixPlan& plan) {
    return plan.sized ? planned_matrix_bytes(plan.per_subsystem, plan.cells) : 0;
}
