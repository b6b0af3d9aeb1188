// Text put into a filter graph description as an option value (a file name
// for "movie", say) must survive both levels of the graph syntax: the
// option list of one filter (separated by ":") and the description around it
// (filters separated by "," and ";", pads in "[ ]").
#pragma once

#include <string>

// AValue escaped for the option level and then for the description level.
std::string EscapeFilterOptionValue(const std::string& AValue);
