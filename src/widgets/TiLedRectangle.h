#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A rectangular indicator lamp with a centred label, such as the "RX" and "TX" activity lamps.
class TiLedRectangle : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool active READ isActive WRITE setActive)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)

  public:
    explicit TiLedRectangle(QWidget *parent = nullptr);
    explicit TiLedRectangle(const QString &caption, QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    bool isActive() const { return m_active; }
    void setActive(bool active);

    // The colour of the lit lamp; the dark lamp shows a deep shade of it.
    QColor onColor() const { return m_onColor; }
    void setOnColor(const QColor &colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QFont captionFont() const;

    QString m_caption;
    bool m_active = false;
    QColor m_onColor;
};
