// Transformers of any number of windings: from leakage vectors passed by
// the caller, or from a transformer data file.
#include <algorithm>
#include <vector>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/transformers.h"
#include "models/transformers/winding_data.h"
#include "models/xfmr_tables.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/list_read.h"

namespace {

constexpr double kSmall = 1e-32;

void report(const char* text) { USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text); }

const Text12 kCfg = "N_WDG_TF_CFG";

// The values of a transformer data file, each by its own read.
class DataFile {
public:
    explicit DataFile(std::string_view name) : name_(name.substr(0, 72)) {}
    double real() {
        double v = 0.0;
        if (!ListRead(INPUT.INPUT_UNIT, Reals::Finite).real(v).ok()) fail();
        return v;
    }
    int32_t integer() {
        int32_t v = 0;
        if (!ListRead(INPUT.INPUT_UNIT).integer(v).ok()) fail();
        return v;
    }

private:
    [[noreturn]] void fail() const {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2, "Unexpected error in reading file ");
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1, name_);
        ABORT_RUN(kCfg, 0);
    }
    std::string_view name_;
};

}  // namespace

void TF_NWDG(int32_t& k, int32_t& n, double& s, double& f, const double* x, const double* p, const double* v) {
    const Text12 name = "TF_NWDG     ";
    xfmr_check_model(name, k, n, false);
    bool failed = false;
    const auto fail = [&](const char* text) {
        failed = true;
        report(text);
    };
    const int32_t pairs = n * (n - 1) / 2;
    if (s < kSmall) fail("Unrealistic Transformer MVA Rating.");
    if (std::any_of(v, v + n, [](double e) { return e < kSmall; })) fail("Unrealistic Transformer Voltage Rating.");
    if (std::any_of(x, x + pairs, [](double e) { return e < kSmall; })) fail("Unrealistic Transformer Leakage Value.");
    if (f < kSmall) fail("Unrealistic Transformer Frequency.");
    if (failed) ABORT_RUN(name, 0);

    FArray1<double> r;
    r.allocate(n);
    for (int32_t i = 1; i <= n; ++i) {
        const double cur = s / v[i - 1];
        r(i) = p[i - 1] > 0.0 ? p[i - 1] * s / (cur * cur) : 0.0;
    }
    FArray2<double> g;
    g.allocate(n, n);
    if (XFMR_MATRIX(n, f, s, x, v, g) != 0) xfmr_unrealisable(name);
    xfmr_write_rlin(n, g, r);
    int32_t form = 1;
    TRANSFORMER(k, form);
}

void N_WDG_TF_CFG(int32_t& k1, int32_t& k2, int32_t& k3, int32_t& form, int32_t& n, double& f, double& s,
                  const double* v, std::string_view file) {
    bool failed = false;
    const auto fail = [&](const char* text) {
        failed = true;
        report(text);
    };
    if (form != 1 && form != 2) fail("Unexpected transformer type");
    if (n < 2) fail("Number of windings should be more than 1");
    if (form == 1) {
        if (s < 1e-6) fail("Unrealistically low rated MVA specified");
        if (n >= 1 && *std::min_element(v, v + n) < 1e-6)
            fail("Unrealistically low rated voltage specified in the input vector");
        if (f < 1e-6) fail("Unrealistically low rated frequency specified");
    }
    if (failed) ABORT_RUN(kCfg, 0);
    // Every transformer set up must have the file's windings.
    const int32_t ks[3] = {k1, k2, k3};
    for (int32_t t = 0; t < 3; ++t)
        if (t == 0 || ks[t] != 0) xfmr_check_model(kCfg, ks[t], n, false);

    InputState& in = INPUT;
    const Text72 saved_name = in.DATA_FILE_NAME;
    in.DATA_FILE_NAME.assign(file.substr(0, 72));
    OPENFILE();
    const Text72 saved_line = in.DATA_LINE;
    RDCMNT();
    DataFile data(file);
    FArray2<double> m;
    m.allocate(n, n);
    std::vector<double> x(static_cast<size_t>(n * (n - 1) / 2), 0.0);
    if (form == 1) {
        // Listed row by row of the upper triangle.
        for (int32_t i = 1; i < n; ++i)
            for (int32_t j = i + 1; j <= n; ++j) x[static_cast<size_t>(xfmr_pair(i, j))] = data.real();
    } else {
        for (int32_t i = 1; i <= n; ++i)
            for (int32_t j = 1; j <= i; ++j) m(i, j) = m(j, i) = data.real();
    }
    RDCMNT();
    FArray1<double> r;
    r.allocate(n);
    if (data.integer() != 0)
        for (int32_t i = 1; i <= n; ++i) r(i) = data.real();
    CLOSEFILE();
    in.DATA_FILE_NAME = saved_name;
    in.DATA_LINE = saved_line;

    FArray2<double>& rl = XFMR_TABLES.XF_RLIN;
    for (int64_t p = 1; p <= rl.size(); ++p) rl.flat(p) = 0.0;
    if (form == 1) {
        if (XFMR_MATRIX(n, f, s, x.data(), v, m) != 0) xfmr_unrealisable(kCfg);
        for (int32_t i = 1; i <= n; ++i) r(i) = r(i) * v[i - 1] * v[i - 1] * (1.0 / s);
    }
    xfmr_write_rlin(n, m, r);
    for (int32_t t = 0; t < 3; ++t)
        if (t == 0 || ks[t] != 0) {
            int32_t k = ks[t];
            TRANSFORMER(k, form);
        }
}
