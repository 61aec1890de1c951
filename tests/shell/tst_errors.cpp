#include "ModalHelper.h"

#include "shell/Application.h"
#include "shell/Errors.h"
#include "shell/Startup.h"

#include <QPushButton>
#include <QTest>

// Runs under the program's own application class, so that its last-resort catching is exercised too.
class ErrorsTest : public QObject
{
    Q_OBJECT

  private slots:
    void convertsIntegers_data();
    void convertsIntegers();
    void refusesNonIntegers_data();
    void refusesNonIntegers();
    void converts64Bits();
    void guardedHandlerShowsOneBox();
    void guardedSlotIsAbandoned();
    void applicationCatchesEscapedErrors();
};

void ErrorsTest::convertsIntegers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "123" << 123;
    QTest::newRow("signs") << "-45" << -45;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("leading blanks") << "  12" << 12;
    QTest::newRow("dollar") << "$1F" << 31;
    QTest::newRow("0x") << "0x1f" << 31;
    QTest::newRow("0X") << "0X1F" << 31;
    QTest::newRow("negative hex") << "-$1" << -1;
    QTest::newRow("hex uses 32 bits") << "$FFFFFFFF" << -1;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483648LL);
}

void ErrorsTest::convertsIntegers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(StrToInt(text), value);
    QCOMPARE(StrToIntDef(text, 99), value);
}

void ErrorsTest::refusesNonIntegers_data()
{
    QTest::addColumn<QString>("text");
    for (const char *bad : {"abc", "", " ", "12 ", "1.5", "2147483648", "-2147483649", "$", "0x",
                            "$100000000", "--1", "1e3", "0x-1"})
        QTest::newRow(bad) << QString::fromLatin1(bad);
    QTest::newRow("other digits") << QString::fromUtf8("١٢");
}

void ErrorsTest::refusesNonIntegers()
{
    QFETCH(QString, text);
    QCOMPARE(StrToIntDef(text, 99), 99);
    try {
        StrToInt(text);
        QFAIL("converted");
    } catch (const EPullrecError &error) {
        QCOMPARE(error.message(), "'" + text + "' is not a valid integer value");
        QCOMPARE(QString::fromUtf8(error.what()), error.message());
    }
}

void ErrorsTest::converts64Bits()
{
    QCOMPARE(StrToInt64("4294967297"), 4294967297LL);
    QCOMPARE(StrToInt64("-9223372036854775808"), std::numeric_limits<qint64>::min());
    QCOMPARE(StrToInt64("$FFFFFFFFFFFFFFFF"), -1LL);
    QVERIFY_THROWS_EXCEPTION(EPullrecError, StrToInt64("9223372036854775808"));
    QVERIFY_THROWS_EXCEPTION(EPullrecError, StrToInt("4294967297"));
}

void ErrorsTest::guardedHandlerShowsOneBox()
{
    QWidget window;
    window.show();
    ModalAnswer answer;
    bool rest = false;
    QVERIFY(!runGuarded(&window, [&] {
        StrToInt("x1");
        rest = true;
    }));
    QVERIFY(answer.seen());
    QVERIFY(!rest);
    QCOMPARE(answer.text(), QString("'x1' is not a valid integer value"));
    QCOMPARE(answer.icon(), QMessageBox::Critical);
    QCOMPARE(answer.title(), applicationTitle());
    QCOMPARE(answer.owner(), &window);

    ModalAnswer none(QMessageBox::Ok, 200);
    QVERIFY(runGuarded(&window, [] {}));
    QVERIFY(!none.wait());
}

void ErrorsTest::guardedSlotIsAbandoned()
{
    QWidget window;
    auto *button = new QPushButton("OK", &window);
    int stored = 0;
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, &window, guarded<bool>(&window, [&](bool) {
                         ++clicks;
                         stored = StrToInt(clicks == 1 ? "abc" : "5");
                     }));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ModalAnswer answer;
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(answer.wait());
    QCOMPARE(answer.text(), QString("'abc' is not a valid integer value"));
    QCOMPARE(stored, 0);

    QTest::mouseClick(button, Qt::LeftButton); // the window goes on working
    QCOMPARE(stored, 5);
}

namespace
{
// An event handler that throws outside any guarded handler.
class Thrower : public QObject
{
  public:
    int handled = 0;
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (++handled == 1)
            throw EPullrecError("Unable to write to /x");
        return true;
    }
};
} // namespace

void ErrorsTest::applicationCatchesEscapedErrors()
{
    QVERIFY(qobject_cast<TApplication *>(QCoreApplication::instance()));
    Thrower thrower;
    ModalAnswer answer;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QVERIFY(answer.wait());
    QCOMPARE(answer.text(), QString("Unable to write to /x"));

    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(thrower.handled, 2);
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ErrorsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errors.moc"
