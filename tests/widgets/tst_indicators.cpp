#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"

#include <QAccessible>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace
{

QList<bool> states(const QSignalSpy &spy)
{
    QList<bool> list;
    for (const auto &arguments : spy) {
        list << arguments.at(0).toBool();
    }
    return list;
}

// Mean lightness of the middle third of the widget as painted at the given scale.
double centreLightness(QWidget &widget, qreal scale)
{
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    widget.render(&image);

    const QRect centre(image.width() / 3, image.height() / 3, image.width() / 3, image.height() / 3);
    double sum = 0;
    for (int y = centre.top(); y <= centre.bottom(); ++y) {
        for (int x = centre.left(); x <= centre.right(); ++x) {
            sum += image.pixelColor(x, y).lightnessF();
        }
    }
    return sum / (centre.width() * centre.height());
}

QString accessibleName(QWidget &widget)
{
    return QAccessible::queryAccessibleInterface(&widget)->text(QAccessible::Name);
}

} // namespace

class IndicatorTest : public QObject
{
    Q_OBJECT

  private slots:
    void switchChangesOnClick();
    void switchChangesOnSpaceKey();
    void switchChangesWhenProgramSetsIt();
    void switchCanBeTurnedBackFromItsHandler();
    void disabledSwitchIgnoresOperator();
    void captionsAreAccessible();
    void lampState();
    void litLampIsBrighter_data();
    void litLampIsBrighter();
};

void IndicatorTest::switchChangesOnClick()
{
    TiSwitchLed sw("Pull REC(s)...");
    sw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sw));
    QSignalSpy spy(&sw, &TiSwitchLed::changed);

    QTest::mouseClick(&sw, Qt::LeftButton);
    QVERIFY(sw.isActive());
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(sw.width() - 2, sw.height() / 2)); // on the caption
    QVERIFY(!sw.isActive());
    QCOMPARE(states(spy), (QList<bool>{true, false}));
}

void IndicatorTest::switchChangesOnSpaceKey()
{
    TiSwitchLed sw("Pull REC(s)...");
    sw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sw));
    sw.setFocus();
    QSignalSpy spy(&sw, &TiSwitchLed::changed);

    QTest::keyClick(&sw, Qt::Key_Space);
    QTest::keyClick(&sw, Qt::Key_Space);
    QTest::keyClick(&sw, Qt::Key_Space);
    QVERIFY(sw.isActive());
    QCOMPARE(states(spy), (QList<bool>{true, false, true}));
}

void IndicatorTest::switchChangesWhenProgramSetsIt()
{
    TiSwitchLed sw;
    QSignalSpy spy(&sw, &TiSwitchLed::changed);

    sw.setActive(false); // already off
    QCOMPARE(spy.count(), 0);
    sw.setActive(true);
    sw.setActive(true);
    QCOMPARE(states(spy), QList<bool>{true});
    sw.setProperty("active", false);
    QCOMPARE(states(spy), (QList<bool>{true, false}));
}

void IndicatorTest::switchCanBeTurnedBackFromItsHandler()
{
    // The download switch springs back to off when nothing is selected.
    TiSwitchLed sw;
    sw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sw));
    QList<bool> seen;
    connect(&sw, &TiSwitchLed::changed, &sw, [&](bool active) {
        seen << active;
        if (active) {
            sw.setActive(false);
        }
    });

    QTest::mouseClick(&sw, Qt::LeftButton);
    QVERIFY(!sw.isActive());
    QCOMPARE(seen, (QList<bool>{true, false}));
}

void IndicatorTest::disabledSwitchIgnoresOperator()
{
    TiSwitchLed sw;
    sw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sw));
    sw.setEnabled(false);
    QSignalSpy spy(&sw, &TiSwitchLed::changed);

    QTest::mouseClick(&sw, Qt::LeftButton);
    QTest::keyClick(&sw, Qt::Key_Space);
    QCOMPARE(spy.count(), 0);
    sw.setActive(true); // the program still can
    QCOMPARE(states(spy), QList<bool>{true});
}

void IndicatorTest::captionsAreAccessible()
{
    TiSwitchLed sw("Bilgileri Oku ");
    QCOMPARE(sw.caption(), QStringLiteral("Bilgileri Oku "));
    const int plainWidth = sw.sizeHint().width();
    sw.setCaption("Pull REC(s)... and a much longer caption");
    QCOMPARE(accessibleName(sw), sw.caption());
    QVERIFY(sw.sizeHint().width() > plainWidth);

    TiLedRectangle lamp("RX");
    QCOMPARE(accessibleName(lamp), QStringLiteral("RX"));
    lamp.setCaption("TX");
    QCOMPARE(lamp.caption(), QStringLiteral("TX"));
    QCOMPARE(accessibleName(lamp), QStringLiteral("TX"));
}

void IndicatorTest::lampState()
{
    TiLedRectangle lamp("RX");
    QVERIFY(!lamp.isActive());
    lamp.setActive(true);
    QVERIFY(lamp.isActive());
    lamp.setProperty("active", false);
    QVERIFY(!lamp.isActive());
    lamp.setOnColor(Qt::red);
    QCOMPARE(lamp.onColor(), QColor(Qt::red));
}

void IndicatorTest::litLampIsBrighter_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("green") << 1.0 << QColor(0x30, 0xe0, 0x30);
    QTest::newRow("red, high density") << 2.0 << QColor(Qt::red);
    QTest::newRow("blue, fractional scale") << 1.5 << QColor(Qt::blue);
}

void IndicatorTest::litLampIsBrighter()
{
    QFETCH(qreal, scale);
    QFETCH(QColor, colour);
    TiLedRectangle lamp; // no caption over the lens
    lamp.setOnColor(colour);
    lamp.resize(40, 24);

    const double dark = centreLightness(lamp, scale);
    lamp.setActive(true);
    const double lit = centreLightness(lamp, scale);
    QVERIFY2(lit > dark + 0.25, qPrintable(QString("lit %1, dark %2").arg(lit).arg(dark)));
}

QTEST_MAIN(IndicatorTest)
#include "tst_indicators.moc"
