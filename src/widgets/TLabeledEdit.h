#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

// An edit box with its label above it. The edit carries the object name (findChild<QLineEdit *>("name")
// finds it); the container has none.
class TLabeledEdit : public QWidget
{
    Q_OBJECT

  public:
    TLabeledEdit(const QString &objectName, const QString &caption, QWidget *parent = nullptr);

    QLabel *label() const { return labelWidget; }
    QLineEdit *edit() const { return editWidget; }
    QString text() const;
    void setText(const QString &text);

  private:
    QLabel *labelWidget;
    QLineEdit *editWidget;
};
