// Analyzers that answer what no analyzer should: garbage for its identity, objects that run past the
// reply, model texts that end in no number, record counts below zero or at the top of the range,
// parameter codes outside the tables. The window reports what it cannot use and goes on.

#include "FakeAnalyzer.h"
#include "ReliabilityHarness.h"

#include <cstring>

using namespace reliability;

namespace
{

const QString kReadError = QStringLiteral("Error occured while Read");

QByteArray garbage(size_t length, quint32 seed)
{
    QByteArray bytes;
    for (size_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += char(seed >> 23);
    }
    return bytes;
}

std::vector<uint8_t> bytesOf(const QByteArray &bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> text(const char *s)
{
    return {s, s + std::strlen(s)};
}

} // namespace

class TestHostile : public QObject, public WindowFixture
{
    Q_OBJECT

    // Ethernet mode with a short time-out; Connect to port, noting the boxes it shows.
    QStringList connectTo(int port)
    {
        Settings s;
        s.mode = 0;
        s.pollDelay = 0;
        s.timeout = 100;
        form = openWindow(s);
        if (!form)
            return {QStringLiteral("no window")};
        ModalAnswer box;
        connectTcp(*form, port);
        return box.seen() ? QStringList{box.text()} : QStringList{};
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void identification_data()
    {
        QTest::addColumn<QByteArray>("reply"); // empty: an exception reply
        QTest::addColumn<QString>("box");      // the error box, or none
        QTest::addColumn<QString>("model");    // the model line, when the identity was read
        QTest::addColumn<bool>("unlocked");

        const auto objects = [](std::vector<std::vector<uint8_t>> list, size_t length = 117) {
            const std::vector<uint8_t> reply = identificationReply(list, length);
            return QByteArray(reinterpret_cast<const char *>(reply.data()), qsizetype(reply.size()));
        };
        QTest::newRow("exception") << QByteArray() << QString() << QString() << true;
        QTest::newRow("shorter than any identity") << garbage(40, 1) << QString() << QString() << true;
        QTest::newRow("all zero") << QByteArray(117, '\0')
                                  << QStringLiteral("'' is not a valid integer value") << QString() << false;
        QTest::newRow("first object runs past the reply")
            << objects({text("KTR"), text("KTR-58-168")}).replace(7, 1, "\xF0")
            << "'' is not a valid integer value" << QString() << false;
        QTest::newRow("serial runs past the reply")
            << objects({text("KTR"), text("KTR-58-168"), text("V3"), {}, {}, std::vector<uint8_t>(90, '7')},
                       117)
            << QString() << QStringLiteral(" KTR-58-168") << true;
        QTest::newRow("model text too short")
            << objects({text("KTR"), text("7"), text("V3"), {}, {}, text("1")}) << QString()
            << QStringLiteral(" 7") << true;
        QTest::newRow("model text ends in letters")
            << objects({text("KTR"), text("KTR-ABC"), text("V3"), {}, {}, text("1")})
            << QStringLiteral("'ABC' is not a valid integer value") << QStringLiteral(" KTR-ABC") << false;
        QTest::newRow("model text of one letter")
            << objects({text("KTR"), text("A"), text("V3"), {}, {}, text("1")})
            << QStringLiteral("'A' is not a valid integer value") << QStringLiteral(" A") << false;
        for (quint32 seed : {2u, 3u, 4u, 5u})
            QTest::addRow("garbage %u", seed)
                << garbage(seed % 2 ? 117 : 134, seed) << QStringLiteral("?") << QStringLiteral("?") << false;
    }

    // Whatever the identity holds, Connect ends in the documented state: the identity lines shown, a
    // model code that is not a number reported (Connect stops there), anything else connected.
    void identification()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, box);
        QFETCH(QString, model);
        QFETCH(bool, unlocked);
        FakeAnalyzer analyzer(bytesOf(reply));
        const QStringList boxes = connectTo(analyzer.port());
        QVERIFY(form);

        if (box == QStringLiteral("?")) { // garbage: either outcome, cleanly
            QCOMPARE(memoLines(*form).size(), 4);
            QVERIFY(boxes.isEmpty()
                        ? form->BitBtn3->isEnabled()
                        : boxes.first().endsWith(QStringLiteral("is not a valid integer value")) &&
                              !form->BitBtn3->isEnabled());
            return;
        }
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(form->BitBtn3->isEnabled(), unlocked);
        if (reply.size() < 117) {
            QVERIFY(form->Memo1->toPlainText().isEmpty()); // nothing was read
            QCOMPARE(form->modelCode, qint16(0));
            QCOMPARE(form->list1->count(), 79);
        } else {
            QCOMPARE(memoLines(*form).size(), 4);
            QCOMPARE(memoLines(*form).value(2), model.isEmpty() ? QStringLiteral(" ") : model);
        }
        if (unlocked) {
            QCOMPARE(form->chkSector[0]->text(), QStringLiteral("Sector:1  ->3"));
            select(*form, {0});
            clickSwitch(*form);
            QVERIFY(waitCompleted(*form, 20000));
            QCOMPARE(form->gridModel->cell(3, 0), QStringLiteral("3"));
        }
    }

