#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"

#include "model/RecordDecoding.h"
#include "shell/Errors.h"
#include "shell/Startup.h"
#include "widgets/TLabeledEdit.h"
#include "worker/comThread.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMessageBox>
#include <QScopeGuard>

#include <utility>

namespace
{
constexpr int kFirstValueColumn = 3;
constexpr int kMinLogPeriod = 1;
constexpr int kMaxLogPeriod = 32767;
} // namespace

void TForm1::list1ClickCheck()
{
    int count = 0;
    for (int i = 0; i < list1->count(); ++i)
        count += list1->item(i)->checkState() == Qt::Checked;
    checkedCount = count;
    // Within the limit the list keeps the desktop's own background, white on a light desktop.
    QPalette palette = list1->palette();
    palette.setColor(QPalette::Base, count > kLogSlots ? QColor(255, 0, 0)
                                                       : QApplication::palette(list1).color(QPalette::Base));
    list1->setPalette(palette);
}

void TForm1::BitBtn3Click()
{
    const auto answer = QMessageBox::warning(this, applicationTitle(), texts.messages[Messages::ConfirmApply],
                                             QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;

    // Built aside: a refused or failed Apply must leave the configuration that later downloads
    // decode and label their values with.
    LOG_CONFIG config = worker->configuration();
    config.logPeriod = StrToInt(LabeledEdit4->text());
    // One register word, read back sign-extended: other periods would not survive a write and a read.
    if (config.logPeriod < kMinLogPeriod || config.logPeriod > kMaxLogPeriod) {
        showMessage(texts.messages[Messages::LogPeriodRange]);
        return;
    }
    config.eventLogging = CheckBox1->isChecked() ? 1 : 0;
    config.paramCodes.fill(kEmptySlot);
    if (checkedCount > kLogSlots) {
        showMessage(texts.messages[Messages::TooManyParameters]);
        return;
    }
    // Chosen codes in ascending order; the slots after them stay empty.
    size_t slot = 0;
    for (int k = 0; k < list1->count() && slot < config.paramCodes.size(); ++k) {
        if (list1->item(k)->checkState() == Qt::Checked)
            config.paramCodes[slot++] = int16_t(k);
    }

    endPausedDownloadFor(Captions::WritingConfiguration);
    // The worker writes its own configuration; a failed or cancelled write puts the old one back.
    const LOG_CONFIG previous = worker->configuration();
    worker->setConfiguration(config);
    bool written = false;
    const auto keepOrRestore = qScopeGuard([&] {
        if (!written)
            worker->setConfiguration(previous);
    });
    written = transact(Captions::WritingConfiguration, [this] { return worker->writeConfiguration(); });
    if (written) {
        setStatus(StatusPanel::Message, texts.captions[Captions::WriteOk]);
        showMessage(texts.messages[Messages::Applied]);
    } else {
        setStatus(StatusPanel::Message, texts.captions[Captions::WriteFailed]);
        showMessage(texts.captions[Captions::WriteFailed]);
    }
}

void TForm1::RebuildParameterView()
{
    const LOG_CONFIG &config = worker->configuration();
    LabeledEdit4->setText(QString::number(config.logPeriod));
    CheckBox1->setChecked(config.eventLogging != 0);

    // The program's own checks are no operator's clicks.
    const QSignalBlocker blocker(list1);
    list1->clear();
    std::vector<std::string> labels(kParameterCount);
    if (const DEVICE_REGISTER_TABLE *table = worker->registerTable())
        BuildParameterList(*table, modelCode, labels);
    for (size_t i = 0; i < labels.size() && i < size_t(kParameterCount) && !labels[i].empty(); ++i)
        (new QListWidgetItem(fromDevice(labels[i]), list1))->setCheckState(Qt::Unchecked);

    gridModel->setColumnCount(1);
    gridModel->setColumnCount(kSectorGridColumns);

    // Each slot's value lands in column 3 + slot, so its header goes there too:
    // a slot the list does not offer (255, or a code past the model's range)
    // between listed ones must not shift the later headers onto other values.
    checkedCount = 0;
    const int limit = offeredParameterCount(modelCode);
    for (int slot = 0; slot < int(config.paramCodes.size()); ++slot) {
        const int16_t code = config.paramCodes[slot];
        const bool listed = code >= 0 && code < limit && code < list1->count();
        QString header;
        if (listed) {
            ++checkedCount;
            QListWidgetItem *item = list1->item(code);
            item->setCheckState(Qt::Checked);
            header = item->text();
        }
        gridModel->setCell(0, kFirstValueColumn + slot, header);
    }
    writeRecordHeaders();
    worker->headerRowReplaced();
}
