#include "ui/TrafficMonitor.h"

#include "modbus/MbusMasterFunctions.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

struct Text {
    const char16_t *tr, *en;
};

enum TextId {
    Title,
    Menu,
    Pause,
    Save,
    Requests,
    Replies,
    Timeouts,
    CrcErrors,
    Exceptions,
    Retries,
    Reconnects,
    MedianReply,
    MaxReply,
    None,
    Skipped,
    SaveFailed
};

constexpr Text kTexts[] = {
    {u"İletişim", u"Communication"},
    {u"İletişim...", u"Communication..."},
    {u"Duraklat", u"Pause"},
    {u"Kaydet...", u"Save..."},
    {u"İstek", u"Requests"},
    {u"Cevap", u"Replies"},
    {u"Zaman aşımı", u"Time-outs"},
    {u"CRC hatası", u"CRC errors"},
    {u"Hata cevapları (koda göre)", u"Exception replies (by code)"},
    {u"Tekrar deneme", u"Retries"},
    {u"Yeniden bağlanma", u"Reconnects"},
    {u"Ortanca cevap süresi", u"Median reply time"},
    {u"En uzun cevap süresi", u"Maximum reply time"},
    {u"yok", u"none"},
    {u"%1 satır gösterilmedi", u"%1 lines not shown"},
    {u"Dosya kaydedilemedi.", u"The file could not be saved."},
};

QString text(int lang, TextId id)
{
    const Text &t = kTexts[id];
    return QString::fromUtf16(lang == TextLanguage::Turkish ? t.tr : t.en);
}

QString resultText(const TrafficFrame &line)
{
    if (line.result == Success)
        return line.length > 0 ? QStringLiteral("OK") : QString();
    if (line.result == ChecksumError)
        return QStringLiteral("CRC error");
    const bool exception = line.result >= ExceptionResponse || line.result < 0;
    if (exception && line.length > line.pduOffset + 1) {
        const int code = line.bytes[line.pduOffset + 1];
        const char *name = errorText(ExceptionResponse + code);
        // Codes the stack has no name for are shown by number.
        return QStringLiteral("Exception %1: ").arg(code, 2, 16, QLatin1Char('0')) +
               (ExceptionResponse + code <= SlaveDeviceFailureException ? QString::fromLatin1(name)
                                                                        : QStringLiteral("unknown code"));
    }
    return QString::fromLatin1(errorText(line.result));
}

QString durationText(int64_t us)
{
    if (us < 0)
        return QStringLiteral("-");
    return QString::number(double(us) / 1000.0, 'f', us < 10000 ? 2 : 0) + QStringLiteral(" ms");
}

} // namespace

TrafficMonitor::TrafficMonitor(const TrafficRecorder &recorder, QWidget *parent)
    : QWidget(parent, Qt::Window), recorder(recorder), buffer(size_t(kLinesPerRefresh))
{
    setObjectName(QStringLiteral("TrafficMonitor"));
    frames = new QPlainTextEdit(this);
    frames->setObjectName(QStringLiteral("frames"));
    frames->setReadOnly(true);
    frames->setLineWrapMode(QPlainTextEdit::NoWrap);
    frames->setMaximumBlockCount(kLinesKept);
    frames->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    counters = new QLabel(this);
    counters->setObjectName(QStringLiteral("counters"));
    counters->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    counters->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pauseButton = new QPushButton(this);
    pauseButton->setObjectName(QStringLiteral("pauseButton"));
    pauseButton->setCheckable(true);
    saveButton = new QPushButton(this);
    saveButton->setObjectName(QStringLiteral("saveButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pauseButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(counters);
    layout->addWidget(frames, 1);
    layout->addLayout(buttons);
    resize(760, 520);

    timer = new QTimer(this);
    timer->setInterval(kRefreshMs);
    connect(timer, &QTimer::timeout, this, &TrafficMonitor::refresh);
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitor::save);
    setLanguage(lang);
}

QString TrafficMonitor::menuText(int lang)
{
    return text(lang, Menu);
}

void TrafficMonitor::setLanguage(int newLang)
{
    lang = newLang == TextLanguage::Turkish ? TextLanguage::Turkish : TextLanguage::English;
    setWindowTitle(text(lang, Title));
    pauseButton->setText(text(lang, Pause));
    saveButton->setText(text(lang, Save));
    counters->setText(countersText(recorder.counters()));
}

void TrafficMonitor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    timer->start();
}

