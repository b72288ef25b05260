// The lines of a line list as plain strings, to compare in one go.
#pragma once

#include <string>
#include <vector>

#include "menu/line_list.h"

namespace vexpick::testing {

using Lines = std::vector<std::string>;

inline Lines LinesOf(const TLineList& list) { return {list.begin(), list.end()}; }

}  // namespace vexpick::testing
