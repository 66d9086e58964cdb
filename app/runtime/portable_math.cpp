#include "runtime/portable_math.h"

#include <cmath>
#include <limits>

namespace nocturnia::runtime {

namespace {
constexpr double kLn2 = 0.6931471805599453;
// ln 2 split so that k * kLn2High is exact for |k| < 2^11 (Cody and Waite).
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kSqrtHalf = 0.7071067811865476;
}  // namespace

double PortableLog(double x)
{
    if (!(x > 0.0) || std::isinf(x)) {
        return x == std::numeric_limits<double>::infinity() ? x : std::numeric_limits<double>::quiet_NaN();
    }
    int e = 0;
    double m = std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1): exact
    if (m < kSqrtHalf) {
        m *= 2.0;
        e -= 1;
    }
    // ln m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172: the series
    // s + s^3/3 + s^5/5 + ... converges to double precision in 13 terms.
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double term = s;
    double sum = 0.0;
    for (int k = 1; k <= 27; k += 2) {
        sum += term / k;
        term *= s2;
    }
    return e * kLn2High + (e * kLn2Low + 2.0 * sum);
}

double PortableExp(double y)
{
    if (std::isnan(y)) {
        return y;
    }
    if (y > 709.8) {
        return std::numeric_limits<double>::infinity();
    }
    if (y < -745.2) {
        return 0.0;
    }
    // e^y = 2^k e^r with |r| <= ln2 / 2; the Taylor series of e^r converges
    // to double precision in about 18 terms.
    const double k = std::floor(y / kLn2 + 0.5);
    const double r = (y - k * kLn2High) - k * kLn2Low;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 20; ++n) {
        term = term * r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double PortablePow(double base, double exponent) { return PortableExp(exponent * PortableLog(base)); }

}  // namespace nocturnia::runtime
