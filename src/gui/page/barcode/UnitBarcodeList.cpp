#include "UnitBarcodeList.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitConfirmation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace BarcodeList;

namespace {
const int kWidths[5] = {44, 64, 360, 110, 220}; // mark, number, code, range, target

QHBoxLayout* columns(QWidget* parent, QList<QLabel*>* out, const QStringList& texts) {
    auto* h = new QHBoxLayout;
    h->setContentsMargins(8, 0, 8, 0);
    for (int c = 1; c < 5; ++c) {
        auto* l = new QLabel(texts.value(c - 1), parent);
        l->setFixedWidth(kWidths[c]);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        h->addWidget(l);
        if (out) out->append(l);
    }
    h->addStretch(1);
    return h;
}
} // namespace

UnitBarcodeList::UnitBarcodeList(const QString& prefix, const QString& targetHeader,
                                 std::function<QString(const BarcodeRow&)> targetText,
                                 QWidget* parent)
    : QWidget(parent), prefix_(prefix), targetText_(std::move(targetText)) {
    setStyleSheet("QLabel { font-size: 19px; }"
                  "QPushButton[role=\"row\"] { min-height: 44px; text-align: left; }"
                  "QPushButton[role=\"row\"]:checked { background: #22466b; }"
                  "QPushButton[role=\"mark\"] { min-width: 40px; max-width: 40px; padding: 0; }"
                  "QPushButton[role=\"mark\"]:checked { background: #1f5f9e; }");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    auto* header = new QHBoxLayout;
    header->addSpacing(kWidths[0] + 6);
    header->addLayout(columns(this, nullptr, {"No.", "Barcode", "Range", targetHeader}));
    left->addLayout(header);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }");
    list_ = new QWidget(scroll);
    rows_ = new QVBoxLayout(list_);
    rows_->setSpacing(4);
    rows_->addStretch(1);
    scroll->setWidget(list_);
    left->addWidget(scroll, 1);
    h->addLayout(left, 1);

    auto* side = new QVBoxLayout;
    const struct {
        const char* name;
        const char* text;
        Command c;
    } commands[] = {{"Add", "Add", Add},          {"Edit", "Edit", Edit},
                    {"Delete", "Delete", Delete}, {"Up", "Up", Up},
                    {"Down", "Down", Down},       {"Top", "Top", Top},
                    {"End", "End", End},          {"SelectAll", "Select All", SelectAll}};
    for (const auto& c : commands) {
        QPushButton* b = button(c.name, c.text);
        if (c.c == Delete) b->setProperty("role", "danger");
        connect(b, &QPushButton::clicked, this, [this, cmd = c.c] {
            UiSound_Tap();
            command(cmd);
        });
        side->addWidget(b);
        if (c.c == SelectAll) selectAll_ = b;
    }
    side->addStretch(1);
    h->addLayout(side);
}

UnitBarcodeList::~UnitBarcodeList() {
    Navigator::DismissModal(confirm_);
}

QPushButton* UnitBarcodeList::button(const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(prefix_ + name);
    b->setMinimumWidth(190);
    return b;
}

void UnitBarcodeList::SetTable(int table) {
    table_ = table;
    cursor_ = -1;
    // Marks live in the driver's table: those of an earlier visit would turn the next
    // single-row Delete into a delete of rows nobody sees marked now.
    ApplicationDevice()->BarcodeSetSelected(table, -1, false);
    Reload();
}

void UnitBarcodeList::SetCursor(int row) {
    cursor_ = row >= 0 && row < Len(table_) ? row : -1;
    for (int i = 0; i < rowButtons_.size(); ++i)
        rowButtons_[i]->setChecked(i == cursor_);
}

void UnitBarcodeList::Reload() {
    const int len = Len(table_);
    // Row widgets are kept and reused; only a longer table adds new ones.
    while (rowButtons_.size() < len) {
        const int i = int(rowButtons_.size());
        auto* line = new QHBoxLayout;
        auto* mark = new QPushButton(list_);
        mark->setObjectName(QString("%1Sel%2").arg(prefix_).arg(i));
        mark->setProperty("role", "mark");
        mark->setCheckable(true);
        connect(mark, &QPushButton::clicked, this, [this, i] {
            UiSound_Tap();
            ApplicationDevice()->BarcodeSetSelected(table_, i, !Read(table_, i).Selected);
            Reload();
            emit changed();
        });
        auto* row = new QPushButton(list_);
        row->setObjectName(QString("%1Row%2").arg(prefix_).arg(i));
        row->setProperty("role", "row");
        row->setCheckable(true);
        QList<QLabel*> cells;
        row->setLayout(columns(row, &cells, {}));
        cells[1]->setTextFormat(Qt::RichText);
        cells_.append(cells);
        marks_.append(mark);
        connect(row, &QPushButton::clicked, this, [this, i] {
            UiSound_Tap();
            SetCursor(i);
        });
        line->addWidget(mark);
        line->addWidget(row, 1);
        rows_->insertLayout(rows_->count() - 1, line);
        rowButtons_.append(row);
    }
    int selected = 0;
    for (int i = 0; i < rowButtons_.size(); ++i) {
        QPushButton* row = rowButtons_[i];
        QPushButton* mark = marks_[i];
        row->setVisible(i < len);
        mark->setVisible(i < len);
        if (i >= len) continue;
        const BarcodeRow r = Read(table_, i);
        selected += r.Selected ? 1 : 0;
        mark->setChecked(r.Selected);
        mark->setText(r.Selected ? "V" : "");
        const QList<QLabel*>& cells = cells_[i];
        cells[0]->setText(Number(i));
        cells[1]->setText(CodeHtml(r));
        cells[2]->setText(Range(r));
        cells[3]->setText(targetText_(r));
    }
    selectAll_->setText(SelectAllLabel(len, selected));
    SetCursor(cursor_);
}

UnitConfirmation* UnitBarcodeList::ConfirmDialog() const {
    return confirm_.As<UnitConfirmation>();
}

void UnitBarcodeList::CloseDialogs() {
    Navigator::DismissModal(confirm_);
}

void UnitBarcodeList::command(Command c) {
    if (!Applies(c, table_, cursor_) || confirm_.Open()) return;
    if (c == Add) {
        emit addRequested();
        return;
    }
    if (c == Edit) {
        emit editRequested(cursor_);
        return;
    }
    const QString context = Confirmation(c);
    if (context.isEmpty()) {
        run(c);
        return;
    }
    auto* box = new UnitConfirmation(Question(c), context);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, c] {
        UiSound_Tap();
        Navigator::DismissModal(confirm_);
        run(c);
    });
    confirm_ = Navigator::PresentModal(window(), box, Transition::Scale);
}

void UnitBarcodeList::run(Command c) {
    cursor_ = BarcodeList::Run(c, table_, cursor_);
    Reload();
    emit changed();
}

QStringList UnitBarcodeList::Cells(int row) const {
    QStringList out;
    if (row < 0 || row >= cells_.size() || row >= Len(table_)) return out;
    for (QLabel* l : cells_[row])
        out.append(l->text());
    return out;
}
