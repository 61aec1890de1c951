#pragma once

#include <QWidget>

class QPushButton;
class TLabeledEdit;
class comThread;

// The timings dialog: the worker's reply time-out and poll delay in milliseconds. It keeps no values
// of its own; the worker's settings are the only store. Shown non-modally; OK stores and hides it.
class TForm3 : public QWidget
{
    Q_OBJECT

  public:
    explicit TForm3(comThread &worker, QWidget *parent = nullptr);

    TLabeledEdit *LabeledEdit1; // time-out
    TLabeledEdit *LabeledEdit2; // poll delay
    QPushButton *BitBtn1;

  public slots:
    void FormShow();
    // Throws EPullrecError for a text that is not an integer; the click runs it guarded.
    void BitBtn1Click();

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    comThread &worker;
};
