#include "ui/ArchiveDialog.h"

#include "archive/Archive.h"
#include "shell/GSETTINGS.h"
#include "text/ArchiveMessages.h"
#include "text/Language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const QString masked = QStringLiteral("***");
} // namespace

ArchiveDialog::ArchiveDialog(const LANGUAGE &texts, const QString &defaultLocation, QWidget *parent)
    : QDialog(parent), texts(texts)
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
    revealButton = new QToolButton(this);
    revealButton->setObjectName(QStringLiteral("revealButton"));
    revealButton->setText(texts.captions[Captions::ArchiveRevealPassword]);
    revealButton->setCheckable(true);
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
    connect(revealButton, &QToolButton::toggled, this, [this] { showLocation(location()); });
    auto *row = new QHBoxLayout;
    row->addWidget(locationEdit);
    row->addWidget(revealButton);
    layout->addWidget(keepBox);
    layout->addWidget(label);
    layout->addLayout(row);
    for (QWidget *w :
         {static_cast<QWidget *>(hint), static_cast<QWidget *>(problem), static_cast<QWidget *>(buttons)})
        layout->addWidget(w);
}

void ArchiveDialog::showLocation(const QString &location)
{
    secret.clear();
    const QString redacted = QString::fromStdString(redactLocation(location.toStdString()));
    // One password is hidden; the few locations with more than one are shown as they are.
    const qsizetype at = redacted.indexOf(masked);
    const qsizetype length = location.size() - redacted.size() + masked.size();
    if (!revealButton->isChecked() && at >= 0 && redacted.indexOf(masked, at + 1) < 0 && length > 0 &&
        location.left(at) + masked + location.mid(at + length) == redacted) {
        secret = location.mid(at, length);
        locationEdit->setText(redacted);
        return;
    }
    locationEdit->setText(location);
}

void ArchiveDialog::setValues(const QString &location, bool keep)
{
    revealButton->setChecked(false);
    showLocation(location);
    keepBox->setChecked(keep);
    locationEdit->setEnabled(keep);
    problem->hide();
}

QString ArchiveDialog::location() const
{
    QString text = locationEdit->text().trimmed();
    const qsizetype at = text.indexOf(masked);
    if (!secret.isEmpty() && at >= 0)
        text.replace(at, masked.size(), secret);
    return text;
}

bool ArchiveDialog::keep() const
{
    return keepBox->isChecked();
}

QString ArchiveDialog::refusal(const QString &location) const
{
    const std::string chosen = location.toStdString();
    if (!Archive::checkLocation(chosen).empty())
        return archiveOpenMessage(texts, ArchiveFault::Location, chosen, {});
    if (!GSETTINGS::canKeepLocation(location))
        return texts.captions[Captions::ArchiveNotKept];
    // A file that is there must be an archive this version reads; a server is not asked here, as it
    // may keep the dialog waiting.
    if (!location.startsWith(QStringLiteral("sqlite:")) || !QFileInfo::exists(location.mid(7)))
        return {};
    std::string error;
    ArchiveFault fault = ArchiveFault::None;
    if (Archive::open(chosen, error, ArchiveAccess::Read, &fault) ||
        (fault != ArchiveFault::NotAnArchive && fault != ArchiveFault::NewerSchema))
        return {};
    return archiveOpenMessage(texts, fault, chosen, error);
}

void ArchiveDialog::accept()
{
    if (location().isEmpty()) {
        QDialog::accept();
        return;
    }
    // A relative path would name another file once the program starts from another folder.
    showLocation(QString::fromStdString(absoluteLocation(location().toStdString())));
    const QString why = refusal(location());
    if (!why.isEmpty()) {
        problem->setText(why);
        problem->show();
        return;
    }
    QDialog::accept();
}
