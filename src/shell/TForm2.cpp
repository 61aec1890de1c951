#include "shell/TForm2.h"

#include "shell/Errors.h"
#include "shell/Flags.h"
#include "shell/GSETTINGS.h"

#include "model/AnalyzerMap.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace
{

constexpr QSize flagSize(129, 89);

QLabel *flagImage(const char *name, const QPixmap &picture, QPoint at, QWidget *parent)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setGeometry(QRect(at, flagSize));
    image->setScaledContents(true);
    image->setPixmap(picture);
    image->setCursor(Qt::PointingHandCursor);
    image->setMouseTracking(true);
    image->installEventFilter(parent);
    return image;
}

QRadioButton *choice(const char *name, const QString &caption, QRect geometry, QWidget *parent)
{
    auto *button = new QRadioButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    return button;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(340, 192);

    Image1 = flagImage("Image1", turkishFlag(flagSize * 2), QPoint(24, 16), this);
    Image2 = flagImage("Image2", unionFlag(flagSize * 2), QPoint(187, 16), this);
    RadioButton1 = choice("RadioButton1", QStringLiteral("TUR"), QRect(60, 116, 70, 22), this);
    RadioButton2 = choice("RadioButton2", QStringLiteral("ENG"), QRect(223, 116, 70, 22), this);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(132, 152, 76, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guarded(this, [this] { BitBtn1Click(); }));

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm2::Image1MouseMove()
{
    RadioButton1->setChecked(true);
}

void TForm2::Image2MouseMove()
{
    RadioButton2->setChecked(true);
}

void TForm2::BitBtn1Click()
{
    GSETTINGS settings;
    if (RadioButton1->isChecked())
        settings.values.lang = TextLanguage::Turkish;
    if (RadioButton2->isChecked())
        settings.values.lang = TextLanguage::English;
    settings.values.mode = LinkMode::Rtu;
    settings.save();
    if (mainWindow)
        mainWindow->show();
    hide();
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    // A click on a flag chooses like hovering it.
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
        if (watched == Image1)
            Image1MouseMove();
        else if (watched == Image2)
            Image2MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

// The dialog is the program's only window on a first run: closing it without "OK" ends the program.
void TForm2::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::quit();
}
