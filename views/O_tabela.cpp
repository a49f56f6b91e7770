// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_tabela.h"

#include "model/Captions.h"
#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/D_kopiuj.h"
#include "views/D_zestaw.h"
#include "views/Utf8Text.h"
#include "views/core/TableTexts.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace hz70 {
namespace {

constexpr int kFontPixels = 12;
constexpr int kRowHeight = 24;
// Wide enough for the longest texts of each grid: "1234.5 °C" and "ustawić średnią moc".
constexpr int kMeasuredZoneWidth = 80;
constexpr int kSettingsZoneWidth = 120;
constexpr int kMeasuredNameWidth = 200;
constexpr int kSettingsNameWidth = 230;
const QRect kRefreshButtonPlace(120, 4, 70, 20);

QFont GridFont() {
    return ArialFont(kFontPixels);
}

// The look both parts of a grid share: read-only cells in the grid font, rows of fixed height, and the
// fixed row drawn by the header.
void StyleGrid(QTableView& grid, int defaultColumnWidth) {
    grid.setFont(GridFont());
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.setShowGrid(true);
    grid.setWordWrap(false);
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* fixedRow = grid.horizontalHeader();
    fixedRow->setFont(GridFont());
    fixedRow->setFixedHeight(kRowHeight);
    fixedRow->setSectionResizeMode(QHeaderView::Interactive);
    fixedRow->setDefaultSectionSize(defaultColumnWidth);
    fixedRow->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fixedRow->setHighlightSections(false);
    fixedRow->setSectionsClickable(false);
}

// A grid whose first column stays in view when the zone columns scroll sideways: a second view of the
// same cells, showing column 0 only, lies over the grid's left edge and scrolls up and down with it.
// Both views' column 0 keep one width, so the operator can widen it by its edge as any other column.
class FixedColumnGrid final : public QTableWidget {
public:
    FixedColumnGrid(QWidget* parent, int zoneColumnWidth)
        : QTableWidget(parent), fixedColumn_(new QTableView(this)) {
        StyleGrid(*this, zoneColumnWidth);
        // Sideways by pixels: by whole columns the column next to the fixed one could hide under it.
        setHorizontalScrollMode(ScrollPerPixel);

        fixedColumn_->setObjectName(QStringLiteral("fixedColumn"));
        fixedColumn_->setModel(model());
        fixedColumn_->setSelectionModel(selectionModel());
        StyleGrid(*fixedColumn_, zoneColumnWidth);
        fixedColumn_->setFocusPolicy(Qt::NoFocus);
        fixedColumn_->setFrameShape(QFrame::NoFrame);
        fixedColumn_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        fixedColumn_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->stackUnder(fixedColumn_);

        connect(model(), &QAbstractItemModel::columnsInserted, this,
                [this](const QModelIndex&, int first, int last) { HideZoneColumns(first, last); });
        connect(horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int column, int, int width) { FollowFirstColumn(*fixedColumn_, column, width); });
        connect(fixedColumn_->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int column, int, int width) { FollowFirstColumn(*this, column, width); });
        connect(verticalScrollBar(), &QScrollBar::valueChanged, fixedColumn_->verticalScrollBar(),
                &QScrollBar::setValue);
        connect(fixedColumn_->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
                &QScrollBar::setValue);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QTableWidget::resizeEvent(event);
        PlaceFixedColumn();
    }

    // A zone cell brought into view must not end up under the fixed column.
    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
        if (index.column() == 0) {
            return;
        }
        QTableWidget::scrollTo(index, hint);
        const int covered = columnWidth(0) - visualRect(index).left();
        if (covered > 0) {
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - covered);
        }
    }

