#include "text/CodePage1254.h"

#include <array>

namespace
{

// Bytes 0x80..0x9F; the rest is Latin-1 except the six Turkish letters in turkishLetter().
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
};

char16_t turkishLetter(unsigned char byte)
{
    switch (byte) {
    case 0xD0:
        return 0x011E; // Ğ
    case 0xDD:
        return 0x0130; // İ
    case 0xDE:
        return 0x015E; // Ş
    case 0xF0:
        return 0x011F; // ğ
    case 0xFD:
        return 0x0131; // ı
    case 0xFE:
        return 0x015F; // ş
    }
    return byte;
}

char16_t toUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return high[byte - 0x80];
    return turkishLetter(byte);
}

const std::array<char16_t, 256> &table()
{
    static const std::array<char16_t, 256> unicode = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = toUnicode(static_cast<unsigned char>(b));
        return t;
    }();
    return unicode;
}

char toByte(char16_t c)
{
    if (c < 0x80)
        return char(c);
    const auto &t = table();
    for (int b = 0x80; b < 256; ++b)
        if (t[b] == c)
            return char(b);
    return '?';
}

} // namespace

QString decode1254(QByteArrayView bytes)
{
    const auto &t = table();
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(t[static_cast<unsigned char>(bytes[i])]);
    return text;
}

QByteArray encode1254(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        bytes += toByte(text[i].unicode());
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one "?" for the pair
    }
    return bytes;
}
