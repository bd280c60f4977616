#include "platform/conversions.h"

#include <QRegularExpression>
#include <cmath>

namespace platform {

namespace {
const QDate kEpoch(1899, 12, 30);
}

std::optional<QDate> parseDate(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int day = m.captured(1).toInt();
    const int month = m.captured(2).toInt();
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 30 ? 2000 : 1900;
    const QDate d(year, month, day);
    if (!d.isValid() || year < 100)
        return std::nullopt;
    return d;
}

bool isDate(const QString& text) { return parseDate(text).has_value(); }

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

QString dateBoxText(const QString& text) { return isBlank(text) ? QString() : text; }

QString shortDate(const QDate& date) { return date.toString(QStringLiteral("dd/MM/yyyy")); }

qint64 dayNumber(const QDate& date) { return kEpoch.daysTo(date); }

QDate fromDayNumber(double serial) { return kEpoch.addDays(static_cast<qint64>(std::floor(serial))); }

double val(const QString& text)
{
    QString s;
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            s.append(c);
    int i = 0;
    const int n = int(s.size());
    QString num;
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        num.append(s[i++]);
    bool digits = false, dot = false;
    while (i < n) {
        const QChar c = s[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
            num.append(c);
        } else if (c == QLatin1Char('.') && !dot) {
            dot = true;
            num.append(c);
        } else {
            break;
        }
        ++i;
    }
    if (!digits)
        return 0.0;
    // An exponent only counts when digits follow it.
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        int j = i + 1;
        QString ex = QStringLiteral("e");
        if (j < n && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+')))
            ex.append(s[j++]);
        bool exDigits = false;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
            ex.append(s[j++]);
            exDigits = true;
        }
        if (exDigits)
            num.append(ex);
    }
    return num.toDouble();
}

std::optional<double> parseNumber(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?)(\\d*)(?:,(\\d*))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return std::nullopt;
    QString plain = m.captured(1) + (m.captured(2).isEmpty() ? QStringLiteral("0") : m.captured(2));
    if (!m.captured(3).isEmpty())
        plain += QLatin1Char('.') + m.captured(3);
    return plain.toDouble();
}

bool isNumeric(const QString& text) { return parseNumber(text).has_value(); }

QString formatNumber(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    // Nudge before rounding so 25.85 stored as 25.8499999 still rounds as a person would.
    double scaled = value * scale;
    scaled = scaled >= 0 ? std::floor(scaled + 0.5 + 1e-9) : -std::floor(-scaled + 0.5 + 1e-9);
    QString s = QString::number(scaled / scale, 'f', decimals);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    if (s.startsWith(QLatin1Char('-')) && s.mid(1).count(QLatin1Char('0')) + s.count(QLatin1Char(',')) == s.size() - 1)
        s.remove(0, 1); // no "-0,0"
    return s;
}

QString numberText(double value)
{
    QString s = QString::number(value, 'g', 15);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

int ageInYears(const QDate& birth, const QDate& when)
{
    int age = when.year() - birth.year();
    if (when.month() < birth.month() || (when.month() == birth.month() && when.day() < birth.day()))
        --age;
    return age;
}

} // namespace platform
