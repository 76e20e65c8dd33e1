#include "app/app_state.h"

#include <algorithm>

std::size_t rowCount(const AppState& state) {
  if (state.columns.empty()) return 0;
  std::size_t rows = state.columns.front().size();
  for (const auto& column : state.columns) rows = std::min(rows, column.size());
  return rows;
}
