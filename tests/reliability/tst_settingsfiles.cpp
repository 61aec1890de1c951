// The program started on a settings file that is empty, binary, cut short, has lines of 10 000
// characters or sections twice, or cannot be written: it starts with the defaults where it must, and
// a file it cannot write is reported when the window closes.

#include "../shell/ModalHelper.h"
#include "../shell/SettingsFile.h"

#include "shell/Startup.h"
#include "shell/TForm2.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{

TForm2 *visibleLanguageDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<TForm2 *>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Sets or clears the immutable attribute: a file that not even root may change. False when the file
// system does not offer it.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// The settings as the window applied them.
struct Shown {
    bool mainWindowFirst = false;
    qint32 lang = -1, mode = -1;
    qint16 modbusId = -1;
    qint32 timeout = -1, pollDelay = -1;
    QString ip;
};

Shown shownBy(TForm1 &form)
{
    Shown s;
    s.mainWindowFirst = form.isVisible() && !visibleLanguageDialog();
    if (!form.gsettings)
        return s;
    const GSETTINGS::fields &v = form.gsettings->values;
    s.lang = v.lang;
    s.mode = v.mode;
    s.modbusId = v.modbusId;
    s.timeout = v.timeout;
    s.pollDelay = v.pollDelay;
    s.ip = v.ip;
    return s;
}

QByteArray binaryBytes()
{
    QByteArray bytes;
    quint32 x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        bytes += char(x >> 23);
    }
    return bytes;
}

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

    TForm1 *form = nullptr; // while run() runs

    // Starts the program as its entry point does; step runs once the loop is going. A run that does not
    // end within the bound returns 1.
    int run(const std::function<void()> &step)
    {
        QTimer::singleShot(0, step);
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        bound.start(20000);
        const int result = runApplication([this] {
            auto window = std::make_unique<TForm1>();
            form = window.get();
            return window;
        });
        form = nullptr;
        return result;
    }

  private slots:
    void init() { settingsfile::remove(); }
    void cleanup()
    {
        setImmutable(settingsfile::path(), false);
        settingsfile::remove();
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("lang");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("ip");
        const QString defaultIp = QString::fromLatin1(GSETTINGS::defaultHost);
        const QByteArray longText(10000, 'x');

        QTest::newRow("empty") << QByteArray() << 1 << 1 << defaultIp;
        QTest::newRow("binary") << binaryBytes() << 1 << 1 << defaultIp;
        QTest::newRow("cut in a value")
            << QByteArray("[LANG]\n1=0\n[MODE]\n1=0\n[IP]\n1=127.0") << 0 << 0 << QStringLiteral("127.0");
        QTest::newRow("cut in a section name") << QByteArray("[LANG]\n1=0\n[MO") << 0 << 1 << defaultIp;
        QTest::newRow("10000-character lines")
            << "[" + longText + "]\n" + longText + "\n[MODE]\n1=0\n[IP]\n1=" + longText + "\n"
            << 1 << 0 << QString(TIniFile::maxText, u'x');
        QTest::newRow("sections twice") << QByteArray("[MODE]\n1=0\n[IP]\n1=127.0.0.3\n[MODE]\n1=1\n[IP]\n"
                                                      "1=127.0.0.4\n[LANG]\n1=0\n[LANG]\n1=1\n")
                                        << 0 << 0 << QStringLiteral("127.0.0.3");
    }

    // The program starts with what the file holds and the defaults for the rest, and closes, having
    // written a file that reads back the same.
    void badFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, lang);
        QFETCH(int, mode);
        QFETCH(QString, ip);
        QVERIFY(settingsfile::write(file));

        Shown shown;
        const int result = run([&] {
            shown = shownBy(*form);
            form->close();
        });
        QCOMPARE(result, 0);
        QVERIFY(shown.mainWindowFirst);
        QCOMPARE(shown.lang, lang);
        QCOMPARE(shown.mode, mode);
        QCOMPARE(shown.ip, ip);
        QCOMPARE(shown.modbusId, qint16(1));
        QCOMPARE(shown.timeout, 1000);
        QCOMPARE(shown.pollDelay, 100);

        GSETTINGS saved;
        saved.load();
        QCOMPARE(saved.values.lang, lang);
        QCOMPARE(saved.values.mode, mode);
        QCOMPARE(saved.values.ip, ip);
        QCOMPARE(saved.values.modbusId, qint16(1));
        QString history[10];
        saved.loadIpList(history, 10);
        QVERIFY(settingsfile::read().contains("[IPLIST]"));
    }

    void unwritableFiles_data()
    {
        QTest::addColumn<bool>("immutable");
        QTest::newRow("a directory in its place") << false;
        QTest::newRow("a file not even root may change") << true;
    }

    // The operator is told that the settings cannot be kept, and can still leave the program.
    void unwritableFiles()
    {
        QFETCH(bool, immutable);
        const QByteArray file = "[LANG]\n1=1\n[MODE]\n1=0\n[IP]\n1=127.0.0.6\n[TIMEOUT]\n1=700\n";
        if (immutable) {
            QVERIFY(settingsfile::write(file));
            if (!setImmutable(settingsfile::path(), true))
                QSKIP("the file system has no immutable files");
        } else {
            QVERIFY(settingsfile::block());
        }

        Shown shown;
        QStringList boxes;
        bool closedWithinTwo = false;
        const int result = run([&] {
            shown = shownBy(*form);
            for (int attempt = 0; attempt < 2 && form->isVisible(); ++attempt) {
                ModalAnswer box;
                form->close();
                if (box.wait())
                    boxes << box.text();
            }
            closedWithinTwo = !form->isVisible();
            if (closedWithinTwo)
                return;
            // A file that can be written again lets the program end.
            setImmutable(settingsfile::path(), false);
            settingsfile::remove();
            form->close();
        });
        QCOMPARE(result, 0);
        QVERIFY(shown.mainWindowFirst);
        QCOMPARE(shown.mode, immutable ? 0 : 1);
        QCOMPARE(shown.ip,
                 immutable ? QStringLiteral("127.0.0.6") : QString::fromLatin1(GSETTINGS::defaultHost));
        QCOMPARE(shown.timeout, immutable ? 700 : 1000);

        const QString unable = QStringLiteral("Unable to write to %1").arg(settingsfile::path());
        QVERIFY(!boxes.isEmpty());
        QCOMPARE(boxes.first(), unable);
        // Told once why the settings are lost, the operator must still be able to leave.
        QVERIFY(closedWithinTwo);
    }
};

QTEST_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