private:
    void HideZoneColumns(int first, int last) {
        for (int column = std::max(first, 1); column <= last; ++column) {
            fixedColumn_->setColumnHidden(column, true);
        }
    }

    void FollowFirstColumn(QTableView& other, int column, int width) {
        if (column != 0) {
            return;
        }
        if (other.columnWidth(0) != width) {
            other.setColumnWidth(0, width);
        }
        PlaceFixedColumn();
    }

    void PlaceFixedColumn() {
        fixedColumn_->setGeometry(frameWidth(), frameWidth(), columnWidth(0),
                                  horizontalHeader()->height() + viewport()->height());
    }

    QTableView* fixedColumn_;
};

QTableWidget* NewGrid(QWidget* page, const char* name, int zoneColumnWidth) {
    auto* grid = new FixedColumnGrid(page, zoneColumnWidth);
    grid->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid);
    return grid;
}

void SetCell(QTableWidget& grid, int column, int row, const QString& text) {
    if (row == 0) {
        grid.setHorizontalHeaderItem(column, new QTableWidgetItem(text));
        return;
    }
    QTableWidgetItem* item = grid.item(row - 1, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        if (column == 0) {
            // The row names are the fixed column: drawn like the heading and never selected.
            item->setFlags(Qt::ItemIsEnabled);
            item->setBackground(grid.palette().button());
        } else {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        grid.setItem(row - 1, column, item);
    }
    if (item->text() != text) {
        item->setText(text);
    }
}

// Blocking reads show the wait cursor; the first message box puts the arrow back for good.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void Restore() {
        if (active_) {
            active_ = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool active_ = true;
};

} // namespace

TOTabela::TOTabela(ZoneOperations& zones, QWidget* parent) : TViewWindow(parent), zones_(zones) {
    setObjectName(QStringLiteral("OTabela"));
    setWindowTitle(QStringLiteral("Tabela"));
    resize(576, 480);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Wartości mierzone"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Nastawy"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    StringGrid1 = NewGrid(TabSheet1, "StringGrid1", kMeasuredZoneWidth);
    StringGrid2 = NewGrid(TabSheet2, "StringGrid2", kSettingsZoneWidth);

    BtnOdsw = new QPushButton(QStringLiteral("Odśwież"), TabSheet2);
    BtnOdsw->setObjectName(QStringLiteral("BtnOdsw"));
    BtnOdsw->setToolTip(QStringLiteral("Odczytuje parametry z regulatorów"));
    QFont bold = GridFont();
    bold.setBold(true);
    BtnOdsw->setFont(bold);
    QPalette fuchsia = BtnOdsw->palette();
    fuchsia.setColor(QPalette::ButtonText, QColor(255, 0, 255));
    BtnOdsw->setPalette(fuchsia);
    BtnOdsw->setGeometry(kRefreshButtonPlace);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TOTabela::PageControl1Change);
    connect(BtnOdsw, &QPushButton::clicked, this, &TOTabela::BtnOdswClick);

    StringGrid2->setContextMenuPolicy(Qt::ActionsContextMenu);
    AkcjaZapisz = AddSetAction(kSaveSetsCaption, &TOTabela::SaveSettingsSet);
    AkcjaPorownaj = AddSetAction(kCompareSetsCaption, &TOTabela::CompareAndRestore);
    AkcjaKopiuj = AddSetAction(kCopyZoneCaption, &TOTabela::CopyZone);
}

QAction* TOTabela::AddSetAction(const char* caption, void (TOTabela::*slot)()) {
    auto* action = new QAction(QString::fromUtf8(caption), StringGrid2);
    action->setFont(GridFont());
    connect(action, &QAction::triggered, this, slot);
    StringGrid2->addAction(action);
    return action;
}

int TOTabela::ZoneCount() const {
    return zones_.zoneCount();
}

QString TOTabela::Cells(const QTableWidget& grid, int column, int row) {
    const QTableWidgetItem* item = row == 0 ? grid.horizontalHeaderItem(column) : grid.item(row - 1, column);
    return item != nullptr ? item->text() : QString();
}

