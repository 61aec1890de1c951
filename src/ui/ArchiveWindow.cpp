#include "ui/ArchiveWindow.h"

#include "ui/ArchiveLease.h"
#include "ui/ChartWindow.h"
#include "ui/GridActions.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/ReportWindow.h"

#include "text/ArchiveMessages.h"
#include "text/ArchivedSource.h"
#include "text/GridHeader.h"
#include "worker/AnalyzerSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <mutex>
#include <thread>

namespace
{

constexpr int kProgressMs = 100; // the count of records read, while reading
constexpr int kFixedColumns = 3; // serial, model, last download; then a count per area
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss"); // RecordFilter's

// The analyzer's clock keeps no zone the window knows of: times are shown and asked for as they are.
QDateTime filterTime(const std::string &text)
{
    QDateTime time = QDateTime::fromString(QString::fromStdString(text), kTimeFormat);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QString areaName(const LANGUAGE &texts, int area)
{
    return area == kEnergyArea ? texts.captions[Captions::Energy].trimmed()
                               : texts.captions[Captions::Sector] + QStringLiteral(" %1").arg(area + 1);
}

QDateTimeEdit *timeEdit(QWidget *parent, const char *name)
{
    auto *edit = new QDateTimeEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(kTimeFormat);
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

// A read and what it produced, shared by the window and the reading thread.
struct ArchiveWindow::Read {
    std::shared_ptr<ArchiveLease> lease = ArchiveLease::create();
    std::atomic<bool> stopping = false;
    std::atomic<long long> count = 0;
    std::mutex mutex;
    ArchiveWindow *window = nullptr; // under mutex; none once the window gave the read up
    bool done = false;               // under mutex, as outcome
    Outcome outcome;
};

ArchiveWindow::ArchiveWindow(const QString &location, const LANGUAGE &texts, bool turkish, QWidget *parent)
    : QWidget(parent, Qt::Window), location(location), texts(texts), turkish(turkish)
{
    setObjectName(QStringLiteral("ArchiveWindow"));
    buildLayout();
    retitle();
    resize(1000, 700);
    reload();
}

ArchiveWindow::~ArchiveWindow()
{
    stopReading();
}

void ArchiveWindow::stopReading()
{
    if (!reading)
        return;
    {
        std::lock_guard lock(reading->mutex);
        reading->window = nullptr;
    }
    reading->stopping = true;
    reading->lease->stop();
    reading.reset();
}

void ArchiveWindow::closeEvent(QCloseEvent *event)
{
    if (busy()) {
        stopReading();
        setBusy(false);
        statusLabel->clear();
    }
    QWidget::closeEvent(event);
}

void ArchiveWindow::buildLayout()
{
    locationLabel = new QLabel(this);
    locationLabel->setObjectName(QStringLiteral("locationLabel"));
    locationLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    analyzerTable = new QTableWidget(0, kFixedColumns + kAreaCount, this);
    analyzerTable->setObjectName(QStringLiteral("analyzerTable"));
    analyzerTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    analyzerTable->setSelectionMode(QAbstractItemView::SingleSelection);
    analyzerTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    analyzerTable->verticalHeader()->hide();
    analyzerTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    areaCombo = new QComboBox(this);
    areaCombo->setObjectName(QStringLiteral("areaCombo"));
    fromEdit = timeEdit(this, "fromEdit");
    toEdit = timeEdit(this, "toEdit");
    unclockedBox = new QCheckBox(this);
    unclockedBox->setObjectName(QStringLiteral("unclockedBox"));
    showButton = new QPushButton(this);
    showButton->setObjectName(QStringLiteral("showButton"));
    showButton->setDefault(true);
    busyBar = new QProgressBar(this);
    busyBar->setObjectName(QStringLiteral("busyBar"));
    busyBar->setRange(0, 0); // busy, no end known
    busyBar->setMaximumWidth(120);
    busyBar->hide();
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setWordWrap(true);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The main window's grid, over the records read.
    gridModel = new GridModel(2, kSectorGridColumns, this);
    gridModel->setLog(&log);
    gridView = new GridViewModel(gridModel, this);
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("archiveGrid"));
    grid->setModel(gridView);
    setUpRecordGrid(grid);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers); // what the archive holds, as it holds it
    gridMenu = new QMenu(this);
    gridMenu->setObjectName(QStringLiteral("archiveMenu"));
    saveAction = gridMenu->addAction(QString());
    saveAction->setObjectName(QStringLiteral("S1"));
    exportAction = gridMenu->addAction(QString());
    exportAction->setObjectName(QStringLiteral("Export1"));
    gridMenu->addSeparator();
    chartAction = gridMenu->addAction(QString());
    chartAction->setObjectName(QStringLiteral("Chart1"));
    reportAction = gridMenu->addAction(QString());
    reportAction->setObjectName(QStringLiteral("Report1"));

    areaCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fromLabel = new QLabel(this);
    fromLabel->setObjectName(QStringLiteral("fromLabel"));
    toLabel = new QLabel(this);
    toLabel->setObjectName(QStringLiteral("toLabel"));
    auto *picks = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{areaCombo, fromLabel, fromEdit, toLabel, toEdit,
                                                       unclockedBox, showButton, busyBar})
        picks->addWidget(w);
    picks->addStretch();
    auto *top = new QWidget(this);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(locationLabel);
    topLayout->addWidget(analyzerTable);
    topLayout->addLayout(picks);
    topLayout->addWidget(statusLabel);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(grid);
    split->setStretchFactor(1, 3);
    split->setSizes({200, 500});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);

    busyDelay = new QTimer(this);
    busyDelay->setSingleShot(true);
    busyDelay->setInterval(kBusyDelayMs);
    connect(busyDelay, &QTimer::timeout, this, [this] {
        busyBar->show();
        setCursor(Qt::BusyCursor);
    });
    progress = new QTimer(this);
    progress->setInterval(kProgressMs);
    connect(progress, &QTimer::timeout, this, [this] {
        if (reading && reading->count > 0)
            statusLabel->setText(texts.captions[Captions::ArchiveReading].arg(reading->count.load()));
    });

    connect(analyzerTable, &QTableWidget::itemSelectionChanged, this, &ArchiveWindow::analyzerPicked);
    connect(areaCombo, &QComboBox::currentIndexChanged, this, &ArchiveWindow::areaPicked);
    connect(showButton, &QPushButton::clicked, this, [this] {
        if (!busy()) {
            showRecords();
            return;
        }
        stopReading();
        setBusy(false);
        statusLabel->setText(texts.captions[Captions::ArchiveStopped]);
    });
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { gridMenu->popup(grid->viewport()->mapToGlobal(pos)); });
    connect(gridMenu, &QMenu::aboutToShow, this,
            [this] { reportAction->setVisible(holdsEnergy(*gridModel)); });
    connect(saveAction, &QAction::triggered, this, [this] { saveGridToFile(this, sDialog, *gridModel); });
    connect(exportAction, &QAction::triggered, this,
            [this] { exportGrid(this, sDialog, *gridModel, runSources); });
    connect(chartAction, &QAction::triggered, this, [this] {
        if (!chartWindow) {
            chartWindow = new ChartWindow(*gridModel, texts, this);
            chartWindow->setAttribute(Qt::WA_DeleteOnClose);
        }
        showInFront(chartWindow);
    });
    connect(reportAction, &QAction::triggered, this, [this] {
        // The analyzer's zone when the archive keeps one, else the host's, as the main window takes it.
        const QTimeZone zone(QByteArray::fromStdString(shownAnalyzer.zone));
        openReport(reportWindow, *gridModel, shownAnalyzer.serial,
                   zone.isValid() ? zone : QTimeZone::systemTimeZone(), texts, turkish, this);
    });
    for (QAction *action : {saveAction, exportAction, chartAction})
        action->setEnabled(false);
}

