// "Save to File..." after downloads from ktr58-sim: the exact bytes of the CSV file, through the save
// dialog as the operator uses it.

#include "DownloadHarness.h"

#include <QFileDialog>

using namespace e2e;

namespace
{

// Labels of the simulator's default configuration, in slot order.
const QStringList defaultLabels{"VLN1 : V", "VLN2 : V",       "VLN3 : V", "ILN1 : A",  "ILN2 : A",
                                "ILN3 : A", "PF L1 : ",       "PF L2 : ", "PF L3 : ",  "VLL1 : V",
                                "VLL2 : V", "VLL3 : V",       "Hz. : Hz", "TWATT : W", "TVAr : VAr",
                                "TVA : VA", "kWh.Imp. : kWh", "-- : -"};

QByteArray line(QStringList fields, int columns)
{
    while (fields.size() < columns)
        fields << QString();
    QByteArray bytes;
    for (const QString &f : fields.mid(0, columns))
        bytes += f.toLatin1() + ';';
    return bytes + '\n';
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestExport : public QObject, public WindowFixture
{
    Q_OBJECT

    bool download(int lang, std::initializer_list<int> areas)
    {
        if (!openOnTcp({"--records", recordsArg({{0, 2}, {15, 2}})}, tcpSettings(lang)))
            return false;
        if (form->S1->isEnabled()) // nothing to save before the first download
            return false;
        return downloadAreas(*form, areas);
    }

    // Save to File..., the dialog answered with fileName.
    void saveAs(const QString &fileName)
    {
        ModalAnswer dialog([fileName](QWidget *modal) {
            auto *d = qobject_cast<QFileDialog *>(modal);
            QVERIFY(d);
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(d->defaultSuffix(), QStringLiteral("csv"));
            QCOMPARE(d->nameFilters(), QStringList{"*.csv"});
            QCOMPARE(QDir(d->directory()).canonicalPath(), QDir(QStringLiteral("DATA")).canonicalPath());
            // Typed into the name box, as the operator does.
            auto *name = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(fileName);
            QMetaObject::invokeMethod(d, "accept");
        });
        form->S1->trigger();
        QVERIFY(dialog.seen());
    }

    QByteArray expectedRecordLine(int area, int index, int columns)
    {
        return line(predictedRow(area, index, simArgs, form->worker->configuration().paramCodes), columns);
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Records not saved: the close asks first, and No keeps the window; once saved, it closes at once.
    void closeAsksUntilSaved()
    {
        QVERIFY(download(1, {0}));
        ModalAnswer keep(QMessageBox::No);
        QVERIFY(!form->close());
        QCOMPARE(keep.text(), QStringLiteral("Records not saved. Close anyway?"));
        QVERIFY(form->isVisible());
        saveAs(QStringLiteral("closing.csv"));
        ModalAnswer none(QMessageBox::No, 300);
        QVERIFY(form->close());
        QVERIFY(!none.seen());
    }

    void englishSectorLog()
    {
        QVERIFY(download(1, {0}));
        form->gridModel->setData(form->gridModel->index(2, 2), QStringLiteral("edited"));
        saveAs(QStringLiteral("small"));
        QByteArray record2 = expectedRecordLine(0, 1, 31);
        const QList<QByteArray> fields = record2.split(';');
        record2.replace(fields[0] + ';' + fields[1] + ';' + fields[2] + ';',
                        fields[0] + ';' + fields[1] + ";edited;");
        const QByteArray expected = line(QStringList{"Record #", "Date", "Time"} + defaultLabels, 31) +
                                    expectedRecordLine(0, 0, 31) + record2 + QByteArray(31, ';') + '\n';
        QCOMPARE(readFile(QStringLiteral("DATA/small.csv")), expected);
    }

    void turkishHeaderInCodePage1254()
    {
        QVERIFY(download(0, {0}));
        saveAs(QStringLiteral("tr.csv"));
        const QByteArray saved = readFile(QStringLiteral("DATA/tr.csv"));
        QVERIFY(saved.startsWith("Kay\xFDt No.;Tarih;Saat;VLN1 : V;"));
        QCOMPARE(saved.count('\n'), 4);
        QVERIFY(saved.endsWith('\n' + QByteArray(31, ';') + '\n'));
    }

    void energyLog()
    {
        QVERIFY(download(1, {kEnergyArea}));
        saveAs(QStringLiteral("energy"));
        const QByteArray saved = readFile(QStringLiteral("DATA/energy.csv"));
        const QList<QByteArray> lines = saved.split('\n');
        QCOMPARE(lines.size(), 5); // four lines and nothing after the last line feed
        for (int i = 0; i < 4; ++i)
            QCOMPARE(lines[i].count(';'), 19);
        QVERIFY(lines[0].startsWith("Record #;Date;Time;kW/h.;kW/h.Ex.;kVAr/h. (L);kVAr/h. (C);V1 HI;"));
        QVERIFY(lines[0].endsWith("TVA DEM.;"));
        QCOMPARE(lines[1] + '\n', expectedRecordLine(kEnergyArea, 0, 19));
        QCOMPARE(lines[2] + '\n', expectedRecordLine(kEnergyArea, 1, 19));
        QCOMPARE(lines[3], QByteArray(19, ';'));
    }

    void cancelledDialogWritesNothing()
    {
        QVERIFY(download(1, {0}));
        ModalAnswer dialog; // rejects the dialog
        form->S1->trigger();
        QVERIFY(dialog.seen());
        QVERIFY(QDir(QStringLiteral("DATA")).entryList(QDir::Files).isEmpty());
    }

    void overwriteIsConfirmed()
    {
        QVERIFY(download(1, {0}));
        QFile old(QStringLiteral("DATA/again.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        BoxSeries confirm({QMessageBox::Yes});
        saveAs(QStringLiteral("again.csv"));
        QVERIFY(confirm.wait());
        QVERIFY(readFile(QStringLiteral("DATA/again.csv")).startsWith("Record #;"));
    }

    // A file that cannot be created is reported with its name and the reason.
    void unwritablePathIsReported()
    {
        QVERIFY(download(1, {0}));
        const QString path = QDir(QStringLiteral("DATA")).absoluteFilePath(QStringLiteral("gone/x.csv"));
        BoxSeries report({QMessageBox::Ok});
        saveAs(path);
        QVERIFY(report.wait());
        QVERIFY2(report.texts()[0].startsWith(path + "\n\n"), qPrintable(report.texts()[0]));
        QVERIFY(report.texts()[0].size() > path.size() + 2);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
