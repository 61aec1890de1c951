// The window titles as the X server shows them (Xvfb): the platform adds nothing to what the
// windows set.

#include "UiHarness.h"

#include "shell/Startup.h"
#include "shell/TForm2.h"
#include "shell/TForm3.h"

#include <QGuiApplication>
#include <QProcess>

using namespace ui;

namespace
{

// _NET_WM_NAME of the window as xprop reads it from the server.
QString serverTitle(QWidget &window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("-notype"), QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return QStringLiteral("<xprop failed>");
    // _NET_WM_NAME = "title", or nothing after the = for an empty title
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const QString value = out.mid(out.indexOf(u'=') + 1).trimmed();
    return value.size() >= 2 ? value.mid(1, value.size() - 2) : value;
}

} // namespace

class TestTitles : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { settingsfile::remove(); }

    void titlesOnTheServer_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("mainTitle");
        QTest::newRow("English") << 1 << QStringLiteral("PULLREC v1.8.4.3");
        QTest::newRow("Turkish") << 0 << QStringLiteral("LOG Okuma v1.8.4.3");
    }
    void titlesOnTheServer()
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server (ctest runs this under xvfb-run)");
        QFETCH(int, lang);
        QFETCH(QString, mainTitle);
        configureApplication();
        ScratchDir scratch;
        Settings s;
        s.lang = lang;
        auto form = openWindow(s);
        QVERIFY(form);
        form->Form3->show();
        TForm2 language;
        language.show();
        QVERIFY(QTest::qWaitForWindowExposed(form->Form3) && QTest::qWaitForWindowExposed(&language));
        QTRY_COMPARE(serverTitle(*form), mainTitle);
        QCOMPARE(serverTitle(*form->Form3), QStringLiteral("Timings"));
        QCOMPARE(serverTitle(language), QString());
    }
};

QTEST_MAIN(TestTitles)
#include "tst_titles.moc"
