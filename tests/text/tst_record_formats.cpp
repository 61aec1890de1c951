// The csv, jsonl and influx writers with what a real analyzer may hand them: serial numbers with
// separators and quotes, clocks that were never set, a quantity logged twice, local times with an
// offset.

#include "text/RecordFormats.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <array>

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
        QCOMPARE(
            lines[0],
            QByteArray("\"S 1,\"\"x\"\"=\\\xc3\xa7\",3,7,2009-12-31T08:00:30+05:30,230.60000000000002,231.1,"
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
        QCOMPARE(values["VLN1 [V]"].toDouble(), logValues[0]); // every digit
        QCOMPARE(values["kWh.Imp. [kWh]"].toDouble(), 51234.0);
    }

    void influxEscapesAndNeedsATime()
    {
        const RecordWriter w = writer(RecordFormat::Influx);
        QByteArray out;
        w.append(record(hostileSerial, {}, false, logValues), out);
        QVERIFY2(out.isEmpty(), "a point without its own time would be stored at the time of writing");
        w.append(record(hostileSerial, recordTime("01/01/00", "05:30:01"), true, energyValues), out);
        QCOMPARE(
            out,
            QByteArray("pullrec,analyzer=S\\ 1\\,\"x\"\\=\\\\\xc3\xa7,area=16 kWh.Imp.=29999,Hz.=0,kWh.Ex.=0,"
                       "kVArh(ind)=-1,kVArh(Cap)=10003,V1\\ HI=234.5,V2\\ HI=0,V3\\ HI=0,I1\\ HI=0,"
                       "I2\\ HI=0,I3\\ HI=0,TI\\ HI.=0,TI\\ LO.=0,TI\\ DEM.=0,TW\\ DEM.=0,"
                       "TVAr\\ DEM.=0,TVA\\ DEM.=0,Total\\ PF=0,CT=0,VT=0 946684801000000000\n"));
    }
};

QTEST_MAIN(RecordFormatsTest)
#include "tst_record_formats.moc"
