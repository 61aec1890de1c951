#include "SettingsFile.h"

#include "shell/Startup.h"
#include "shell/TForm2.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{

// Stands in for the main window: its close ends the program, as the real one's does.
class MainWindow : public QWidget
{
  public:
    explicit MainWindow(int &shown) : shown(shown) {}

  protected:
    void showEvent(QShowEvent *) override { ++shown; }

  private:
    int &shown;
    void closeEvent(QCloseEvent *) override { QCoreApplication::quit(); }
};

TForm2 *visibleLanguageDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<TForm2 *>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

// The program's start as a whole, each run through the real message loop.
class StartupTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { settingsfile::remove(); }
    void cleanup() { settingsfile::remove(); }

    void firstRunAsksForTheLanguage();
    void closingTheLanguageDialogWritesNothing();
    void normalRunShowsTheMainWindow();
    void filesStayInTheBuildTreeAndMoveWhenInstalled();
    void archiveLocationLiesInTheDataFolder_data();
    void archiveLocationLiesInTheDataFolder();

  private:
    // Runs the program; step runs once the loop is going. A run that does not end within the bound
    // returns 1.
    int run(const std::function<void()> &step)
    {
        QTimer::singleShot(0, step);
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        bound.start(10000);
        return runApplication([this] {
            mainShown = 0;
            auto window = std::make_unique<MainWindow>(mainShown);
            mainWindow = window.get();
            return window;
        });
    }

    MainWindow *mainWindow = nullptr; // while run() runs
    int mainShown = 0;
};

void StartupTest::firstRunAsksForTheLanguage()
{
    bool dialogFirst = false;
    bool mainShownByOk = false;
    const int result = run([&] {
        TForm2 *dialog = visibleLanguageDialog();
        dialogFirst = dialog && mainWindow && !mainWindow->isVisible();
        if (!dialog)
            return;
        QTest::mouseClick(dialog->RadioButton1, Qt::LeftButton);
        QTest::mouseClick(dialog->BitBtn1, Qt::LeftButton);
        mainShownByOk = mainWindow->isVisible() && !dialog->isVisible();
        mainWindow->close();
    });
    QCOMPARE(result, 0);
    QVERIFY(dialogFirst);
    QVERIFY(mainShownByOk);
    QCOMPARE(settingsfile::read(), settingsfile::firstRun(0));
    QCOMPARE(applicationTitle(), QString::fromUtf8("KTR-58 serisi analizör Log Okuma Programı"));
}

void StartupTest::closingTheLanguageDialogWritesNothing()
{
    const int result = run([] {
        if (TForm2 *dialog = visibleLanguageDialog())
            dialog->close();
    });
    QCOMPARE(result, 0);
    QCOMPARE(mainShown, 0);
    QVERIFY(!QFileInfo::exists(settingsfile::path()));
}

void StartupTest::normalRunShowsTheMainWindow()
{
    QVERIFY(settingsfile::write("")); // an empty file is a normal run too
    bool noDialog = false;
    const int result = run([&] {
        noDialog = !visibleLanguageDialog() && mainWindow->isVisible();
        mainWindow->close();
    });
    QCOMPARE(result, 0);
    QVERIFY(noDialog);
    QCOMPARE(settingsfile::read(), QByteArray());
}

void StartupTest::filesStayInTheBuildTreeAndMoveWhenInstalled()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QDir root(scratch.path());
    QVERIFY(root.mkpath(QStringLiteral("build/bin")) && root.mkpath(QStringLiteral("usr/bin")));
    QFile cache(root.filePath(QStringLiteral("build/CMakeCache.txt")));
    QVERIFY(cache.open(QIODevice::WriteOnly));

    const FileLocations built = fileLocationsFor(root.filePath(QStringLiteral("build/bin/pullrec")));
    QCOMPARE(built.settingsFile, root.filePath(QStringLiteral("build/bin/pullrec_gsett.ini")));
    QCOMPARE(built.dataDirectory, QStringLiteral("DATA"));

    const FileLocations installed = fileLocationsFor(root.filePath(QStringLiteral("usr/bin/pullrec")));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(installed.settingsFile, config + QStringLiteral("/pullrec_gsett.ini"));
    QCOMPARE(installed.dataDirectory, documents + QStringLiteral("/Pullrec"));
    QVERIFY(!installed.settingsFile.startsWith(scratch.path()));

    // This test runs from the build tree: its settings file is the one beside it.
    QCOMPARE(GSETTINGS::settingsPath(), GSETTINGS::settingsPathFor(QCoreApplication::applicationFilePath()));
}

void StartupTest::archiveLocationLiesInTheDataFolder_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    const QString pg = QStringLiteral("postgresql://u:p@127.0.0.1/a");
    QTest::newRow("default") << QString() << QStringLiteral("sqlite:/data/Pullrec/pullrec.db");
    QTest::newRow("relative file of an older version") << "sqlite:x.db"
                                                       << "sqlite:/data/Pullrec/x.db";
    QTest::newRow("relative with folders") << "sqlite:./a/../b/x.db"
                                           << "sqlite:/data/Pullrec/b/x.db";
    QTest::newRow("absolute stays") << "sqlite:/elsewhere/x.db"
                                    << "sqlite:/elsewhere/x.db";
    // Refused where they are used, not turned into a file here.
    QTest::newRow("no path") << "sqlite:"
                             << "sqlite:";
    QTest::newRow("memory") << "sqlite::memory:"
                            << "sqlite::memory:";
    QTest::newRow("server") << pg << pg;
    QTest::newRow("keywords") << "host=127.0.0.1 dbname=a"
                              << "host=127.0.0.1 dbname=a";
}

void StartupTest::archiveLocationLiesInTheDataFolder()
{
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QCOMPARE(archiveLocationIn(chosen, QStringLiteral("/data/Pullrec")), expected);
    // The running program's: in the folder of its default archive.
    const QString folder = QFileInfo(archiveLocation().mid(7)).path();
    QCOMPARE(archiveLocation(chosen), archiveLocationIn(chosen, folder));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
