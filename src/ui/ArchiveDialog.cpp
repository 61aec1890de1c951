#include "ui/ArchiveDialog.h"

#include "archive/Archive.h"
#include "shell/IniFile.h"
#include "text/CodePage1254.h"
#include "text/Language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ArchiveDialog::ArchiveDialog(const LANGUAGE &texts, const QString &defaultLocation, QWidget *parent)
    : QDialog(parent), notKept(texts.captions[Captions::ArchiveNotKept])
{
    setObjectName(QStringLiteral("ArchiveDialog"));
    setWindowTitle(texts.captions[Captions::ArchiveSettings].chopped(3));
    auto *layout = new QVBoxLayout(this);
    keepBox = new QCheckBox(texts.captions[Captions::KeepDownloads], this);
    keepBox->setObjectName(QStringLiteral("keepBox"));
    auto *label = new QLabel(texts.captions[Captions::ArchiveLocation], this);
    locationEdit = new QLineEdit(this);
    locationEdit->setObjectName(QStringLiteral("locationEdit"));
    locationEdit->setPlaceholderText(defaultLocation);
    locationEdit->setMinimumWidth(420);
    label->setBuddy(locationEdit);
    auto *hint = new QLabel(texts.captions[Captions::ArchiveDefault].arg(defaultLocation), this);
    hint->setWordWrap(true);
    problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setWordWrap(true);
    problem->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ArchiveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ArchiveDialog::reject);
    connect(keepBox, &QCheckBox::toggled, locationEdit, &QLineEdit::setEnabled);
    for (QWidget *w : {static_cast<QWidget *>(keepBox), static_cast<QWidget *>(label),
                       static_cast<QWidget *>(locationEdit), static_cast<QWidget *>(hint),
                       static_cast<QWidget *>(problem), static_cast<QWidget *>(buttons)})
        layout->addWidget(w);
}

void ArchiveDialog::setValues(const QString &location, bool keep)
{
    locationEdit->setText(location);
    keepBox->setChecked(keep);
    locationEdit->setEnabled(keep);
    problem->hide();
}

QString ArchiveDialog::location() const
{
    return locationEdit->text().trimmed();
}

bool ArchiveDialog::keep() const
{
    return keepBox->isChecked();
}

void ArchiveDialog::accept()
{
    const std::string why =
        location().isEmpty() ? std::string() : Archive::checkLocation(location().toStdString());
    if (!why.empty()) {
        problem->setText(QString::fromStdString(why));
        problem->show();
        return;
    }
    QDialog::accept();
}
