#include "widgets/TLabeledEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TLabeledEdit::TLabeledEdit(const QString &objectName, const QString &caption, QWidget *parent)
    : QWidget(parent), labelWidget(new QLabel(caption, this)), editWidget(new QLineEdit(this))
{
    editWidget->setObjectName(objectName);
    labelWidget->setBuddy(editWidget);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(labelWidget);
    layout->addWidget(editWidget);
    setFocusProxy(editWidget);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString TLabeledEdit::text() const
{
    return editWidget->text();
}

void TLabeledEdit::setText(const QString &text)
{
    editWidget->setText(text);
}
