// The csv, jsonl and influx writers with what a real analyzer may hand them: serial numbers with
// separators and quotes, clocks that were never set, a quantity logged twice, local times with an
// offset.

#include "text/NumberFormat.h"
#include "text/RecordFormats.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <array>
#include <set>

namespace
{

const DEVICE_REGISTER_TABLE table(100.0, 1.0);

// VLN1 twice, the import counter (low and high word), an empty slot, then frequency.
std::array<int16_t, kLogSlots> codes()
{
    std::array<int16_t, kLogSlots> c;
    c.fill(kEmptySlot);
    const int16_t used[] = {0, 0, 60, 61, 255, 27};
    std::copy(std::begin(used), std::end(used), c.begin());
    return c;
}

ExportRecord record(const QString &serial, const QDateTime &time, bool energy, std::span<const double> values)
{
    ExportRecord r;
    r.analyzer = serial;
    r.area = energy ? 15 : 2; // the energy log, or sector 3
    r.number = 7;
    r.time = time;
    r.energy = energy;
    r.values = values;
    return r;
}

} // namespace

class RecordFormatsTest : public QObject
{
    Q_OBJECT

    const std::array<double, kDecodedValues> logValues{230.60000000000002, 231.1, 51234, 0, 0, 50.01};
    const std::array<double, kDecodedValues> energyValues{29999, 0, -1, 10003, 234.5};
    const QString hostileSerial = QStringLiteral("S 1,\"x\"=\\\u00e7");
    RecordWriter writer(RecordFormat format)
    {
        return RecordWriter(format, logQuantities(table, 168, codes()), energyQuantities(table));
    }

  private slots:
    void initTestCase()
    {
        // A zone with an offset, so "+00:00" cannot pass by accident.
        qputenv("TZ", "Asia/Kolkata");
    }

    void recordTimes()
    {
        const QDateTime t = recordTime("31/12/09", "08:00:30");
        QCOMPARE(t, QDateTime(QDate(2009, 12, 31), QTime(8, 0, 30)));
        QCOMPARE(t.offsetFromUtc(), 19800);
        // An analyzer whose clock was never set sends bytes of -1, or impossible dates.
        for (auto [date, time] : {std::pair{"-1/-1/-1", "-1:-1:-1"},
                                  {"31/02/24", "00:00:00"},
                                  {"01/01/24", "24:00:00"},
                                  {"01/01", "00:00:00"},
                                  {"", ""}})
            QVERIFY2(!recordTime(date, time).isValid(), date);
    }

    void zonedTimes_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("written");

