#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
struct LANGUAGE;

// Where the window keeps its downloads, and whether it does. An empty location is the default one.
class ArchiveDialog : public QDialog
{
    Q_OBJECT

  public:
    ArchiveDialog(const LANGUAGE &texts, const QString &defaultLocation, QWidget *parent = nullptr);

    void setValues(const QString &location, bool keep);
    QString location() const;
    bool keep() const;

    // Refuses a location no archive could be opened at, saying why in the dialog.
    void accept() override;

  private:
    QLineEdit *locationEdit;
    QCheckBox *keepBox;
    QLabel *problem;
    QString notKept;
};
