#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;
struct LANGUAGE;

// Where the window keeps its downloads, and whether it does. An empty location is the default one.
// A password in the location is shown as "***" until the operator reveals it.
class ArchiveDialog : public QDialog
{
    Q_OBJECT

  public:
    ArchiveDialog(const LANGUAGE &texts, const QString &defaultLocation, QWidget *parent = nullptr);

    void setValues(const QString &location, bool keep);
    // As typed, with its password; after accept() a relative SQLite path is absolute.
    QString location() const;
    bool keep() const;

    // Refuses a location no archive could be opened at, and an existing file that holds no archive
    // this program can read, saying why in the dialog.
    void accept() override;

  private:
    void showLocation(const QString &location);
    QString refusal(const QString &location) const;

    const LANGUAGE &texts;
    QLineEdit *locationEdit;
    QToolButton *revealButton;
    QCheckBox *keepBox;
    QLabel *problem;
    QString secret; // the password the edit shows as "***"; empty when shown as it is
};
