// Snapshot file names, the counts of snapshots taken and their listing.
#include <string>

#include "engine/run_state.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/text_units.h"
#include "snapshot/name_base.h"
#include "snapshot/snapshot.h"

SnapshotCounters SNAPSHOT_COUNTERS;

namespace {

constexpr int32_t kIncrementalFiles = 10;

// The longest base a snapshot name keeps.
constexpr size_t kSnapshotBase = 28;

std::string numbered_name(const std::string& base, int32_t number) {
    char digits[3] = {static_cast<char>('0' + number / 10 % 10), static_cast<char>('0' + number % 10), '\0'};
    return base + "_" + digits + ".snp";
}

// A snapshot is written to a file beside it and renamed when whole; a
// failed open still names the file the user asked for. The file is named by
// the 34-character working name, which the console line shows and a restore
// takes as typed: a suffix beyond it is lost.
void open_snapshot(const std::string& name, int32_t mode) {
    SNAPSHOT_COUNTERS.working_name.assign(name);
    INPUT.DATA_FILE_NAME.assign(SNAPSHOT_COUNTERS.working_name.view());
    SNAPSHOT_COUNTERS.target_path = INPUT.DATA_FILE_NAME.trimmed();
    SNAPSHOT_COUNTERS.temp_path.clear();
    if (mode == 3) SNAPSHOT_COUNTERS.temp_path = SNAPSHOT_COUNTERS.target_path + ".partial";
    OPENFILE1(mode, SNAPSHOT_COUNTERS.temp_path);
}

void list_line(const char* head, std::string_view name) {
    unit_write_line(UNIT_CONSOLE_OUT, "");
    unit_write_line(UNIT_CONSOLE_OUT, std::string(head) + FText<20>(name).str());
}

}  // namespace

void SNAPFILE(int32_t mode) {
    SnapshotCounters& s = SNAPSHOT_COUNTERS;
    CURRENT_IDS = {0, 0};
    if (mode == 1) {
        s.working_name = RUN_SETUP.start_file;
    } else {
        s.working_name = is_true(s.on_request) ? RUN_SETUP.snap_request_file : RUN_SETUP.snap_file;
    }
    if (mode == 0 && s.planned_taken == 0 && s.request_taken == 0) return;

    const std::string base = name_base(s.working_name.view(), kSnapshotBase);
    if (mode == 1) {
        if (s.working_name.sub(1, 11) != "input_snap ")
            open_snapshot(s.working_name.str(), 1);
        else
            open_snapshot(base + ".snp", 1);
        return;
    }

    if (!is_true(RUN_SETUP.snap_incremental)) {
        if (mode == 3) {
            (is_true(s.on_request) ? s.request_taken : s.planned_taken) += 1;
            open_snapshot(base + ".snp", 3);
            return;
        }
        if (s.planned_taken > 0) list_line("           Snapshot: ", base + ".snp");
        if (s.request_taken > 0) list_line("    Manual snapshot: ", RUN_SETUP.snap_request_file.view());
        return;
    }

    s.incremental_limit = kIncrementalFiles;
    if (mode == 3) {
        if (s.planned_taken > 0 && s.planned_taken % kIncrementalFiles == 0) {
            unit_write_line(UNIT_CONSOLE_OUT, " Maximum # of incremental snapshot files reached.");
            unit_write_line(UNIT_CONSOLE_OUT, " Snapshot file names will be recycled.");
        }
        int32_t& count = is_true(s.on_request) ? s.request_taken : s.planned_taken;
        const int32_t i = count % kIncrementalFiles;
        count += 1;
        open_snapshot(numbered_name(base, i + 1), 3);
        return;
    }
    if (s.planned_taken <= kIncrementalFiles) {
        for (int32_t k = 1; k <= s.planned_taken; ++k) list_line("           Snapshot: ", numbered_name(base, k));
    } else {
        const int32_t first = s.planned_taken % kIncrementalFiles;
        for (int32_t k = 0; k < kIncrementalFiles; ++k)
            list_line("           Snapshot: ", numbered_name(base, (first + k) % kIncrementalFiles + 1));
    }
    if (s.request_taken > 0) {
        unit_write_line(UNIT_CONSOLE_OUT, "");
        unit_write_line(UNIT_CONSOLE_OUT, " Manual snapshot(s): Taken");
    }
}