void TOTabela::LayOutGrid(QTableWidget& grid, const QStringList& rowNames, int firstColumnWidth) {
    const int columns = ZoneCount() + 1;
    grid.setColumnCount(columns);
    grid.setRowCount(static_cast<int>(rowNames.size()) - 1);
    grid.setColumnWidth(0, firstColumnWidth);
    for (int row = 0; row < rowNames.size(); ++row) {
        SetCell(grid, 0, row, rowNames[row]);
    }
    for (int column = 1; column < columns; ++column) {
        const std::string& name = zones_.zoneList().DevName[static_cast<std::size_t>(column - 1)];
        SetCell(grid, column, 0, QString::fromStdString(name));
    }
}

void TOTabela::FormShow() {
    QStringList measuredNames;
    for (const char* name : MeasuredRowNames()) {
        measuredNames << QString::fromUtf8(name);
    }
    LayOutGrid(*StringGrid1, measuredNames, kMeasuredNameWidth);

    QStringList settingsNames;
    for (const std::string& name : SettingsRowNames()) {
        settingsNames << QString::fromStdString(name);
    }
    LayOutGrid(*StringGrid2, settingsNames, kSettingsNameWidth);

    BtnOdsw->setGeometry(kRefreshButtonPlace);
    BtnOdsw->raise();
}

void TOTabela::UpdateZone(int slot, const TRegulator& record) {
    const int column = slot + 1;
    if (column >= StringGrid1->columnCount()) {
        return;
    }
    const MeasuredCells cells = MeasuredColumn(record);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SetCell(*StringGrid1, column, static_cast<int>(i) + 1, QString::fromStdString(cells[i]));
    }
}

void TOTabela::PageControl1Change(int page) {
    if (page == 1) {
        ReadAllSettings();
    }
}

void TOTabela::BtnOdswClick() {
    ReadAllSettings();
}

void TOTabela::FillSettingsColumn(const TRegulator& record, int zoneIndex) {
    const int column = zoneIndex + 1;
    if (column >= StringGrid2->columnCount()) {
        return;
    }
    const SettingsCells cells = SettingsColumn(record);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SetCell(*StringGrid2, column, static_cast<int>(i) + 1, QString::fromStdString(cells[i]));
    }
}

void TOTabela::ReadAllSettings() {
    const QString caption = Text(kShortCaption);
    WaitCursor cursor;
    // The last zone alone decides the closing message; with no zones nothing was read.
    bool lastZoneRead = false;
    // Message boxes run event loops: the list is looked up afresh for every zone.
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        TRegulator& record = *zones_.zone(zone);
        lastZoneRead = zones_.ReadZoneSettings(record) == ReadOutcome::kRead;
        if (lastZoneRead) {
            FillSettingsColumn(record, zone);
            continue;
        }
        cursor.Restore();
        QMessageBox::critical(this, caption, QString::fromStdString(SettingsReadFailedText(zone + 1)));
    }
    cursor.Restore();
    if (lastZoneRead) {
        QMessageBox::information(this, caption, QString::fromUtf8(kSettingsReadDoneText));
    }
}

std::vector<bool> TOTabela::ReadEveryZoneQuietly() {
    WaitCursor cursor;
    std::vector<bool> answered;
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        TRegulator& record = *zones_.zone(zone);
        const bool read = !IsSilent(record) && zones_.ReadZoneSettings(record) == ReadOutcome::kRead;
        if (read) {
            FillSettingsColumn(record, zone);
        }
        answered.push_back(read);
    }
    return answered;
}

