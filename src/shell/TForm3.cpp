#include "shell/TForm3.h"

#include "shell/Errors.h"
#include "widgets/TLabeledEdit.h"
#include "worker/comThread.h"

#include <QFrame>
#include <QGridLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TForm3::TForm3(comThread &worker, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      worker(worker)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Timings"));
    setFixedSize(263, 142);

    auto *bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setFrameShadow(QFrame::Sunken);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(bevel);

    LabeledEdit1 = new TLabeledEdit(QStringLiteral("LabeledEdit1"), QStringLiteral("TimeOut(ms)"), bevel);
    LabeledEdit2 = new TLabeledEdit(QStringLiteral("LabeledEdit2"), QStringLiteral("Poll Delay"), bevel);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), bevel);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guarded(this, [this] { BitBtn1Click(); }));

    auto *grid = new QGridLayout(bevel);
    grid->setContentsMargins(10, 6, 10, 6);
    grid->setVerticalSpacing(4);
    grid->addWidget(LabeledEdit1, 0, 0);
    grid->addWidget(LabeledEdit2, 1, 0);
    grid->addWidget(BitBtn1, 1, 1, Qt::AlignBottom);
    grid->setColumnStretch(0, 1);
}

void TForm3::FormShow()
{
    LabeledEdit1->setText(QString::number(worker.settings().timeout));
    LabeledEdit2->setText(QString::number(worker.settings().pollDelay));
}

void TForm3::BitBtn1Click()
{
    worker.setPollDelay(qint32(quint32(quint64(StrToInt64(LabeledEdit2->text())))));
    worker.setTimeout(qint32(quint32(quint64(StrToInt64(LabeledEdit1->text())))));
    close();
}

void TForm3::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}
