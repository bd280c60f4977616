#pragma once
// The system's date and number conversions, fixed to French regional settings:
// short date dd/MM/yyyy, dates typed J/M/AA to JJ/MM/AAAA (two-digit years 00-29 are 20xx, 30-99 are 19xx),
// day numbers counted from 30/12/1899, numbers shown with a decimal comma.
#include <QDate>
#include <QString>
#include <optional>

namespace platform {

// IsDate / CDate: a date typed as J/M/AA, JJ/MM/AA or JJ/MM/AAAA ("/", "-" or "." between the parts).
std::optional<QDate> parseDate(const QString& text);
bool isDate(const QString& text);

// A date box that holds nothing but blanks is empty: isBlank tells it, dateBoxText gives what the box stores (its
// text as typed, or the empty text).
bool isBlank(const QString& text);
QString dateBoxText(const QString& text);

// The short date format: 05/03/2005.
QString shortDate(const QDate& date);

// Days since 30/12/1899 (15/03/2005 is 38426), and back.
qint64 dayNumber(const QDate& date);
QDate fromDayNumber(double serial);

// Val: the leading number of a text with "." as the decimal point; blanks are skipped, anything else ends it.
// An empty or non-numeric text reads 0.
double val(const QString& text);

// IsNumeric / CDbl under French settings: "7,6" and "12" are numbers, "7.6" and "" are not.
std::optional<double> parseNumber(const QString& text);
bool isNumeric(const QString& text);

// A number as the system shows it: decimal comma, "decimals" places (rounded half away from zero).
QString formatNumber(double value, int decimals);
// A number as Str$/CStr would show it in plain digits with a decimal comma and no needless zeros.
QString numberText(double value);

// Whole years of age on "when", counted by the birthday.
int ageInYears(const QDate& birth, const QDate& when);

} // namespace platform