QString TOTabela::ChooseSetFile(bool forSaving) {
    // Qt's own dialog, the same on every platform and reachable from the window tests.
    QFileDialog dialog(this, Text(kShortCaption));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({QStringLiteral("Nastawy (*.txt)"), QStringLiteral("Wszystkie pliki (*)")});
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void TOTabela::SaveSettingsSet() {
    const QString path = ChooseSetFile(true);
    if (path.isEmpty()) {
        return;
    }
    const std::vector<bool> answered = ReadEveryZoneQuietly();
    SettingsSet set{
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
        zones_.DescribeLink(),
        {}};
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        const TRegulator& record = *zones_.zone(zone);
        // A zone that did not answer is saved without values, not with what it held before.
        set.zones.push_back(answered[static_cast<std::size_t>(zone)]
                                ? ZoneSettingsOf(record)
                                : ZoneSettings{record.zoneNumber, record.address, record.name, {}});
    }
    std::ofstream file(path.toStdString(), std::ios::binary | std::ios::trunc);
    file << FormatSettingsSet(set);
    // The last of the text reaches the disk only at the close, and may fail there.
    file.close();
    if (!file) {
        QMessageBox::critical(this, Text(kShortCaption), QStringLiteral("Nie można zapisać pliku ") + path);
    }
}

void TOTabela::CompareAndRestore() {
    const QString path = ChooseSetFile(false);
    if (path.isEmpty()) {
        return;
    }
    std::ifstream file(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const ParsedSettingsSet parsed = ParseSettingsSet(text.str());

    const std::vector<bool> answered = ReadEveryZoneQuietly();
    std::vector<std::string> refusals;
    for (const SetRefusal& refusal : parsed.refusals) {
        refusals.push_back(RefusalText(refusal));
    }
    std::vector<ListedZone> zones;
    bool mismatch = false;
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        zones.push_back(PairWithFile(parsed.set, *zones_.zone(zone)));
        zones.back().answered = answered[static_cast<std::size_t>(zone)];
        mismatch = mismatch || !zones.back().notes.empty();
    }
    auto* list = new TDZestaw(QString::fromUtf8(kCompareSetsCaption), this);
    ListForChoice(*list, refusals, std::move(zones), !parsed.refusals.empty() || mismatch);
    list->show();
}

// By the zone's number; failing that by its address, as when the operator names the zone by it: a
// zone whose controller was given another address is still the operator's to pick. A section with a
// refused line pairs as any other, without that line.
TOTabela::ListedZone TOTabela::PairWithFile(const SettingsSet& set, TRegulator& zone) {
    ListedZone listed{&zone, std::nullopt, {}, true};
    const ZonePairing byNumber = PairZone(set, zone, false);
    if (byNumber.saved != nullptr) {
        listed.wanted = *byNumber.saved;
        return listed;
    }
    listed.notes.push_back(PairingRefusalText(zone, byNumber));
    const ZonePairing byAddress = PairZone(set, zone, true);
    if (byAddress.saved == nullptr) {
        listed.notes.push_back(PairingRefusalText(zone, byAddress));
        return listed;
    }
    listed.wanted = *byAddress.saved;
    listed.notes.push_back(PairedByAddressText(*byAddress.saved));
    return listed;
}

void TOTabela::CopyZone() {
    QStringList titles;
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        titles << QString::fromStdString(ZoneTitleText(*zones_.zone(zone)));
    }
    TDKopiuj choice(titles, this);
    if (choice.exec() != QDialog::Accepted || choice.TargetZones().empty()) {
        return;
    }
    const std::vector<bool> answered = ReadEveryZoneQuietly();
    const int sourceZone = choice.SourceZone();
    if (!answered[static_cast<std::size_t>(sourceZone)]) {
        // It would hand on what it held before.
        QMessageBox::warning(
            this, Text(kShortCaption),
            QString::fromStdString(ZoneTitleText(*zones_.zone(sourceZone)) + ": " + kZoneSilentText));
        return;
    }
    const ZoneSettings source = ZoneSettingsOf(*zones_.zone(sourceZone));
    const std::vector<int> chosen = choice.TargetZones();
    std::vector<ListedZone> zones;
    for (int zone = 0; zone < ZoneCount(); ++zone) {
        const bool target = std::find(chosen.begin(), chosen.end(), zone) != chosen.end();
        zones.push_back({zones_.zone(zone), source, {}, target, answered[static_cast<std::size_t>(zone)]});
    }
    auto* list = new TDZestaw(QString::fromUtf8(kCopyZoneCaption), this);
    ListForChoice(*list, {}, std::move(zones), false);
    list->show();
}