void ArchiveWindow::retitle()
{
    const auto &c = texts.captions;
    setWindowTitle(c[Captions::ArchiveTitle]);
    locationLabel->setText(
        c[Captions::ArchiveOpened].arg(QString::fromStdString(redactLocation(location.toStdString()))));
    QStringList heads{c[Captions::SerialNumber], c[Captions::Model], c[Captions::ArchiveLastDownload]};
    for (int area = 0; area < kAreaCount; ++area)
        heads << (area == kEnergyArea ? areaName(texts, area) : QString::number(area + 1));
    analyzerTable->setHorizontalHeaderLabels(heads);
    analyzerTable->horizontalHeaderItem(kFixedColumns)->setToolTip(areaName(texts, 0));
    fromLabel->setText(c[Captions::ArchiveFrom]);
    toLabel->setText(c[Captions::ArchiveTo]);
    areaCombo->setToolTip(c[Captions::ArchiveArea]);
    unclockedBox->setText(c[Captions::ArchiveUnclocked]);
    showButton->setText(c[busy() ? Captions::ArchiveStop : Captions::ArchiveShow]);
    saveAction->setText(c[Captions::SaveToFile]);
    exportAction->setText(c[Captions::ExportMenu]);
    chartAction->setText(c[Captions::ChartMenu]);
    reportAction->setText(c[Captions::ReportMenu]);
}

