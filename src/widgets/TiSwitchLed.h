#pragma once

#include <QAbstractButton>
#include <QColor>

// A two-state switch: a toggle with a lamp beside it and a caption. The operator turns it with the mouse
// or the space key, the program with setActive.
//
// changed(bool) is emitted on every change of state, whoever made it, and only on a change: setting the
// state it already has emits nothing. A handler may set the state again from inside changed; the nested
// change is emitted in turn. (changed mirrors QAbstractButton::toggled.)
class TiSwitchLed : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY changed)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)

  public:
    explicit TiSwitchLed(QWidget *parent = nullptr);
    explicit TiSwitchLed(const QString &caption, QWidget *parent = nullptr);

    QString caption() const { return text(); }
    void setCaption(const QString &caption);

    bool isActive() const { return isChecked(); }
    void setActive(bool active) { setChecked(active); }

    // The colour of the lit lamp.
    QColor onColor() const { return m_onColor; }
    void setOnColor(const QColor &colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void changed(bool active);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    struct Layout {
        QRectF lamp, track, caption;
    };
    Layout layout() const;
    void paintTrack(QPainter &painter, const QRectF &track) const;

    QColor m_onColor;
};
