#include "network/conductance_block.h"

#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "network/network_tables.h"

namespace {

const Text12 kName("ZARIK_ADD_GM");

// Every node of the block is checked before the matrix changes.
void check_nodes(int32_t N, int32_t ss, std::span<const int32_t> nodes, const SsView<double>& gm) {
    const int32_t n = NET.NBUSES.in_range(ss) ? NET.NBUSES(ss) : 0;
    for (int32_t i = 1; i <= N; ++i) {
        const int32_t p = nodes[static_cast<size_t>(i) - 1];
        if (p >= 0 && p <= n && p <= gm.n1 && p <= gm.n2) continue;
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
                "Node " + std::to_string(p) + " of the conductance block is not a node of subsystem " +
                    std::to_string(ss));
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1,
                "Nodes must lie between 0 (ground) and " + std::to_string(n) + ".");
        ABORT_RUN(kName, 0);
    }
}

}  // namespace

void ZARIK_ADD_GM(int32_t count, int32_t N, int32_t ss, std::span<const int32_t> nodes,
                  std::span<const double> values) {
    if (!is_true(RUN_FLAGS.FIRST_STEP_DATA)) return;
    const SsView<double> gm = SSDESC_RA(ss);
    const SsView<int8_t> pat = SSDESC_IA(ss);
    const int64_t n = N;
    if (n * (n + 1) / 2 != count || (N > 0 && (nodes.size() < static_cast<size_t>(N) ||
                                               values.size() < static_cast<size_t>(count)))) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "dimension mismatch");
        ABORT_RUN(kName, 0);
    }
    if (N < 1) return;
    check_nodes(N, ss, nodes, gm);

    // W: the couplings off the diagonal, each terminal's conductance to
    // ground on it.
    const size_t sz = static_cast<size_t>(N);
    std::vector<double> W(sz * sz, 0.0), S(sz, 0.0);
    auto w = [&W, sz](int32_t i, int32_t j) -> double& { return W[(i - 1) + sz * (j - 1)]; };
    size_t k = 0;
    for (int32_t i = 1; i <= N; ++i) {
        for (int32_t j = 1; j < i; ++j) {
            const double v = values[k++];
            S[i - 1] += v;
            S[j - 1] += v;
            w(i, j) = -v;
            w(j, i) = -v;
        }
        ++k;
    }
    for (int32_t i = 1; i <= N; ++i) w(i, i) = values[static_cast<size_t>(i) * (i + 1) / 2 - 1] + S[i - 1];

    for (int32_t i = 1; i <= N; ++i) {
        const int32_t p = nodes[static_cast<size_t>(i) - 1];
        for (int32_t j = 1; j <= N; ++j) {
            const int32_t q = nodes[static_cast<size_t>(j) - 1];
            if (i == j) {
                if (p == 0) continue;
                pat(p, p) = -1;
                gm(p, p) += w(i, i);
            } else if (p != 0 && q != 0) {
                // Two terminals on one node short their coupling out.
                if (p == q) continue;
                pat(p, q) = -1;
                gm(p, q) += w(i, j);
            } else if (i < j && p + q != 0) {
                // A coupling to a grounded terminal is one more
                // conductance to ground of the other, counted once.
                const int32_t r = p + q;
                pat(r, r) = -1;
                gm(r, r) += w(i, j);
            }
        }
    }
}