void ArchiveWindow::start(Work work, int area)
{
    if (busy())
        return;
    reading = std::make_shared<Read>();
    reading->window = this;
    setBusy(true);
    // Detached: a server that does not answer may hold it long after the window gave the read up.
    std::thread([read = reading, work = std::move(work), area, location = location.toStdString()] {
        Outcome result;
        result.area = area;
        std::string error;
        Archive *archive = read->lease->open(location, error, &result.fault);
        result.ok = archive && work(*archive, result, *read);
        result.error = archive ? archive->error() : error;
        std::lock_guard lock(read->mutex);
        if (!read->window)
            return;
        read->outcome = std::move(result);
        read->done = true;
        // By name: a queued functor would be built here and read on the UI thread behind Qt's locks.
        QMetaObject::invokeMethod(read->window, "finished", Qt::QueuedConnection);
    }).detach();
}

void ArchiveWindow::finished()
{
    Outcome done;
    {
        // Also called for a read given up after it had finished: nothing to take then.
        if (!reading)
            return;
        std::lock_guard lock(reading->mutex);
        if (!reading->done)
            return;
        done = std::move(reading->outcome);
    }
    reading.reset();
    setBusy(false);
    if (!done.ok) {
        fail(done.error, done.fault);
        return;
    }
    if (done.area < 0) {
        listed = std::move(done.analyzers);
        showListing();
        return;
    }
    // The cells before the log: no row may show a record that is gone.
    gridModel->clearCells();
    log = std::move(done.log);
    runSources = std::move(done.runSources);
    showGrid(done.area, done.runStarts);
}

void ArchiveWindow::setBusy(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{analyzerTable, areaCombo})
        w->setEnabled(!on);
    showButton->setEnabled(on || pickedAnalyzer());
    showButton->setText(texts.captions[on ? Captions::ArchiveStop : Captions::ArchiveShow]);
    if (on) {
        busyDelay->start();
        progress->start();
        return;
    }
    busyDelay->stop();
    progress->stop();
    busyBar->hide();
    unsetCursor();
}

void ArchiveWindow::fail(const std::string &reason, ArchiveFault fault)
{
    if (archiveFaultWorded(fault))
        statusLabel->setText(archiveOpenMessage(texts, fault, location.toStdString(), reason));
    else
        statusLabel->setText(texts.captions[Captions::ArchiveUnreadable].arg(QString::fromStdString(reason)));
}

void ArchiveWindow::reload()
{
    if (busy())
        return;
    statusLabel->setText(texts.captions[Captions::ArchiveListing]);
    start([](Archive &archive, Outcome &result, Read &) { return archive.listAnalyzers(result.analyzers); },
          -1);
}

void ArchiveWindow::showListing()
{
    const QSignalBlocker blocker(analyzerTable);
    analyzerTable->clearContents();
    analyzerTable->setRowCount(int(listed.size()));
    for (int row = 0; row < int(listed.size()); ++row) {
        const ArchivedAnalyzer &a = listed[size_t(row)];
        const QStringList fixed{QString::fromStdString(a.identity.serial),
                                QString::fromStdString(a.identity.model),
                                QString::fromStdString(a.downloadedAt)};
        for (int column = 0; column < kFixedColumns; ++column)
            analyzerTable->setItem(row, column, new QTableWidgetItem(fixed[column]));
        for (int area = 0; area < kAreaCount; ++area) {
            auto *count = new QTableWidgetItem(QString::number(a.records[size_t(area)]));
            count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            analyzerTable->setItem(row, kFixedColumns + area, count);
        }
    }
    statusLabel->setText(listed.empty() ? texts.captions[Captions::ArchiveEmpty] : QString());
    if (!listed.empty())
        analyzerTable->selectRow(0);
    analyzerPicked();
}

const ArchivedAnalyzer *ArchiveWindow::pickedAnalyzer() const
{
    const int row = analyzerTable->currentRow();
    return row >= 0 && row < int(listed.size()) ? &listed[size_t(row)] : nullptr;
}

void ArchiveWindow::analyzerPicked()
{
    const ArchivedAnalyzer *analyzer = pickedAnalyzer();
    const int before = areaCombo->currentData().isValid() ? areaCombo->currentData().toInt() : -1;
    const QSignalBlocker blocker(areaCombo);
    areaCombo->clear();
    int keep = -1;
    for (int area = 0; area < kAreaCount; ++area) {
        const int64_t count = analyzer ? analyzer->records[size_t(area)] : 0;
        areaCombo->addItem(QStringLiteral("%1 (%2)").arg(areaName(texts, area)).arg(count), area);
        // The area picked before, else the first that holds records.
        if (count > 0 && (keep < 0 || area == before))
            keep = area;
    }
    areaCombo->setCurrentIndex(std::max(keep, 0));
    showButton->setEnabled(analyzer || busy());
    areaPicked();
}

