// The settings file read from arbitrary bytes, a write into it read back, and
// the conversion of operator input to integers.

#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "shell/Errors.h"
#include "shell/GSETTINGS.h"
#include "text/CodePage1254.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace
{

constexpr int kHosts = 10;

// Needed for the program's path that GSETTINGS starts from.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

struct Snapshot {
    GSETTINGS::fields values;
    QString hosts[kHosts];

    explicit Snapshot(const QString &path)
    {
        GSETTINGS settings;
        settings.iniFile = TIniFile(path);
        settings.load();
        values = settings.values;
        settings.loadIpList(hosts, kHosts);
    }
    bool operator==(const Snapshot &o) const
    {
        const GSETTINGS::fields &a = values;
        const GSETTINGS::fields &b = o.values;
        return a.lang == b.lang && a.mode == b.mode && a.modbusId == b.modbusId && a.com == b.com &&
               a.pollDelay == b.pollDelay && a.timeout == b.timeout && a.ip == b.ip &&
               std::equal(hosts, hosts + kHosts, o.hosts);
    }
};

// What reading a written value gives back: trimmed, one pair of enclosing
// quotes removed, cut to the longest text.
QString readBack(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(TIniFile::maxText);
}

void settingsFile(FuzzInput &in)
{
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("fuzz_gsett.ini"));

    const QString value = decode1254(in.bytes(in.byte()));
    const int number = static_cast<int>(uint32_t{in.word()} << 16 | in.word());
    const std::vector<uint8_t> content = in.rest();
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char *>(content.data()),
                          static_cast<qint64>(content.size())) == static_cast<qint64>(content.size()));
    file.close();

    const Snapshot before(path);
    FUZZ_CHECK(before.values.ip.size() <= TIniFile::maxText);
    for (const QString &host : before.hosts)
        FUZZ_CHECK(host.size() <= TIniFile::maxText);

    // A key of its own section goes in without touching any setting.
    TIniFile ini(path);
    ini.writeString(QStringLiteral("FUZZ"), QStringLiteral("K"), value);
    FUZZ_CHECK(ini.readString(QStringLiteral("FUZZ"), QStringLiteral("K"), QStringLiteral("none")) ==
               readBack(value));
    FUZZ_CHECK(Snapshot(path) == before);

    // A setting written is read back, the others stay as they were.
    ini.writeInteger(QStringLiteral("MODE"), QStringLiteral("1"), number);
    Snapshot after(path);
    FUZZ_CHECK(after.values.mode == number);
    after.values.mode = before.values.mode;
    FUZZ_CHECK(after == before);
}

// The documented form: blanks, a sign, then decimal digits or "$", "0x", "0X"
// and hexadecimal digits, nothing else. Decimal must fit `bits` signed;
// hexadecimal may use all the bits and wraps.
std::optional<int64_t> reference(const QString &text, int bits)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (text.mid(i).startsWith(u'$')) {
        base = 16;
        i += 1;
    } else if (text.mid(i).startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    unsigned __int128 magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(text[i].toLower());
        if (text[i].unicode() > 0x7F || digit < 0 || digit >= base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > (unsigned __int128)1 << 64)
            return std::nullopt;
    }
    const unsigned __int128 range = (unsigned __int128)1 << bits;
    if (base == 16) {
        if (magnitude >= range)
            return std::nullopt;
        const uint64_t wrapped = static_cast<uint64_t>(negative ? 0 - magnitude : magnitude);
        return bits == 32 ? int64_t{static_cast<int32_t>(static_cast<uint32_t>(wrapped))}
                          : static_cast<int64_t>(wrapped);
    }
    if (magnitude > range / 2 - (negative ? 0 : 1))
        return std::nullopt;
    return negative ? -static_cast<int64_t>(magnitude - 1) - 1 : static_cast<int64_t>(magnitude);
}

template <typename Convert> std::optional<int64_t> converted(const QString &text, Convert convert)
{
    try {
        return convert(text);
    } catch (const EPullrecError &error) {
        FUZZ_CHECK(error.message() == QStringLiteral("'%1' is not a valid integer value").arg(text));
        return std::nullopt;
    }
}

void conversion(FuzzInput &in)
{
    const uint8_t form = in.byte();
    const std::vector<uint8_t> bytes = in.rest();
    const auto *chars = reinterpret_cast<const char *>(bytes.data());
    const auto length = static_cast<qsizetype>(bytes.size());
    QString text;
    switch (form % 3) {
    case 0:
        text = QString::fromLatin1(chars, length);
        break;
    case 1:
        text = QString::fromUtf8(chars, length);
        break;
    case 2:
        text = QString(reinterpret_cast<const QChar *>(bytes.data()), length / 2);
        break;
    }
    const std::optional<int64_t> i32 = converted(text, [](const QString &t) { return StrToInt(t); });
    const std::optional<int64_t> i64 = converted(text, [](const QString &t) { return StrToInt64(t); });
    FUZZ_CHECK(i32 == reference(text, 32));
    FUZZ_CHECK(i64 == reference(text, 64));
    constexpr int def = 0x13572468;
    FUZZ_CHECK(StrToIntDef(text, def) == (i32 ? *i32 : def));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    FuzzInput in(data, size);
    if (in.flag())
        conversion(in);
    else
        settingsFile(in);
    return 0;
}