        const auto row = [](const char *zone, const char *date, const char *time, const char *written) {
            QTest::addRow("%s %s %s", zone, date, time) << zone << date << time << written;
        };
        // Clocks put forward: the skipped hour keeps the offset before, never an empty time.
        row("Europe/Berlin", "31/03/24", "01:59:59", "2024-03-31T01:59:59+01:00");
        row("Europe/Berlin", "31/03/24", "02:00:00", "2024-03-31T02:00:00+01:00");
        row("Europe/Berlin", "31/03/24", "02:45:00", "2024-03-31T02:45:00+01:00");
        row("Europe/Berlin", "31/03/24", "03:00:00", "2024-03-31T03:00:00+02:00");
        row("America/New_York", "10/03/24", "02:30:00", "2024-03-10T02:30:00-05:00");
        row("Australia/Lord_Howe", "06/10/24", "02:15:00", "2024-10-06T02:15:00+10:30"); // a half-hour step
        // Clocks put back: the hour shown twice is taken the first time.
        row("Europe/Berlin", "27/10/24", "01:59:59", "2024-10-27T01:59:59+02:00");
        row("Europe/Berlin", "27/10/24", "02:30:00", "2024-10-27T02:30:00+02:00");
        row("Europe/Berlin", "27/10/24", "03:00:00", "2024-10-27T03:00:00+01:00");
        row("America/New_York", "03/11/24", "01:30:00", "2024-11-03T01:30:00-04:00");
        row("Australia/Sydney", "07/04/24", "02:30:00", "2024-04-07T02:30:00+11:00");
        // No changes at all, and a year's edges.
        row("Asia/Kolkata", "01/01/00", "00:00:00", "2000-01-01T00:00:00+05:30");
        row("UTC", "31/12/99", "23:59:59", "2099-12-31T23:59:59Z");
        row("US/Eastern", "01/07/24", "12:00:00", "2024-07-01T12:00:00-04:00"); // a link's name
    }

    void zonedTimes()
    {
        QFETCH(QString, zone);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, written);
        const QTimeZone z = clockZone(zone.toStdString());
        QVERIFY(z.isValid());
        const QDateTime t = recordTime(date.toStdString(), time.toStdString(), z);
        QCOMPARE(t.toString(Qt::ISODate), written);
    }

    void unknownZones()
    {
        for (const char *name : {"Mars/Base", "Europe/Berln", "europe/berlin", "Foo", "../../etc/passwd",
                                 "/etc/localtime", "Europe/../../../etc/passwd"})
            QVERIFY2(!clockZone(name).isValid(), name);
        QVERIFY(clockZone("").isValid()); // the host's
    }

    // Decoded values are register words times a scale (with the transformer ratios): the noise of the
    // product must not reach the file, and the grid's 15 digits must read the same.
    void numbersAtTheirResolution_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("2342 x 0.1") << 2342 * 0.1 << QByteArray("234.2");
        QTest::newRow("-32768 x 0.1") << -32768 * 0.1 << QByteArray("-3276.8");
        QTest::newRow("32767 x 0.1") << 32767 * 0.1 << QByteArray("3276.7");
        QTest::newRow("32767 x 0.01") << 32767 * 0.01 << QByteArray("327.67");
        QTest::newRow("-32768 x 0.001") << -32768 * 0.001 << QByteArray("-32.768");
        QTest::newRow("32767 x 0.001") << 32767 * 0.001 << QByteArray("32.767");
        QTest::newRow("65535 x 0.001") << 65535 * 0.001 << QByteArray("65.535");
        QTest::newRow("2306 x 0.1 x VT 34.5") << 2306 * (0.1 * 34.5) << QByteArray("7955.7");
        QTest::newRow("-1234 x 0.001 x CT 400") << -1234 * (0.001 * 400) << QByteArray("-493.6");
        QTest::newRow("32767 x 0.001 x CT 5000") << 32767 * (0.001 * 5000) << QByteArray("163835");
        QTest::newRow("counter 2^31 x 0.1") << 2147483647 * 0.1 << QByteArray("214748364.7");
        QTest::newRow("counter x CT x VT")
            << 4294967295.0 * (0.1 * 5000 * 34.5) << QByteArray("74088185838750");
        QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << QByteArray("0.3");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("tiny") << 1.5e-7 << QByteArray("1.5e-07");
        QTest::newRow("huge") << 1e20 << QByteArray("1e+20");
    }

    void numbersAtTheirResolution()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QByteArray out;
        appendNumber(out, value);
        QCOMPARE(out, text);
        if (!text.contains('e'))
            QCOMPARE(QString::fromLatin1(out), formatGeneral(value, QStringLiteral(".")));
    }

    void csvQuotesAndKeepsEveryColumn()
    {
        const RecordWriter w = writer(RecordFormat::Csv);
        QCOMPARE(w.header(),
                 QByteArray("analyzer,area,record,time,VLN1 [V],VLN1 #2 [V],kWh.Imp. [kWh],Hz. [Hz],"
                            "kWh.Ex. [kWh],kVArh(ind) [kVArhL],kVArh(Cap) [kVArhC],V1 HI [V],V2 HI [V],"
                            "V3 HI [V],I1 HI [I],I2 HI [I],I3 HI [I],TI HI. [I],TI LO. [I],TI DEM. [I],"
                            "TW DEM. [W],TVAr DEM. [VAr],TVA DEM. [VA],Total PF,CT,VT\n"));
        QByteArray out;
        w.append(record(hostileSerial, recordTime("31/12/09", "08:00:30"), false, logValues), out);
        w.append(record(hostileSerial, {}, true, energyValues), out);
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0],
                 QByteArray("\"S 1,\"\"x\"\"=\\\xc3\xa7\",3,7,2009-12-31T08:00:30+05:30,230.6,231.1,"
                            "51234,50.01,,,,,,,,,,,,,,,,,,"));
        // The counter and the frequency columns are shared with sector records; no time, no text.
        QVERIFY2(lines[1].startsWith("\"S 1,\"\"x\"\"=\\\xc3\xa7\",16,7,,,,29999,0,0,-1,10003,234.5,0,"),
                 lines[1].constData());
        QCOMPARE(lines[1].count(','), w.header().count(',') + 1); // one inside the quoted serial
    }

    void jsonReadsBack()
    {
        QByteArray out;
        writer(RecordFormat::Jsonl).append(record(hostileSerial, {}, false, logValues), out);
        QVERIFY(out.endsWith('\n') && out.count('\n') == 1);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o["analyzer"].toString(), hostileSerial);
        QCOMPARE(o["area"].toInt(), 3);
        QVERIFY(o["time"].isNull());
        const QJsonObject values = o["values"].toObject();
        QCOMPARE(values.keys(), (QStringList{"Hz. [Hz]", "VLN1 #2 [V]", "VLN1 [V]", "kWh.Imp. [kWh]"}));
        QCOMPARE(values["VLN1 [V]"].toDouble(), 230.6); // without the product's noise
        QCOMPARE(values["kWh.Imp. [kWh]"].toDouble(), 51234.0);
    }

    void influxEscapesAndNeedsATime()
    {
        const RecordWriter w = writer(RecordFormat::Influx);
        QByteArray out;
        w.append(record(hostileSerial, {}, false, logValues), out);
        QVERIFY2(out.isEmpty(), "a point without its own time would be stored at the time of writing");
        w.append(record(hostileSerial, recordTime("01/01/00", "05:30:01"), true, energyValues), out);
        QCOMPARE(out, QByteArray("pullrec,analyzer=S\\ 1\\,\"x\"\\=\\\\\xc3\xa7,area=16,record=7 "
                                 "kWh.Imp.=29999,Hz.=0,kWh.Ex.=0,"
                                 "kVArh(ind)=-1,kVArh(Cap)=10003,V1\\ HI=234.5,V2\\ HI=0,V3\\ HI=0,I1\\ HI=0,"
                                 "I2\\ HI=0,I3\\ HI=0,TI\\ HI.=0,TI\\ LO.=0,TI\\ DEM.=0,TW\\ DEM.=0,"
                                 "TVAr\\ DEM.=0,TVA\\ DEM.=0,Total\\ PF=0,CT=0,VT=0 946684801000000000\n"));
    }

    // Analyzers logging different quantities: one header of the union, each record's values under their
    // own columns, empty cells elsewhere, whatever order the layouts come in.
    void layoutsShareOneTable()
    {
        std::array<int16_t, kLogSlots> other;
        other.fill(kEmptySlot);
        other[0] = 27; // frequency, then VLN1
        other[1] = 0;
        const std::vector<Quantity> none;
        RecordWriter w(RecordFormat::Csv);
        const int first = w.addLayout(logQuantities(table, 168, codes()), none);
        const int second = w.addLayout(logQuantities(table, 168, other), none);
        const int energy = w.addLayout(none, energyQuantities(table));
        QCOMPARE(w.addLayout(logQuantities(table, 168, other), none), second);
        QCOMPARE(std::set<int>({first, second, energy}).size(), size_t(3));
        const QByteArray header = w.header();
        QVERIFY2(header.startsWith("analyzer,area,record,time,VLN1 [V],VLN1 #2 [V],kWh.Imp. [kWh],Hz. [Hz],"
                                   "kWh.Ex. [kWh],"),
                 header.constData());
        QCOMPARE(header.count("Hz. [Hz]"), 1);

        const std::array<double, kDecodedValues> values{49.98, 229.9};
        QByteArray out;
        w.append(record(QStringLiteral("S2"), {}, false, values), out, second);
        QVERIFY2(out.startsWith("S2,3,7,,229.9,,,49.98,,"), out.constData());
        QCOMPARE(out.count(','), header.count(','));
        out.clear();
        w.append(record(QStringLiteral("S3"), {}, true, energyValues), out, energy);
        QVERIFY2(out.startsWith("S3,16,7,,,,29999,0,0,-1,"), out.constData());
        QCOMPARE(out.count(','), header.count(','));
    }

    // Influx keeps one point per series key and time: records of equal time must differ in the key.
    void influxKeepsRecordsOfEqualTime()
    {
        const RecordWriter w = writer(RecordFormat::Influx);
        const QDateTime t = recordTime("27/10/24", "02:30:00", clockZone("Europe/Berlin"));
        QByteArray out;
        for (int number : {41, 42}) {
            ExportRecord r = record(QStringLiteral("S1"), t, false, logValues);
            r.number = number;
            w.append(r, out);
        }
        const QList<QByteArray> lines = out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const auto seriesKey = [](const QByteArray &line) { return line.left(line.indexOf(' ')); };
        const auto stamp = [](const QByteArray &line) { return line.mid(line.lastIndexOf(' ') + 1); };
        QCOMPARE(stamp(lines[0]), stamp(lines[1]));
        QCOMPARE(seriesKey(lines[0]), QByteArray("pullrec,analyzer=S1,area=3,record=41"));
        QCOMPARE(seriesKey(lines[1]), QByteArray("pullrec,analyzer=S1,area=3,record=42"));
    }
};

QTEST_MAIN(RecordFormatsTest)
#include "tst_record_formats.moc"
