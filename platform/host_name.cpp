#include "platform/host_name.h"

#include <unistd.h>

#include <climits>

std::string computer_name() {
#ifdef HOST_NAME_MAX
    char buf[HOST_NAME_MAX + 1];
#else
    char buf[256];
#endif
    if (::gethostname(buf, sizeof buf) != 0) return {};
    buf[sizeof buf - 1] = '\0';
    std::string name(buf);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

int32_t put_host_name(FText<16>& field, std::string_view name) {
    if (name.empty() || name.size() > 15) return 0;
    for (size_t i = 0; i < name.size(); ++i) field[i] = name[i];
    return static_cast<int32_t>(name.size());
}

int32_t get_host_name(FText<16>& field) { return put_host_name(field, computer_name()); }
