// The one application state that every command reads and changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/data_table.h"
#include "scale/dim_scale.h"

struct AppState {
  std::vector<std::string> tokens;
  std::vector<std::string> names;
  std::vector<std::vector<double>> columns;
  // Per column, the smallest and largest value of every block of kRangeBlockRows rows, as the
  // reader gathered them; empty where a table was made otherwise.
  std::vector<std::vector<ValueRange>> blockRanges;
  std::vector<DimScale> dims;
  unsigned selectedDim = 0;
  int xDim = 0;
  int yDim = 1;
  int nearValuesDim = -1;
  bool significantOnly = false;
  bool helpVisible = false;
  bool shiftDown = false;
  // While set, the window shows this text and every command but 'h' is ignored.
  std::optional<std::string> messageText;
  std::optional<std::string> panelText;
  int clientWidth = 0;
  int clientHeight = 0;
  std::string titleText;
  std::string className;
};

// Rows that every column holds: the length of the shortest column, 0 without columns.
std::size_t rowCount(const AppState& state);
