#pragma once

#include <QString>

// An INI file read and written like the Windows private-profile functions: "[section]" lines open a
// section, "key=value" lines follow; names match without regard to case; values are trimmed. Every
// write reads the file, changes the key's line in place (or adds the key at the end of its section, or
// the section at the end of the file) and writes the whole file back at once, keeping every other
// line as it was. The file is in code page 1254; new lines end like the file's first line (LF for a
// new file).
class TIniFile
{
  public:
    static constexpr int maxText = 2047; // longer values are cut when read

    explicit TIniFile(const QString &fileName);
    const QString &fileName() const { return path; }

    // While on, every write leaves the file readable and writable by its owner only (it holds a
    // secret); while off, a write keeps the file's permissions as they are.
    void setPrivate(bool on) { privateFile = on; }

    // def when the file, section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // def also when the value does not convert (StrToIntDef).
    int readInteger(const QString &section, const QString &key, int def) const;

    // Throw EPullrecError "Unable to write to <file>" when the file cannot be read back or written.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);

  private:
    QString path;
    bool privateFile = false;
};
