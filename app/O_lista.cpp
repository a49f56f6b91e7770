// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_lista.h"

#include "app/Hz70main.h"
#include "model/Captions.h"
#include "views/TabColumnDelegate.h"
#include "views/Utf8Text.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace hz70 {
namespace {

constexpr int kSearchStepMs = 100;
constexpr int kAnimationFrameMs = 80;
constexpr int kAnimationFrames = 30;
constexpr int kListTabDialogUnits = 20;
constexpr int kListVisibleLines = 8;
constexpr QChar kWordJoiner(0x2060);

// Horizontal dialog units are a quarter of the font's average letter width, measured the way dialog
// layouts do it: over the 52 Latin letters, rounded.
qreal DialogUnitsToPixels(const QFont& font, int units) {
    const QFontMetricsF metrics(font);
    const qreal letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const qreal baseUnit = std::floor((letters / 26 + 1) / 2);
    return units * baseUnit / 4;
}

// Where the names start in the list lines, from the start of the text.
int ListTabStop(const QFont& font) {
    return qRound(DialogUnitsToPixels(font, kListTabDialogUnits));
}

// A name shown in a tool tip as it is. A tool tip renders text that looks like markup, and no format can
// be asked for; an invisible word joiner after each "<" and "&" keeps such a name plain text.
QString PlainToolTip(QString name) {
    if (Qt::mightBeRichText(name)) {
        for (qsizetype at = name.size(); at-- > 0;) {
            if (name[at] == QLatin1Char('<') || name[at] == QLatin1Char('&')) {
                name.insert(at + 1, kWordJoiner);
            }
        }
    }
    return name;
}

// A lens with a handle pointing down to the right; `centre` is the lens's middle.
void DrawMagnifier(QPainter& painter, QPointF centre, qreal radius) {
    const QPointF handleStart = centre + QPointF(radius * 0.7, radius * 0.7);
    const QPointF handleEnd = centre + QPointF(radius * 1.8, radius * 1.8);
    painter.setPen(QPen(QColor(90, 60, 30), radius * 0.55, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(handleStart, handleEnd);
    painter.setPen(QPen(QColor(60, 60, 70), radius * 0.28));
    painter.setBrush(QColor(190, 225, 255, 200));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(QPen(QColor(255, 255, 255, 220), radius * 0.18, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(centre.x() - radius * 0.6, centre.y() - radius * 0.6, radius * 1.2, radius * 1.2),
                    100 * 16, 70 * 16);
}

QIcon SearchIcon() {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawMagnifier(painter, QPointF(6.5, 6.5), 4.5);
    return QIcon(picture);
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromUtf8(hint));
    // Enter on a focused button clicks that button; elsewhere it clicks the dialog's default button.
    button->setAutoDefault(true);
    return button;
}

// Refuses any text that holds a character a zone name cannot hold, so that the field never shows
// what would not be stored.
class ZoneNameValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override {
        const std::string text = input.toStdString();
        return ZoneNameCharacters(text) == text ? Acceptable : Invalid;
    }
};

} // namespace

// --- TSearchAnimation ---

TSearchAnimation::TSearchAnimation(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Animate1"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    frameTimer_.setInterval(kAnimationFrameMs);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kAnimationFrames;
        update();
    });
}

void TSearchAnimation::Play() {
    frame_ = 0;
    address_ = kFirstSlaveAddress;
    frameTimer_.start();
    update();
}

void TSearchAnimation::Stop() {
    frameTimer_.stop();
    frame_ = kAnimationFrames - 1;
    update();
}

void TSearchAnimation::SetAddress(int address) {
    address_ = address;
    update();
}

void TSearchAnimation::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal busY = height() * 0.72;
    const qreal margin = 8;
    const qreal span = width() - 2 * margin;
    const qreal radius = height() * 0.22;
    const qreal progress = std::clamp(static_cast<qreal>(address_ - kFirstSlaveAddress) /
                                          (kLastSlaveAddress - kFirstSlaveAddress),
                                      0.0, 1.0);
    // Three sways per cycle of frames, so that even one frame per step is seen to move.
    const qreal sway = std::sin(6 * std::numbers::pi * frame_ / kAnimationFrames);
    const QPointF lens(margin + radius + (span - 3 * radius) * progress + sway * 5,
                       busY - radius - 6 + std::abs(sway) * 3);

    // The bus, the part already asked drawn in the highlight colour, and the controllers on it.
    painter.setPen(QPen(palette().color(QPalette::Mid), 2));
    painter.drawLine(QPointF(margin, busY), QPointF(width() - margin, busY));
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
    painter.drawLine(QPointF(margin, busY), QPointF(margin + span * progress, busY));
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.setBrush(palette().color(QPalette::Button));
    constexpr int kBoxes = 8;
    for (int i = 0; i < kBoxes; ++i) {
        const qreal x = margin + span * (i + 0.5) / kBoxes;
        painter.drawRect(QRectF(x - 4, busY - 6, 8, 9));
    }
    DrawMagnifier(painter, lens, radius);
}

