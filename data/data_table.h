// The loaded table: one name and one column of doubles per dimension.
#pragma once

#include <string>
#include <vector>

struct DataTable {
  std::vector<std::string> names;
  // After a successful read every column holds the same number of values; row r of the table
  // is the r-th value of every column.
  std::vector<std::vector<double>> columns;
};
