#include "text/NumberFormat.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

class NumberFormatTest : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void pointSeparator_data();
    void pointSeparator();
    void commaLocale();
    void nonFinite();
};

void NumberFormatTest::pointSeparator_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("scaled word") << 2301 * 0.1 << "230.1";
    QTest::newRow("sum with binary noise") << 0.1 + 0.2 << "0.3";
    QTest::newRow("million") << 1000000.0 << "1000000";
    QTest::newRow("power factor") << -0.5 << "-0.5";
    QTest::newRow("frequency") << 50.0 << "50";
    QTest::newRow("current") << 12.5 << "12.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("smallest fixed") << 0.00001 << "0.00001";
    QTest::newRow("just below fixed") << 0.0000099999 << "9.9999E-6";
    QTest::newRow("micro") << 1e-6 << "1E-6";
    QTest::newRow("negative small") << -2.5e-7 << "-2.5E-7";
    QTest::newRow("15 integer digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("16 integer digits") << 1e15 << "1E15";
    QTest::newRow("rounds up to 16 digits") << 999999999999999.9 << "1E15";
    QTest::newRow("large") << 1.5e20 << "1.5E20";
    QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("two thirds rounded") << 2.0 / 3 << "0.666666666666667";
    QTest::newRow("fraction digits cut at 15") << 1234567.891234567 << "1234567.89123457";
    QTest::newRow("three digit exponent") << 1e-300 << "1E-300";
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769313486232E308";
    QTest::newRow("denormal") << std::numeric_limits<double>::denorm_min() << "4.94065645841247E-324";
}

void NumberFormatTest::pointSeparator()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatGeneral(value, QStringLiteral(".")), text);
    QCOMPARE(formatGeneral(value), text); // init() makes the default locale C
}

void NumberFormatTest::commaLocale()
{
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(formatGeneral(2301 * 0.1), QStringLiteral("230,1"));
    QCOMPARE(formatGeneral(-2.5e-7), QStringLiteral("-2,5E-7"));
    QCOMPARE(formatGeneral(1.5e20), QStringLiteral("1,5E20"));
    QCOMPARE(formatGeneral(1234567.0), QStringLiteral("1234567")); // no grouping
    QCOMPARE(formatGeneral(0.00001), QStringLiteral("0,00001"));
}

void NumberFormatTest::nonFinite()
{
    QCOMPARE(formatGeneral(std::nan(""), QStringLiteral(".")), QStringLiteral("NAN"));
    QCOMPARE(formatGeneral(std::numeric_limits<double>::infinity(), QStringLiteral(".")),
             QStringLiteral("INF"));
    QCOMPARE(formatGeneral(-std::numeric_limits<double>::infinity(), QStringLiteral(".")),
             QStringLiteral("-INF"));
}

QTEST_GUILESS_MAIN(NumberFormatTest)
#include "tst_number_format.moc"