// --- TOListaUrz ---

TOListaUrz::TOListaUrz(TOmain& main, QWidget* parent)
    : QDialog(parent), main_(main), editor_(main.state().settings.zones),
      search_(main.state().trans, main.state().polling) {
    setObjectName(QStringLiteral("OListaUrz"));
    setWindowTitle(QStringLiteral("Lista urządzeń"));
    CreateControls();
    CreateLayout();
    FormShow();
}

void TOListaUrz::CreateControls() {
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setItemDelegate(new TabColumnDelegate(ListTabStop(ListBox1->font()), ListBox1));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);

    EditAddr = new QLineEdit(this);
    EditAddr->setObjectName(QStringLiteral("EditAddr"));
    EditName = new QLineEdit(this);
    EditName->setObjectName(QStringLiteral("EditName"));
    EditName->setMaxLength(kNameFieldLength);
    EditName->setValidator(new ZoneNameValidator(EditName));

    BtnDodaj = Button(this, "BtnDodaj", "Dodaj ->", "Dodaj regulator HZ70 do listy urządzeń");
    BtnModyf = Button(this, "BtnModyf", "Modyfikuj", "Zmień adres i nazwę strefy");
    BtnModyf->setDefault(true);
    BtnUsun = Button(this, "BtnUsun", "Usuń", "Usuń regulator z listy");
    BtnOK = Button(this, "BtnOK", "OK", "Zastosuj zmiany");
    BtnAnuluj = Button(this, "BtnAnuluj", "Anuluj", "Anuluj zmiany");
    BitBtnSzukaj = Button(this, "BitBtnSzukaj", "Szukaj", "Automatyczne wyszukiwanie HZ70");
    BitBtnSzukaj->setIcon(SearchIcon());

    Animate1 = new TSearchAnimation(this);
    Animate1->hide();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSearchStepMs);

    connect(ListBox1, &QListWidget::itemClicked, this, &TOListaUrz::ListBox1Click);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TOListaUrz::ListBox1Click);
    connect(BtnDodaj, &QPushButton::clicked, this, &TOListaUrz::BtnDodajClick);
    connect(BtnModyf, &QPushButton::clicked, this, &TOListaUrz::BtnModyfClick);
    connect(BtnUsun, &QPushButton::clicked, this, &TOListaUrz::BtnUsunClick);
    connect(BtnOK, &QPushButton::clicked, this, &TOListaUrz::BtnOKClick);
    connect(BtnAnuluj, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtnSzukaj, &QPushButton::clicked, this, &TOListaUrz::BitBtnSzukajClick);
    connect(Timer1, &QTimer::timeout, this, &TOListaUrz::Timer1Timer);
}

