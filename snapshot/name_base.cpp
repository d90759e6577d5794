#include "snapshot/name_base.h"

#include <algorithm>

namespace {

// The characters a name is cut at, after its folder part.
constexpr std::string_view kCutAt = " .";

size_t file_part(std::string_view name) {
    const size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::string name_base(std::string_view name, size_t most) {
    const size_t from = file_part(name);
    const size_t cut = name.find_first_of(kCutAt, from);
    return std::string(name.substr(0, std::min(cut, from >= most ? name.size() : most)));
}

bool has_base(std::string_view name) {
    const size_t from = file_part(name);
    return from < name.size() && name.find_first_of(kCutAt, from) != from;
}
