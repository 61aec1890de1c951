#include "shell/IniFile.h"

#include "shell/Errors.h"
#include "text/CodePage1254.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace
{

// The file as lines without their "\n"; a line of a CRLF file keeps its "\r".
struct Document {
    QStringList lines;
    bool crlf = false;
};

struct Place {
    int section = -1; // line of "[section]"
    int key = -1;     // line of "key=value"
    int last = -1;    // last non-blank line of the section: a new key goes after it
};

QString bare(const QString &line)
{
    return line.endsWith(u'\r') ? line.chopped(1) : line;
}

std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return t.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

std::optional<QString> keyName(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

QString valueOf(const QString &line)
{
    QString v = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

Document parse(const QString &content)
{
    Document d;
    if (content.isEmpty())
        return d;
    d.lines = content.split(u'\n');
    d.crlf = d.lines.first().endsWith(u'\r');
    if (content.endsWith(u'\n'))
        d.lines.removeLast();
    else if (d.crlf) // the last line gets the line end it lacked when the file is written
        d.lines.last() += u'\r';
    return d;
}

QString join(const Document &d)
{
    return d.lines.isEmpty() ? QString() : d.lines.join(u'\n') + u'\n';
}

// The first section of that name counts, as with the Windows profile functions.
Place locate(const Document &d, const QString &section, const QString &key)
{
    Place p;
    for (int i = 0; i < d.lines.size(); ++i) {
        const QString line = bare(d.lines[i]);
        if (const auto name = sectionName(line)) {
            if (p.section >= 0)
                break;
            if (name->compare(section, Qt::CaseInsensitive) == 0)
                p.section = p.last = i;
            continue;
        }
        if (p.section < 0)
            continue;
        if (!line.trimmed().isEmpty())
            p.last = i;
        const auto name = keyName(line);
        if (name && name->compare(key, Qt::CaseInsensitive) == 0) {
            p.key = i;
            break;
        }
    }
    return p;
}

std::optional<QString> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decode1254(bytes);
}

} // namespace

TIniFile::TIniFile(const QString &fileName) : path(fileName)
{
}

QString TIniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const auto content = readFile(path);
    if (!content)
        return def;
    const Document d = parse(*content);
    const Place p = locate(d, section, key);
    if (p.key < 0)
        return def;
    return valueOf(bare(d.lines[p.key])).left(maxText);
}

int TIniFile::readInteger(const QString &section, const QString &key, int def) const
{
    return StrToIntDef(readString(section, key, QString()), def);
}

void TIniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString unableToWrite = QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path));
    // A file that exists but cannot be read is not replaced by the one line being written.
    std::optional<QString> content = QFileInfo::exists(path) ? readFile(path) : QString();
    if (!content)
        throw EPullrecError(unableToWrite);

    Document d = parse(*content);
    const QString eol = d.crlf ? QStringLiteral("\r") : QString();
    // A line break in the value would start lines of its own.
    QString flat = value;
    flat.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString keyLine = key + u'=' + flat + eol;

    const Place p = locate(d, section, key);
    if (p.key >= 0) {
        d.lines[p.key] = keyLine;
    } else if (p.section >= 0) {
        d.lines.insert(p.last + 1, keyLine);
    } else {
        d.lines << u'[' + section + u']' + eol << keyLine;
    }

    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const QByteArray bytes = encode1254(join(d));
    if (!file.open(QIODevice::WriteOnly) ||
        (privateFile && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) ||
        file.write(bytes) != bytes.size() || !file.commit())
        throw EPullrecError(unableToWrite);
}

void TIniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}
