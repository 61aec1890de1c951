#include "text/NumberFormat.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace
{

constexpr int significantDigits = 15;

// The value rounded to 15 significant digits: its digits without trailing zeros and the decimal
// exponent of the first one (value = d.ddd x 10^exponent).
struct Rounded {
    std::string digits;
    int exponent = 0;
};

Rounded roundToSignificant(double magnitude)
{
    // "d.dddddddddddddde+XXX" fits easily; to_chars is locale independent.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, significantDigits - 1);
    const std::string_view text(buffer, result.ptr);
    const auto e = text.find('e');

    Rounded rounded;
    rounded.digits = std::string(text.substr(0, 1)).append(text.substr(2, e - 2));
    rounded.digits.erase(rounded.digits.find_last_not_of('0') + 1);
    const char *exponent = text.data() + e + 1;
    if (*exponent == '+') {
        ++exponent; // from_chars takes no plus sign
    }
    std::from_chars(exponent, result.ptr, rounded.exponent);
    return rounded;
}

} // namespace

QString formatGeneral(double value, const QString &decimalPoint)
{
    if (std::isnan(value)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    }
    if (value == 0) {
        return QStringLiteral("0"); // negative zero too
    }

    const Rounded r = roundToSignificant(std::fabs(value));
    const int count = static_cast<int>(r.digits.size());
    QString text = value < 0 ? QStringLiteral("-") : QString();

    if (r.exponent < -5 || r.exponent >= significantDigits) {
        text += QLatin1Char(r.digits[0]);
        if (count > 1) {
            text += decimalPoint + QString::fromLatin1(r.digits.data() + 1, count - 1);
        }
        return text + QLatin1Char('E') + QString::number(r.exponent);
    }

    if (r.exponent < 0) {
        return text + QLatin1Char('0') + decimalPoint + QString(-r.exponent - 1, QLatin1Char('0')) +
               QString::fromLatin1(r.digits.data(), count);
    }
    const int integerDigits = r.exponent + 1;
    if (count <= integerDigits) {
        return text + QString::fromLatin1(r.digits.data(), count) +
               QString(integerDigits - count, QLatin1Char('0'));
    }
    return text + QString::fromLatin1(r.digits.data(), integerDigits) + decimalPoint +
           QString::fromLatin1(r.digits.data() + integerDigits, count - integerDigits);
}

QString formatGeneral(double value)
{
    return formatGeneral(value, QLocale().decimalPoint());
}
