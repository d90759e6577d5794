#include "snapshot/name_base.h"

#include <algorithm>

std::string name_base(std::string_view name, size_t most) {
    const size_t slash = name.rfind('/');
    const size_t from = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t cut = name.find_first_of(" .", from);
    return std::string(name.substr(0, std::min(cut, from >= most ? name.size() : most)));
}
