#include "shell/Errors.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QMessageBox>

#include <limits>
#include <optional>

EPullrecError::EPullrecError(const QString &message) : text(message), utf8(message.toUtf8())
{
}

namespace
{

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The number in text as 64 bits, or nothing. Decimal must fit the signed range of bits; hexadecimal
// may use all of them and wraps (the way "$FFFFFFFF" reads -1 as a 32-bit number).
std::optional<qint64> parseInteger(const QString &text, int bits)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;

    const quint64 hexLimit = bits == 64 ? std::numeric_limits<quint64>::max() : (quint64(1) << bits) - 1;
    const quint64 decLimit = (quint64(1) << (bits - 1)) - (negative ? 0 : 1);
    const quint64 limit = base == 16 ? hexLimit : decLimit;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit < 0 || digit >= base || value > (limit - digit) / base)
            return std::nullopt;
        value = value * base + digit;
    }
    if (negative)
        value = quint64(0) - value;
    if (bits == 32)
        return qint64(qint32(quint32(value)));
    return qint64(value);
}

QString notAnInteger(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

} // namespace

int StrToInt(const QString &text)
{
    const auto value = parseInteger(text, 32);
    if (!value)
        throw EPullrecError(notAnInteger(text));
    return int(*value);
}

qint64 StrToInt64(const QString &text)
{
    const auto value = parseInteger(text, 64);
    if (!value)
        throw EPullrecError(notAnInteger(text));
    return *value;
}

int StrToIntDef(const QString &text, int def)
{
    return int(parseInteger(text, 32).value_or(def));
}

void ShowException(QWidget *parent, const QString &message)
{
    QMessageBox::critical(parent ? parent : QApplication::activeWindow(), applicationTitle(), message);
}

bool runGuarded(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const EPullrecAbort &) {
    } catch (const EPullrecError &error) {
        ShowException(parent, error.message());
    } catch (const std::exception &error) {
        ShowException(parent, QString::fromUtf8(error.what()));
    }
    return false;
}
