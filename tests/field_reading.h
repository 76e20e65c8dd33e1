// A test suite run once with each way of reading fields, which must all give the same results.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "data/csv_reader.h"

class EveryFieldReading : public testing::TestWithParam<FieldReading> {
 protected:
  void SetUp() override { setFieldReading(GetParam()); }
  void TearDown() override { setFieldReading(FieldReading::Fastest); }
};

inline std::string fieldReadingName(const testing::TestParamInfo<FieldReading>& info) {
  switch (info.param) {
    case FieldReading::Fastest:
      return "Fastest";
    case FieldReading::Baseline:
      return "Baseline";
    case FieldReading::AnyForm:
      return "AnyForm";
    case FieldReading::OneOrTwoAtATime:
      return "OneOrTwoAtATime";
  }
  return "Unknown";
}

#define INSTANTIATE_FOR_EVERY_FIELD_READING(suite)                                                \
  INSTANTIATE_TEST_SUITE_P(EveryReading, suite,                                                   \
                           testing::Values(FieldReading::Fastest, FieldReading::Baseline,         \
                                           FieldReading::AnyForm, FieldReading::OneOrTwoAtATime), \
                           fieldReadingName)

inline void PrintTo(FieldReading reading, std::ostream* out) {
  *out << fieldReadingName(testing::TestParamInfo<FieldReading>(reading, 0));
}