void TOListaUrz::CreateLayout() {
    // The column titles stand over the address and over the first tab stop of the lines.
    const int textIndent = ListBox1->frameWidth() + style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    auto* titleAddress = new QLabel(QStringLiteral("Adres"), this);
    // In a font too wide for the column, "Strefa" keeps a blank's distance from "Adres".
    titleAddress->setFixedWidth(
        std::max(ListTabStop(ListBox1->font()),
                 titleAddress->fontMetrics().horizontalAdvance(QStringLiteral("Adres "))));
    auto* titles = new QHBoxLayout;
    titles->setSpacing(0);
    titles->addSpacing(textIndent);
    titles->addWidget(titleAddress);
    titles->addWidget(new QLabel(QStringLiteral("Strefa"), this), 1);

    const int lineHeight = ListBox1->fontMetrics().height() + 2;
    ListBox1->setMinimumSize(DialogUnitsToPixels(ListBox1->font(), 150),
                             kListVisibleLines * lineHeight + 2 * ListBox1->frameWidth() + 4);
    auto* list = new QVBoxLayout;
    list->addLayout(titles);
    list->addWidget(ListBox1, 1);

    auto* fields = new QVBoxLayout;
    auto* addressLabel = new QLabel(QStringLiteral("Adres HZ70"), this);
    addressLabel->setBuddy(EditAddr);
    auto* nameLabel = new QLabel(QStringLiteral("Nazwa strefy:"), this);
    nameLabel->setBuddy(EditName);
    EditAddr->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    EditName->setMinimumWidth(fontMetrics().horizontalAdvance(QString(kNameFieldLength, QLatin1Char('n'))));
    fields->addWidget(addressLabel);
    fields->addWidget(EditAddr);
    fields->addSpacing(6);
    fields->addWidget(nameLabel);
    fields->addWidget(EditName);
    fields->addSpacing(12);
    for (QPushButton* button : {BtnDodaj, BtnModyf, BtnUsun}) {
        fields->addWidget(button, 0, Qt::AlignLeft);
    }
    fields->addStretch();

    auto* editing = new QHBoxLayout;
    editing->addLayout(fields);
    editing->addSpacing(12);
    editing->addLayout(list, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(BitBtnSzukaj);
    bottom->addWidget(Animate1);
    bottom->addStretch();
    bottom->addWidget(BtnOK);
    bottom->addWidget(BtnAnuluj);
    // Keep the row's height when the animation is hidden.
    BitBtnSzukaj->setMinimumHeight(Animate1->sizeHint().height());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(editing, 1);
    layout->addLayout(bottom);

    setTabOrder(EditAddr, EditName);
    setTabOrder(EditName, BtnDodaj);
    setTabOrder(BtnDodaj, BtnModyf);
    setTabOrder(BtnModyf, BtnUsun);
    setTabOrder(BtnUsun, ListBox1);
    setTabOrder(ListBox1, BitBtnSzukaj);
    setTabOrder(BitBtnSzukaj, BtnOK);
    setTabOrder(BtnOK, BtnAnuluj);
}

void TOListaUrz::FormShow() {
    editor_ = ZoneListEditor(main_.state().settings.zones);
    ShowEntries();
}

void TOListaUrz::ShowEntries() {
    ListBox1->clear();
    for (int entry = 0; entry < editor_.lineCount(); ++entry) {
        AppendLine(entry);
    }
    SelectFirstLine();
}

void TOListaUrz::AppendLine(int entry) {
    auto* line = new QListWidgetItem(Text(editor_.Line(entry)), ListBox1);
    // The list box's hint: the zone name of the line under the mouse, none away from the lines.
    line->setToolTip(PlainToolTip(Text(editor_.Names()[static_cast<std::size_t>(entry)])));
}

void TOListaUrz::RewriteLine(int entry) {
    QListWidgetItem* line = ListBox1->item(entry);
    line->setText(Text(editor_.Line(entry)));
    line->setToolTip(PlainToolTip(Text(editor_.Names()[static_cast<std::size_t>(entry)])));
}

void TOListaUrz::SelectFirstLine() {
    ListBox1->setCurrentRow(editor_.lineCount() > 0 ? 0 : -1);
    FillFields(0);
}

void TOListaUrz::FillFields(int entry) {
    const auto slot = static_cast<std::size_t>(entry);
    EditAddr->setText(QString::number(editor_.Addr()[slot]));
    EditName->setText(Text(editor_.Names()[slot]));
    EditAddr->setFocus();
}

void TOListaUrz::ListBox1Click() {
    // While the search steps, the fields show the address being tried.
    if (search_.stepping()) {
        return;
    }
    const int line = SelectedLine();
    if (line >= 0 && line < editor_.lineCount()) {
        FillFields(line);
    }
}

int TOListaUrz::SelectedLine() const {
    // Not the current row: a Ctrl+click takes the selection away and leaves the line current.
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.front());
}

void TOListaUrz::RefuseAddress() {
    QMessageBox::warning(this, Text(kProgramCaption), QString::fromUtf8(kBadAddressText));
    EditAddr->setFocus();
}

void TOListaUrz::BtnDodajClick() {
    switch (editor_.Add(EditAddr->text().toStdString(), EditName->text().toStdString())) {
    case ZoneListEditor::EditResult::kDone:
        AppendLine(editor_.lineCount() - 1);
        break;
    case ZoneListEditor::EditResult::kListFull:
        QMessageBox::warning(this, Text(kProgramCaption), Text(ListFullText()));
        break;
    case ZoneListEditor::EditResult::kBadAddress:
        RefuseAddress();
        break;
    case ZoneListEditor::EditResult::kNoLine:
        break;
    }
}

void TOListaUrz::BtnModyfClick() {
    const int line = SelectedLine();
    switch (editor_.Modify(line, EditAddr->text().toStdString(), EditName->text().toStdString())) {
    case ZoneListEditor::EditResult::kDone:
        RewriteLine(line);
        break;
    case ZoneListEditor::EditResult::kBadAddress:
        RefuseAddress();
        break;
    case ZoneListEditor::EditResult::kListFull:
    case ZoneListEditor::EditResult::kNoLine:
        break;
    }
}

