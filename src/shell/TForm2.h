#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QRadioButton;

// The language dialog of a first run: two flags, "TUR" and "ENG", and "OK", which creates the settings
// file with the chosen language and serial mode, shows the main window and hides the dialog. Closing
// it with its close box ends the program and writes nothing.
class TForm2 : public QWidget
{
    Q_OBJECT

  public:
    explicit TForm2(QWidget *parent = nullptr);

    // The window "OK" shows; TForm2 is created before it.
    void setMainWindow(QWidget *window) { mainWindow = window; }

    QLabel *Image1;
    QLabel *Image2;
    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QPushButton *BitBtn1;

  public slots:
    void Image1MouseMove();
    void Image2MouseMove();
    // Throws EPullrecError when the settings file cannot be written; the click runs it guarded.
    void BitBtn1Click();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    QWidget *mainWindow = nullptr;
};
