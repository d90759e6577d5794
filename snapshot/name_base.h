// The base that output and snapshot file names are built on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The name up to its first '.' or blank, at most `most` characters. The
// cut is looked for only after the last '/', so that a folder such as
// "./sub" or "../runs" stays whole; when the folder part alone reaches
// `most`, the base runs to the cut after it, or to the name's end.
std::string name_base(std::string_view name, size_t most);

// Whether the file part (after the last '/') has a character before its
// cut: "." or "runs/" would give files named only by their suffix.
bool has_base(std::string_view name);
