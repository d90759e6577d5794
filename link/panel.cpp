#include "link/panel.h"

#include <string>

#include "engine/run_state.h"
#include "link/flat_layer.h"
#include "link/wire_codes.h"

namespace {

bool panels_wanted() { return is_true(RUN_SEQ.CONNECTED) && !is_true(RUN_SETUP.flag_a); }

void head(int32_t code, int32_t instance, int32_t component) {
    fe_send_int(0, code);
    fe_send_int(0, instance);
    fe_send_int(0, component);
}

void tail(const char* name, int32_t length) {
    fe_send_str(0, length < 1 || name == nullptr ? std::string() : fstr_to_cstr(name, length));
    fe_flush(0);
}

}  // namespace

void PANEL_REAL(int32_t instance, int32_t component, double value, const char* name, int32_t length) {
    if (!panels_wanted()) return;
    head(FE_MSG_PANEL_REAL, instance, component);
    fe_send_real(0, value);
    tail(name, length);
}

void PANEL_INT(int32_t instance, int32_t component, int32_t value, const char* name, int32_t length) {
    if (!panels_wanted()) return;
    head(FE_MSG_PANEL_INT, instance, component);
    fe_send_int(0, value);
    tail(name, length);
}

void PANEL_TEXT(int32_t instance, int32_t component, double value, const char* name, int32_t length) {
    if (!panels_wanted()) return;
    head(FE_MSG_PANEL_TEXT, instance, component);
    fe_send_real_text(0, value);
    tail(name, length);
}
