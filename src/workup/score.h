#pragma once
// The ovarian response score: the derived values (BMI, LH/FSH ratio) and the points of each factor. Shared by
// the exam window and the stand-alone calculator so both always agree.
#include <QString>

namespace workup {

// Rounds to the given number of decimals, a value exactly half-way going to the even last digit.
double roundHalfEven(double value, int decimals);

// The BMI shown for a weight in kilograms and a height in centimetres, typed with a decimal comma:
// one decimal, no trailing zero ("25,9", "22"). Empty when either text is not a number, the height is zero
// or the result is not finite.
QString bmiText(const QString& weight, const QString& height);
// LH / FSH with two decimals ("0,38", "1,4"); empty on a non-number, an FSH of zero or a non-finite result.
QString ratioText(const QString& lh, const QString& fsh);

int agePoints(double age);     // < 28: -1, 28-35: 0, 36-38: 1, >= 39: 2
int bmiPoints(double bmi);     // < 25.9: 0, otherwise 1
int fshPoints(double fsh);     // < 7.6: 0, < 9: 1, otherwise 2
int ratioPoints(double ratio); // < 0.38: 1, < 1.4: 0, otherwise -1

struct ScorePoints {
    int age = 0;
    int bmi = 0;
    int fsh = 0;
    int ratio = 0;
    int total() const { return age + bmi + fsh + ratio; }
};

ScorePoints scorePoints(double age, double bmi, double fsh, double ratio);

} // namespace workup
