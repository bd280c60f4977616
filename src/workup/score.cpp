#include "workup/score.h"

#include "platform/conversions.h"

#include <cmath>

namespace workup {

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double floor = std::floor(scaled);
    const double diff = scaled - floor;
    // A value typed as 1,25 is held as 1.2499999...: treat anything this close to the half as the half.
    double rounded;
    if (std::fabs(diff - 0.5) < 1e-9)
        rounded = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    else
        rounded = std::round(scaled);
    return rounded / scale;
}

namespace {

// A derived value as the labels show it, or empty when it cannot be computed.
QString derivedText(double value, int decimals)
{
    if (!std::isfinite(value))
        return {};
    return platform::numberText(roundHalfEven(value, decimals));
}

} // namespace

QString bmiText(const QString& weight, const QString& height)
{
    const auto w = platform::parseNumber(weight);
    const auto h = platform::parseNumber(height);
    if (!w || !h || *h == 0.0)
        return {};
    const double metres = *h / 100.0;
    return derivedText(*w / (metres * metres), 1);
}

QString ratioText(const QString& lh, const QString& fsh)
{
    const auto l = platform::parseNumber(lh);
    const auto f = platform::parseNumber(fsh);
    if (!l || !f || *f == 0.0)
        return {};
    return derivedText(*l / *f, 2);
}

int agePoints(double age)
{
    if (age < 28)
        return -1;
    if (age < 36)
        return 0;
    if (age < 39)
        return 1;
    return 2;
}

int bmiPoints(double bmi) { return bmi < 25.9 ? 0 : 1; }

int fshPoints(double fsh)
{
    if (fsh < 7.6)
        return 0;
    return fsh < 9 ? 1 : 2;
}

int ratioPoints(double ratio)
{
    if (ratio < 0.38)
        return 1;
    return ratio < 1.4 ? 0 : -1;
}

ScorePoints scorePoints(double age, double bmi, double fsh, double ratio)
{
    return {agePoints(age), bmiPoints(bmi), fshPoints(fsh), ratioPoints(ratio)};
}

} // namespace workup