    // Counts of -5 and 32767: the window shows them as they are, a negative count reads nothing, and
    // selecting every sector of 32767 records adds up without overflow.
    void extremeRecordCounts()
    {
        std::string counts = "-5";
        for (int area = 1; area < 16; ++area)
            counts += area < 15 ? ",32767" : ",0";
        SimProcess sim;
        QVERIFY2(sim.startTcp({"--records", counts}), sim.error().c_str());
        QVERIFY(connectTo(sim.tcpPort()).isEmpty());
        QVERIFY(form->BitBtn3->isEnabled());
        QCOMPARE(form->chkSector[0]->text(), QStringLiteral("Sector:1  ->-5"));
        QCOMPARE(form->chkSector[14]->text(), QStringLiteral("Sector:15  ->32767"));

        select(*form, {0}); // -5 records only: nothing to read
        clickSwitch(*form);
        QVERIFY(!form->iSwitchLed1->isActive());
        QVERIFY(form->chkSector[0]->isEnabled() && form->BitBtn1->isEnabled());
        QCOMPARE(form->worker->recordsToRead(), 0);

        form->d1->trigger(); // Select All
        clickSwitch(*form);
        QVERIFY(form->iSwitchLed1->isActive());
        QCOMPARE(form->worker->recordsToRead(), 14 * 32767);
        RecordWatch watch(*form);
        QTRY_VERIFY_WITH_TIMEOUT(watch.shown.size() >= 5, 20000);
        clickSwitch(*form); // pause
        QVERIFY(form->worker->suspended());
        QCOMPARE(watch.shown.front().position, QStringLiteral("01-0000")); // sector 1 was passed over
        QCOMPARE(form->gridModel->cell(1, 0), QStringLiteral("1"));
        QVERIFY(!form->worker->completed());
    }

    // Codes no table has (300, -1, 79), a code beyond the 39 of the short model, an energy counter's
    // low word in the last slot: the checklist ticks only what it lists, and a download decodes the
    // rest as 0 under headers that name the parameter of their own column.
    void parameterCodesOutsideTheTables()
    {
        SimProcess sim;
        QVERIFY2(sim.startTcp({"--records", recordsArg({{0, 3}}), "--model", "KTR-58-167"}),
                 sim.error().c_str());
        {
            comThread setter; // another program configured the analyzer
            COMSETT settings;
            settings.host = "127.0.0.1";
            settings.tcpPort = sim.tcpPort();
            settings.slaveAddress = 1;
            settings.timeout = 500;
            setter.setSettings(settings);
            QVERIFY(setter.connect());
            LOG_CONFIG config;
            config.logPeriod = 60;
            config.paramCodes.fill(kEmptySlot);
            const int16_t codes[] = {0, 300, -1, 79, 50, 1};
            std::copy(std::begin(codes), std::end(codes), config.paramCodes.begin());
            config.paramCodes[27] = 60;
            setter.setConfiguration(config);
            QVERIFY(setter.writeConfiguration());
        }
        QVERIFY(connectTo(sim.tcpPort()).isEmpty());
        QCOMPARE(form->modelCode, qint16(167));
        QCOMPARE(form->list1->count(), 39);
        QCOMPARE(form->checkedCount, 2); // 0 and 1: the short model lists neither 50 nor 60
        QVERIFY(form->list1->item(0)->checkState() == Qt::Checked);
        QVERIFY(form->list1->item(1)->checkState() == Qt::Checked);

        select(*form, {0});
        clickSwitch(*form);
        QVERIFY(waitCompleted(*form, 20000));
        const QStringList row = gridRow(*form, 1, 31);
        for (int slot : {1, 2, 3})
            QCOMPARE(row[3 + slot], QStringLiteral("0"));
        QVERIFY(row[3].toDouble() > 100); // a phase voltage
        QVERIFY(row[3 + 5].toDouble() > 100);

        const QStringList header = headerRow(*form);
        QCOMPARE(header[3], form->list1->item(0)->text());
        QCOMPARE(header[3 + 5], form->list1->item(1)->text());
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
