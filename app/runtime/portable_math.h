// Logarithm and exponential from +, -, *, / and exact power-of-two scaling
// only, so that set-up values derived from them are the same bits on every
// platform (the C libraries' log/exp/pow may differ in the last place).
#pragma once

namespace nocturnia::runtime {

// Natural logarithm of x > 0; NaN otherwise.
double PortableLog(double x);
// e^y; 0 or infinity beyond the double range.
double PortableExp(double y);
// base^exponent for base > 0.
double PortablePow(double base, double exponent);

}  // namespace nocturnia::runtime
