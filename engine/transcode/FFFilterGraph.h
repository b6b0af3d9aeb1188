// The task's filter-graph records. "-filter_complex" adds one per graph
// description; the graphs are built and configured when the outputs open.
#pragma once

#include <string>

struct TFilterGraph {
  int Index = 0;         // its place in the task's list
  std::string GraphDesc; // the description; empty for a simple graph
};
