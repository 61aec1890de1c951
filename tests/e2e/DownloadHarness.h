#pragma once

// Downloads through the main window, and what ktr58-sim's --print-record says each grid row must show.

#include "../ui/UiHarness.h"

#include "model/RecordDecoding.h"
#include "text/NumberFormat.h"
#include "ui/ArchiveDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

namespace e2e
{

using namespace ui;

// The simulator's record counts per area, as its --records argument.
inline std::string recordsArg(std::initializer_list<std::pair<int, int>> areaCounts)
{
    int counts[16] = {};
    for (auto [area, count] : areaCounts)
        counts[area] = count;
    std::string arg;
    for (int i = 0; i < 16; ++i) {
        if (i > 0)
            arg += ','; // appended apart: "," + string draws a false -Wrestrict from GCC 12 at -O3
        arg += std::to_string(counts[i]);
    }
    return arg;
}

// One grid row as the simulator predicts it: record number, date, time and the values as the grid
// formats them (31 values for a sector record, 31 for an energy record; the grid shows what fits).
inline QStringList predictedRow(int area, int index, const std::vector<std::string> &simArgs,
                                const std::array<int16_t, kLogSlots> &paramCodes)
{
    const std::vector<uint8_t> reply = SimProcess::printRecord(area, index, simArgs);
    if (reply.size() != 67)
        return {};
    auto word = [&reply](int k) {
        return int16_t(reply[size_t(11 + 2 * k)] << 8 | reply[size_t(12 + 2 * k)]);
    };
    auto pad = [](uint8_t byte) {
        return QStringLiteral("%1").arg(int(int8_t(byte)), 2, 10, QLatin1Char('0'));
    };
    QStringList row;
    row << QString::number(int16_t(reply[3] << 8 | reply[4]));
    row << pad(reply[5]) + '/' + pad(reply[6]) + '/' + pad(reply[7]);
    row << pad(reply[8]) + ':' + pad(reply[9]) + ':' + pad(reply[10]);

    // The simulator's transformers: CT 100, VT 10 tenths.
    const DEVICE_REGISTER_TABLE table(100.0, 1.0);
    std::array<double, kDecodedValues> values{};
    if (area == kEnergyArea) {
        std::array<int16_t, kEnergyWords> words{};
        for (int k = 0; k < 28; ++k)
            words[size_t(k)] = word(k);
        DecodeEnergyRecord(table, words, values);
    } else {
        std::array<int16_t, kLogSlots> words{};
        for (int k = 0; k < kLogSlots; ++k)
            words[size_t(k)] = word(k);
        DecodeLogRecord(table, words, paramCodes, values);
    }
    for (double v : values)
        row << formatGeneral(v);
    return row;
}

// Row r of the grid, columns 0..n-1.
inline QStringList gridRow(TForm1 &form, int row, int columns)
{
    QStringList cells;
    for (int c = 0; c < columns; ++c)
        cells << form.gridModel->cell(row, c);
    return cells;
}

// What the window showed with each record, noted when the record reached the grid (the last step of a
// record's display before the lamps).
class RecordWatch : public QObject
{
  public:
    struct Shown {
        int row;
        QString counter, position, error;
    };

    explicit RecordWatch(TForm1 &form) : form(form)
    {
        connect(form.gridModel, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                    if (topLeft.row() > 0 && topLeft.column() <= 3 && bottomRight.column() >= 3)
                        shown.push_back({topLeft.row(), statusText(this->form, 1), statusText(this->form, 2),
                                         statusText(this->form, 3)});
                });
    }
    std::vector<Shown> shown;

  private:
    TForm1 &form;
};

inline const QString pausedText =
    QStringLiteral("Paused. Switch on to resume, or change the selection for a new download.");

inline void select(TForm1 &form, std::initializer_list<int> areas)
{
    for (QCheckBox *box : form.chkSector)
        box->setChecked(false);
    form.chkEnergy->setChecked(false);
    for (int area : areas)
        (area == kEnergyArea ? form.chkEnergy : form.chkSector[size_t(area)])->setChecked(true);
}

inline void clickSwitch(TForm1 &form)
{
    QTest::mouseClick(form.iSwitchLed1, Qt::LeftButton);
}

// Waits until the download has completed: the switch off and the worker idle.
inline bool waitCompleted(TForm1 &form, int ms = 30000)
{
    return QTest::qWaitFor([&form] { return !form.iSwitchLed1->isActive() && form.worker->completed(); }, ms);
}

// Ethernet mode, the language lang, no poll delay.
inline Settings tcpSettings(int lang)
{
    Settings s;
    s.lang = lang;
    s.mode = 0;
    s.pollDelay = 0;
    return s;
}

// Ticks the areas, switches the download on and waits for its completion.
inline bool downloadAreas(TForm1 &form, std::initializer_list<int> areas)
{
    select(form, areas);
    clickSwitch(form);
    return waitCompleted(form);
}

// The archive dialog from the connection panel's menu, filled in and confirmed; false if it stays open.
inline bool chooseArchive(TForm1 &form, const QString &location, bool keep)
{
    form.archiveAction->trigger();
    auto *dialog = form.findChild<ArchiveDialog *>();
    if (!dialog || !dialog->isVisible())
        return false;
    dialog->findChild<QCheckBox *>(QStringLiteral("keepBox"))->setChecked(keep);
    dialog->findChild<QLineEdit *>(QStringLiteral("locationEdit"))->setText(location);
    dialog->accept();
    const bool accepted = !dialog->isVisible();
    if (!accepted) {
        if (dialog->findChild<QLabel *>(QStringLiteral("problem"))->text().isEmpty())
            return true; // refused without saying why: fails the caller's check
        dialog->reject();
    }
    return QTest::qWaitFor([&] { return !form.findChild<ArchiveDialog *>(); }) && accepted;
}

} // namespace e2e
