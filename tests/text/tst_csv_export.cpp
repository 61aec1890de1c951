#include "text/CsvExport.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// A text as the file holds it: the bytes of a one-cell grid without the ";" and the line feed.
QByteArray cellBytes(const QString &text)
{
    return gridToCsv(1, 1, [&](int, int) { return text; }).chopped(2);
}

} // namespace

class CsvExportTest : public QObject
{
    Q_OBJECT

  private slots:
    void gridLayout();
    void turkishLetters();
    void charactersOutsideTheCodePage();
    void agreesWithSystemConverter();
    void saveReplacesFile();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
};

void CsvExportTest::gridLayout()
{
    const QStringList cells = {"Record #", "Date", "", "1", "01/02/03", "230.1"};
    const QByteArray csv = gridToCsv(2, 3, [&](int row, int column) { return cells[row * 3 + column]; });
    QCOMPARE(csv, QByteArray("Record #;Date;;\n1;01/02/03;230.1;\n"));

    // Cells are written as they stand: no quoting, even when they hold the separators.
    QCOMPARE(gridToCsv(1, 2, [](int, int column) { return column ? QString("b\nc") : QString("a;"); }),
             QByteArray("a;;b\nc;\n"));
    QCOMPARE(gridToCsv(2, 0, [](int, int) { return QString("x"); }), QByteArray("\n\n"));
}

void CsvExportTest::turkishLetters()
{
    QCOMPARE(cellBytes(u"çğıİöşüÇĞÖŞÜ"_qs), QByteArray("\xE7\xF0\xFD\xDD\xF6\xFE\xFC\xC7\xD0\xD6\xDE\xDC"));
    QCOMPARE(cellBytes(u"Kayıt No."_qs), QByteArray("Kay\xFDt No."));
    QCOMPARE(cellBytes(u"€"_qs), QByteArray("\x80"));
}

void CsvExportTest::charactersOutsideTheCodePage()
{
    QCOMPARE(cellBytes(u"Ω=1"_qs), QByteArray("?=1"));
    QCOMPARE(cellBytes(u"中文"_qs), QByteArray("??"));
    QCOMPARE(cellBytes(QString::fromUtf8("a\U0001F600b")), QByteArray("a?b")); // one character, one "?"
    QCOMPARE(cellBytes(QString(QChar(0xD800))), QByteArray("?"));              // a lone surrogate
}

void CsvExportTest::agreesWithSystemConverter()
{
    QStringDecoder decoder("windows-1254");
    if (!decoder.isValid()) {
        QSKIP("this Qt has no converter for code page 1254");
    }
    for (int byte = 0; byte < 256; ++byte) {
        const QByteArray single(1, static_cast<char>(byte));
        QCOMPARE(cellBytes(decoder.decode(single)), single);
    }
}

void CsvExportTest::saveReplacesFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("log.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'x'));
    old.close();

    QString error;
    QVERIFY(saveCsv(path, "a;b;\n;;\n", &error));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("a;b;\n;;\n"));
}

void CsvExportTest::saveFailureIsReported_data()
{
    QTest::addColumn<QString>("blocker"); // what stands where the file's parent or the file should be
    QTest::addColumn<QString>("target");
    QTest::newRow("parent is a file") << "file"
                                      << "file/log.csv";
    QTest::newRow("target is a directory") << "dir"
                                           << "dir";
}

void CsvExportTest::saveFailureIsReported()
{
    QFETCH(QString, blocker);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (blocker == "dir") {
        QVERIFY(QDir(dir.path()).mkdir(blocker));
    } else {
        QFile file(dir.filePath(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QString error;
    QVERIFY(!saveCsv(dir.filePath(target), "a;\n", &error));
    QVERIFY2(!error.isEmpty(), "the operator needs a reason");
    QVERIFY(!saveCsv(dir.filePath(target), "a;\n", nullptr));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{blocker});
}

QTEST_GUILESS_MAIN(CsvExportTest)
#include "tst_csv_export.moc"