void TrafficMonitor::hideEvent(QHideEvent *event)
{
    timer->stop();
    QWidget::hideEvent(event);
}

void TrafficMonitor::refresh()
{
    const QString counts = countersText(recorder.counters());
    if (counters->text() != counts)
        counters->setText(counts);
    if (pauseButton->isChecked())
        return;
    const int n = recorder.linesAfter(lastSequence, buffer.data(), kLinesPerRefresh);
    if (n == 0)
        return;
    QString text;
    const uint64_t skipped = buffer[0].sequence - lastSequence - 1;
    if (lastSequence > 0 && skipped > 0)
        text += QStringLiteral("... ") + ::text(lang, Skipped).arg(skipped) + u'\n';
    for (int i = 0; i < n; ++i) {
        text += lineText(buffer[size_t(i)]);
        if (i + 1 < n)
            text += u'\n';
    }
    lastSequence = buffer[size_t(n - 1)].sequence;
    frames->appendPlainText(text);
}

QString TrafficMonitor::lineText(const TrafficFrame &line)
{
    static constexpr char digits[] = "0123456789abcdef";
    QString s = QDateTime::fromMSecsSinceEpoch(line.wallUs / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
    s += line.sent ? QStringLiteral("  TX ") : QStringLiteral("  RX ");
    s.reserve(s.size() + 3 * line.length + 60);
    for (int i = 0; i < line.length; ++i) {
        s += u' ';
        s += QLatin1Char(digits[line.bytes[i] >> 4]);
        s += QLatin1Char(digits[line.bytes[i] & 15]);
    }
    if (line.sent)
        return s;
    if (line.length == 0)
        s += QStringLiteral(" -");
    const QString result = resultText(line);
    if (!result.isEmpty())
        s += QStringLiteral("  ") + result;
    if (line.attempt > 0)
        s += QStringLiteral("  (retry %1)").arg(line.attempt);
    return s;
}

QString TrafficMonitor::countersText(const TrafficCounters &c) const
{
    QString exceptions;
    for (size_t code = 0; code < c.exceptions.size(); ++code) {
        if (c.exceptions[code] == 0)
            continue;
        if (!exceptions.isEmpty())
            exceptions += QStringLiteral(", ");
        exceptions += QStringLiteral("%1: %2").arg(code, 2, 16, QLatin1Char('0')).arg(c.exceptions[code]);
    }
    if (exceptions.isEmpty())
        exceptions = text(lang, None);
    const auto row = [this](TextId id, const QString &value) {
        return text(lang, id).leftJustified(28) + value + u'\n';
    };
    QString s;
    s += row(Requests, QString::number(c.requests));
    s += row(Replies, QString::number(c.replies));
    s += row(Timeouts, QString::number(c.timeouts));
    s += row(CrcErrors, QString::number(c.crcErrors));
    s += row(Exceptions, exceptions);
    s += row(Retries, QString::number(c.retries));
    s += row(Reconnects, QString::number(c.reconnects));
    s += row(MedianReply, durationText(c.medianReplyUs));
    s += row(MaxReply, durationText(c.maxReplyUs));
    s.chop(1);
    return s;
}

void TrafficMonitor::save()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QString(), QDir(dataFolder()).filePath(QStringLiteral("traffic.txt")), QStringLiteral("*.txt"));
    if (!path.isEmpty() && !saveTo(path))
        QMessageBox::critical(this, QApplication::applicationDisplayName(),
                              QDir::toNativeSeparators(path) + QStringLiteral("\n\n") +
                                  text(lang, SaveFailed));
}

bool TrafficMonitor::saveTo(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QByteArray bytes =
        (counters->text() + QStringLiteral("\n\n") + frames->toPlainText() + u'\n').toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}