void TOTabela::ListForChoice(TDZestaw& list, const std::vector<std::string>& lines,
                             std::vector<ListedZone> zones, bool faultyFile) {
    std::vector<std::vector<SettingDifference>> differences;
    bool anyToWrite = false;
    for (const ListedZone& listed : zones) {
        differences.push_back(listed.wanted && listed.answered ? Differences(*listed.wanted, *listed.zone)
                                                               : std::vector<SettingDifference>{});
        anyToWrite = anyToWrite || !differences.back().empty();
    }
    if (faultyFile) {
        list.AddLine(anyToWrite ? kPickZonesText : kNothingWrittenText);
    } else if (!anyToWrite) {
        list.AddLine(kNothingToWriteText);
    }
    for (const std::string& line : lines) {
        list.AddLine(line);
    }
    for (std::size_t i = 0; i < zones.size(); ++i) {
        const ListedZone& listed = zones[i];
        const bool writable = !differences[i].empty();
        list.AddZone(ZoneTitleText(*listed.zone), writable, writable && listed.ticked && !faultyFile);
        for (const std::string& note : listed.notes) {
            list.AddLine(note);
        }
        for (const SettingDifference& difference : differences[i]) {
            list.AddLine(DifferenceText(*listed.zone, difference));
        }
        if (!listed.answered) {
            list.AddLine(kZoneSilentText);
        } else if (listed.wanted && differences[i].empty()) {
            list.AddLine(HasValues(*listed.wanted) ? kNoDifferenceText : kNothingSavedText);
        }
    }
    auto listed = std::make_shared<const std::vector<ListedZone>>(std::move(zones));
    connect(&list, &TDZestaw::writeTickedRequested, this, [this, &list, listed] {
        std::vector<SetTarget> targets;
        for (const int zone : list.TickedZones()) {
            const ListedZone& ticked = listed->at(static_cast<std::size_t>(zone));
            targets.push_back({ticked.zone, *ticked.wanted});
        }
        WriteAfterQuestion(list, targets);
    });
}

// The targets and where the writing of them has got to.
struct TOTabela::SetWriting {
    SetWriting(ZoneOperations& zones, std::vector<SetTarget> chosen)
        : access(zones), targets(std::move(chosen)) {}

    ZoneOperationsAccess access;
    std::vector<SetTarget> targets; // not resized: the writer refers to the current one
    std::size_t current = 0;
    std::optional<DifferenceWriter> writer;
};

void TOTabela::WriteAfterQuestion(TDZestaw& list, const std::vector<SetTarget>& targets) {
    if (QMessageBox::question(&list, Text(kShortCaption), QString::fromUtf8(kWriteDifferencesQuestion),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    // The list owns the writing: closing it ends the writes, and the records stay put while it is open.
    auto writing = std::make_shared<SetWriting>(zones_, targets);
    list.RunSteps([this, &list, writing] { return WriteNextSetting(list, *writing); });
}

bool TOTabela::WriteNextSetting(TDZestaw& list, SetWriting& writing) {
    while (writing.current < writing.targets.size()) {
        const SetTarget& target = writing.targets[writing.current];
        if (!writing.writer) {
            writing.writer.emplace(*target.zone, writing.access, target.wanted);
        }
        if (const auto result = writing.writer->Next()) {
            list.AddLine(WriteResultText(*target.zone, *result));
            // Only the zone written changed; its slot is its number less one.
            FillSettingsColumn(*target.zone, target.zone->zoneNumber - 1);
            return true;
        }
        writing.writer.reset();
        ++writing.current;
    }
    return false;
}

} // namespace hz70
