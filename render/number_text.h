// Number text as a standard output stream writes a double with default settings: at most six
// significant digits, the shorter of fixed and exponent form, no trailing zeros ("%g").
#pragma once

#include <string>

std::string formatNumber(double value);
void appendNumber(std::string& out, double value);