void TOListaUrz::BtnUsunClick() {
    const int line = SelectedLine();
    if (!editor_.Remove(line)) {
        return;
    }
    delete ListBox1->takeItem(line);
    for (int entry = line; entry < editor_.lineCount(); ++entry) {
        RewriteLine(entry);
    }
    SelectFirstLine();
}

void TOListaUrz::BtnOKClick() {
    AppState& state = main_.state();
    state.settings.zones = editor_.Applied();
    // Every zone is asked for its identity and settings: up to a reply time-out each.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    main_.RebuildDeviceList();
    QApplication::restoreOverrideCursor();
    main_.ReshowViews();
    state.SettingsChanged = true;
    accept();
}

void TOListaUrz::BitBtnSzukajClick() {
    if (Animate1->isRunning()) {
        StopSearch();
    } else {
        StartSearch();
    }
}

void TOListaUrz::SetEditable(bool editable) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{EditAddr, EditName, BtnOK, BtnAnuluj, BtnUsun, BtnDodaj, BtnModyf}) {
        control->setEnabled(editable);
    }
}

void TOListaUrz::StartSearch() {
    editor_.BeginSearch();
    BitBtnSzukaj->setText(QStringLiteral("Zatrzymaj"));
    Animate1->show();
    Animate1->Play();
    SetEditable(false);
    search_.Start();
    ListBox1->clear();
    ListBox1->repaint();
    Timer1->start();
}

void TOListaUrz::ShowProbe() {
    EditAddr->setText(QString::number(search_.address()));
    EditName->setText(Text(editor_.Names()[static_cast<std::size_t>(search_.FoundCount())]));
    Animate1->SetAddress(search_.address());
    // The step blocks the event loop for up to a reply time-out: show the address before it.
    EditAddr->repaint();
    EditName->repaint();
    Animate1->repaint();
}

void TOListaUrz::Timer1Timer() {
    if (search_.stepping() && search_.address() <= kLastSlaveAddress) {
        ShowProbe();
    }
    const BusSearch::Step step = search_.Next();
    switch (step.outcome) {
    case BusSearch::Outcome::kFound:
    case BusSearch::Outcome::kFoundAll:
        editor_.AppendFound(step.address);
        AppendLine(editor_.lineCount() - 1);
        ListBox1->repaint();
        if (step.outcome == BusSearch::Outcome::kFoundAll) {
            Timer1->stop(); // the dialog stays searching until "Zatrzymaj"
        }
        break;
    case BusSearch::Outcome::kRangeEnd:
        FinishRange();
        break;
    case BusSearch::Outcome::kPortNotOpen:
        AbandonSearch();
        break;
    case BusSearch::Outcome::kNone:
    case BusSearch::Outcome::kIdle:
        break;
    }
}

// The whole range was asked. Polling resumes only after the outcome is shown: a question of the poll
// cycle must not open over the message.
void TOListaUrz::FinishRange() {
    Timer1->stop();
    const bool nothingFound = editor_.EndSearch();
    if (nothingFound) {
        ShowNothingFound();
    }
    ShowIdleLook();
    ShowOutcome(nothingFound);
    search_.Stop();
}

void TOListaUrz::AbandonSearch() {
    Timer1->stop();
    main_.ShowLinkStatus();
    QMessageBox::critical(this, Text(kShortCaption), main_.LinkStatusLabel->text());
    ShowIdleLook();
    editor_.AbandonSearch();
    ShowEntries();
    search_.Stop();
}

void TOListaUrz::StopSearch() {
    Timer1->stop();
    ShowIdleLook();
    const bool nothingFound = editor_.EndSearch();
    if (nothingFound) {
        ShowNothingFound();
    }
    ShowOutcome(nothingFound);
    search_.Stop();
}

void TOListaUrz::ShowNothingFound() {
    QMessageBox::critical(this, Text(kShortCaption), QString::fromUtf8(kNotFoundText));
}

void TOListaUrz::ShowIdleLook() {
    BitBtnSzukaj->setText(QStringLiteral("Szukaj"));
    Animate1->Stop();
    Animate1->hide();
    SetEditable(true);
}

void TOListaUrz::ShowOutcome(bool nothingFound) {
    if (nothingFound) {
        ListBox1->clear();
        AppendLine(0);
    }
    SelectFirstLine();
}

void TOListaUrz::keyPressEvent(QKeyEvent* event) {
    // Esc is "Anuluj"'s key: while that is disabled, a search runs and Esc must not drop what it found.
    if (event->matches(QKeySequence::Cancel) && !BtnAnuluj->isEnabled()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOListaUrz::done(int result) {
    if (Animate1->isRunning()) {
        Timer1->stop();
        search_.Stop();
        Animate1->Stop();
    }
    QDialog::done(result);
}

} // namespace hz70
