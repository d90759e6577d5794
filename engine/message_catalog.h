// The catalogue messages: numbered templates in six groups, with bracketed
// placeholders such as [I], [2I%02d], [R%.2f] or [S34]. Without a front end
// a message is printed on standard output; with one, only a few keys are
// forwarded to it (record 5) and the rest are dropped. A data-error message
// numbered 0 or 10 and above is fatal: it throws FatalCatalogMessage.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fixed_text.h"

enum MsgGroup : int32_t {
    MSG_GENERAL = 1,
    MSG_DATA_ERRS = 2,
    MSG_WARNINGS = 3,
    MSG_MULTIRUN = 4,
    MSG_RUNINFO = 5,
    MSG_CSMF = 6,
};

// A table of groups: entry 0 names the table, then one list per group,
// ended by null. Each group list holds its name, then its templates from
// number 1, ended by null.
using MsgTable = const char* const* const*;

class MSG_CATALOG {
public:
    explicit MSG_CATALOG(MsgTable table);
    MSG_CATALOG(const MSG_CATALOG&) = delete;
    MSG_CATALOG& operator=(const MSG_CATALOG&) = delete;

    // The template, or null when group or number lies outside the table.
    const char* Get(int32_t group, int32_t number) const;
    int32_t Groups() const { return groups_; }
    int32_t Count(int32_t group) const;

private:
    MsgTable table_;
    int32_t groups_ = 0;
    std::vector<int32_t> counts_;  // 1-based by group
};

// The engine's own catalogue; always there.
const MSG_CATALOG& message_catalog();

// One argument of a message, of the kind its placeholder names: I takes
// the integers, R the reals, S the texts.
struct MsgArg {
    enum class Kind { Int32, Int16, Real64, Real32, Text };
    Kind kind;
    int32_t i = 0;
    double r = 0.0;
    std::string_view text;

    MsgArg(int32_t v) : kind(Kind::Int32), i(v) {}                      // NOLINT
    MsgArg(int16_t v) : kind(Kind::Int16), i(v) {}                      // NOLINT
    MsgArg(double v) : kind(Kind::Real64), r(v) {}                      // NOLINT
    MsgArg(float v) : kind(Kind::Real32), r(v) {}                       // NOLINT
    MsgArg(std::string_view s) : kind(Kind::Text), text(s) {}           // NOLINT
    MsgArg(const char* s) : kind(Kind::Text), text(s ? s : "") {}       // NOLINT
    MsgArg(const std::string& s) : kind(Kind::Text), text(s) {}         // NOLINT
    template <size_t N>
    MsgArg(const FText<N>& s) : kind(Kind::Text), text(s.view()) {}     // NOLINT
};
using MsgArgs = std::initializer_list<MsgArg>;

// The catalogue template (group, number) with its arguments.
void emit_message(int32_t group, int32_t number, MsgArgs args = {});
// A message of number 0: the text is the template.
void emit_message_text(int32_t group, std::string_view text, MsgArgs args = {});

// The template expanded as it would be printed.
std::string expand_message(std::string_view templ, MsgArgs args);