void ArchiveWindow::areaPicked()
{
    const ArchivedAnalyzer *analyzer = pickedAnalyzer();
    const int area = areaCombo->currentData().toInt();
    QDateTime last = analyzer ? filterTime(analyzer->newest[size_t(area)]) : QDateTime();
    if (!last.isValid())
        last = QDateTime::currentDateTimeUtc();
    toEdit->setDateTime(last);
    fromEdit->setDateTime(last.addMonths(-1));
}

void ArchiveWindow::showRecords()
{
    const ArchivedAnalyzer *analyzer = pickedAnalyzer();
    if (!analyzer || busy())
        return;
    RecordFilter filter;
    filter.analyzer = analyzer->identity.serial;
    filter.area = areaCombo->currentData().toInt();
    const std::string from = fromEdit->dateTime().toString(kTimeFormat).toStdString();
    const std::string to = toEdit->dateTime().toString(kTimeFormat).toStdString();
    // Records without a clock stand where the log had them: the whole area is read, the range kept here.
    const bool unclocked = unclockedBox->isChecked();
    if (!unclocked) {
        filter.from = from;
        filter.to = to;
    }
    shownAnalyzer = analyzer->identity;
    statusLabel->setText(texts.captions[Captions::ArchiveReading].arg(0));
    start(
        [filter, from, to, unclocked, identity = analyzer->identity](Archive &archive, Outcome &result,
                                                                     Read &read) {
            auto sourceOf = [&identity](const std::array<int16_t, kLogSlots> &codes) {
                RecordLog::Source source = archivedSource(identity, codes);
                source.modelCode = modelCodeOf(source.identity.model);
                return source;
            };
            RecordRun run;
            const bool ok = archive.forEach(filter, [&](const StoredRecord &stored) {
                if (unclocked) {
                    const std::string at = stored.record.recordedAt();
                    if (!at.empty() && (at < from || at > to))
                        return !read.stopping;
                }
                // A header of its own wherever the logged quantities change, as the command line's grid.
                const RecordRun next = RecordRun::of(stored, run);
                if (result.runStarts.empty() || next != run) {
                    result.runStarts.push_back(result.log.size());
                    result.runSources.push_back(sourceOf(next.codes));
                    run = next;
                }
                result.log.append(stored.record);
                ++read.count;
                return !read.stopping;
            });
            if (result.runSources.empty()) {
                std::array<int16_t, kLogSlots> none{};
                none.fill(kEmptySlot);
                result.runStarts.push_back(0);
                result.runSources.push_back(sourceOf(none));
            }
            result.log.setSource(result.runSources.front());
            return ok;
        },
        filter.area);
}

void ArchiveWindow::showGrid(int area, const std::vector<size_t> &runStarts)
{
    const bool energy = area == kEnergyArea;
    const std::array<QString, 3> recordHeaders{
        texts.captions[Captions::RecordNo], texts.captions[Captions::Date], texts.captions[Captions::Time]};
    // Passed on to the view in one go, as a download's rows are.
    gridView->setBatching(true);
    // Each run: its header, its records and an empty row, as the command line's grid of them.
    gridModel->setRowCount(int(log.size() + 2 * runStarts.size()));
    gridModel->setColumnCount(energy ? kEnergyGridColumns : kSectorGridColumns);
    int row = 0;
    for (size_t run = 0; run < runStarts.size(); ++run) {
        const std::vector<QString> header = gridHeader(runSources[run], recordHeaders, energy);
        gridModel->markHeader(row);
        gridModel->setCells(row++, 0, QVector<QString>(header.begin(), header.end()));
        const size_t end = run + 1 < runStarts.size() ? runStarts[run + 1] : log.size();
        for (size_t index = runStarts[run]; index < end; ++index)
            gridModel->setRecord(row++, index);
        ++row;
    }
    gridView->flush();
    gridView->setBatching(false);
    for (QAction *action : {saveAction, exportAction, chartAction})
        action->setEnabled(true);
    if (log.size() == 0) {
        statusLabel->setText(texts.captions[Captions::ArchiveNoRecords]);
        return;
    }
    statusLabel->setText(texts.captions[Captions::ArchiveShown]
                             .arg(log.size())
                             .arg(QString::fromStdString(log[0].recordedAt()),
                                  QString::fromStdString(log[log.size() - 1].recordedAt())));
}
