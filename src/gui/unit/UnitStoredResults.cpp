#include "UnitStoredResults.h"

#include "ApplicationDeviceClass.h"
#include "Timer.h"
#include "UiSound.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QString UnitStoredResults::TypeName(int type) {
    const QString name = ApplicationDeviceClass::ToolTypeName(type);
    return name.isEmpty() ? "-" : name;
}

QString UnitStoredResults::LinkText(int state) {
    switch (state) {
    case 3:
        return "Connected";
    case 2:
        return "Connecting";
    default:
        return "Disconnected";
    }
}

UnitStoredResults::UnitStoredResults(int tools, Source source, QWidget* parent)
    : QFrame(parent), tools_(qBound(0, tools, MaxTools)), source_(std::move(source)) {
    setObjectName("UnitStoredResults");
    setProperty("role", "dialog");
    setFixedSize(1100, 680);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(12);
    auto* title = new QLabel("Stored results", this);
    title->setProperty("role", "title");
    auto* hint =
        new QLabel("Results are stored in the tools. Choose the tools to collect from.", this);
    hint->setProperty("role", "subtitle");
    v->addWidget(title);
    v->addWidget(hint);
    auto* g = new QGridLayout;
    g->setHorizontalSpacing(18);
    g->setVerticalSpacing(6);
    const char* heads[] = {"Tool", "Type", "Link", "Stored", "Collect", "Progress"};
    for (int c = 0; c < 6; ++c) {
        auto* h = new QLabel(heads[c], this);
        h->setProperty("role", "muted");
        g->addWidget(h, 0, c);
    }
    for (int t = 0; t < tools_; ++t) {
        Line l;
        auto label = [this](const QString& name) {
            auto* w = new QLabel(this);
            w->setObjectName(name);
            w->setStyleSheet("font-size: 20px;");
            return w;
        };
        l.name = label(QString("storedName%1").arg(t));
        l.type = label(QString("storedType%1").arg(t));
        l.status = label(QString("storedLink%1").arg(t));
        l.pending = label(QString("storedPending%1").arg(t));
        l.collect = new QCheckBox(this);
        l.collect->setObjectName(QString("storedCollect%1").arg(t));
        l.progress = new QProgressBar(this);
        l.progress->setObjectName(QString("storedProgress%1").arg(t));
        l.progress->setMinimumWidth(260);
        l.progress->setFormat("%v / %m");
        l.progress->hide();
        QSizePolicy sp = l.progress->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        l.progress->setSizePolicy(sp);
        const int r = t + 1;
        g->addWidget(l.name, r, 0);
        g->addWidget(l.type, r, 1);
        g->addWidget(l.status, r, 2);
        g->addWidget(l.pending, r, 3);
        g->addWidget(l.collect, r, 4);
        g->addWidget(l.progress, r, 5);
        lines_.append(l);
    }
    g->setColumnStretch(0, 1);
    v->addLayout(g);
    v->addStretch(1);
    auto* row = new QHBoxLayout;
    leave_ = new QPushButton("Leave", this);
    leave_->setObjectName("storedLeave");
    leave_->setProperty("role", "cancel");
    leave_->setMinimumWidth(200);
    confirm_ = new QPushButton("Confirm", this);
    confirm_->setObjectName("storedConfirm");
    confirm_->setProperty("role", "ok");
    confirm_->setMinimumWidth(200);
    row->addWidget(leave_);
    row->addStretch(1);
    row->addWidget(confirm_);
    v->addLayout(row);
    connect(confirm_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit confirmed(Choices());
    });
    connect(leave_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit leave();
    });
    frame_ = new QTimer(this);
    frame_->setSingleShot(true);
    frame_->setInterval(FrameMs);
    connect(frame_, &QTimer::timeout, this, [this] {
        if (rowsDue_ || barsDue_) Redraw(); // else the frame ends and the timer stays off
    });
    Refresh();
    for (int t = 0; t < tools_; ++t)
        lines_[t].collect->setChecked(source_ && source_(t).Pending > 0);
    refresh_ = new Timer(this);
    refresh_->SetPeriod(RefreshMs);
    connect(refresh_, &Timer::trigger, this, &UnitStoredResults::Refresh);
    refresh_->SetEnabled(true);
}

void UnitStoredResults::Refresh() {
    rowsDue_ = true;
    if (!frame_->isActive()) Redraw();
}

// Draws what changed and starts a frame; changes during it wait for its end.
void UnitStoredResults::Redraw() {
    Draw();
    frame_->start();
}

void UnitStoredResults::Draw() {
    if (rowsDue_ && source_) {
        for (int t = 0; t < tools_; ++t) {
            const ToolRow r = source_(t);
            Line& l = lines_[t];
            l.name->setText(r.Name);
            l.type->setText(TypeName(r.Type));
            l.status->setText(LinkText(r.State));
            const bool linked = r.State == 3;
            if (l.shown < 0 || (l.shown == 3) != linked) // a style sheet is parsed again
                l.status->setStyleSheet(
                    QString("font-size: 20px; color: %1;").arg(linked ? "#2eb85c" : "#9aa8b4"));
            l.shown = r.State;
            l.pending->setText(QString::number(r.Pending));
        }
    }
    if (barsDue_)
        for (Line& l : lines_)
            if (l.progress->value() != l.value) l.progress->setValue(l.value);
    rowsDue_ = barsDue_ = false;
}

bool UnitStoredResults::Chosen(int tdx) const {
    return tdx >= 0 && tdx < tools_ && lines_[tdx].collect->isChecked();
}
void UnitStoredResults::SetChosen(int tdx, bool on) {
    if (tdx >= 0 && tdx < tools_) lines_[tdx].collect->setChecked(on);
}
QVector<bool> UnitStoredResults::Choices() const {
    QVector<bool> c;
    for (int t = 0; t < tools_; ++t)
        c.append(Chosen(t));
    return c;
}

void UnitStoredResults::ShowProgress(int tdx, int maximum) {
    if (tdx < 0 || tdx >= tools_) return;
    QProgressBar* p = lines_[tdx].progress;
    p->setRange(0, qMax(0, maximum));
    p->setValue(0);
    lines_[tdx].value = 0;
    p->show();
    lines_[tdx].collect->setEnabled(false);
}

void UnitStoredResults::SetBar(int tdx, int maximum, int value) {
    if (tdx < 0 || tdx >= tools_) return;
    Line& l = lines_[tdx];
    if (maximum <= 0) {
        if (l.progress->isHidden()) return;
        l.progress->hide();
        l.progress->setValue(0);
        l.value = 0;
        l.collect->setChecked(true);
        l.collect->setEnabled(confirm_->isEnabled());
        return;
    }
    if (l.progress->isHidden() || l.progress->maximum() != maximum) ShowProgress(tdx, maximum);
    SetProgress(tdx, value);
}

void UnitStoredResults::SetProgress(int tdx, int value) {
    if (tdx < 0 || tdx >= tools_ || lines_[tdx].value == value) return;
    lines_[tdx].value = value;
    barsDue_ = true;
    if (!frame_->isActive()) Redraw();
}
int UnitStoredResults::Progress(int tdx) const {
    return tdx >= 0 && tdx < tools_ ? lines_[tdx].value : -1;
}
bool UnitStoredResults::ProgressShown(int tdx) const {
    return tdx >= 0 && tdx < tools_ && !lines_[tdx].progress->isHidden();
}

void UnitStoredResults::SetConfirmEnabled(bool on) {
    confirm_->setEnabled(on);
    // Enabled again when a tool came back with results: only tools not being collected
    // can be chosen.
    for (Line& l : lines_)
        l.collect->setEnabled(on && l.progress->isHidden());
}
bool UnitStoredResults::ConfirmEnabled() const {
    return confirm_->isEnabled();
}
QString UnitStoredResults::PendingText(int tdx) const {
    return tdx >= 0 && tdx < tools_ ? lines_[tdx].pending->text() : QString();
}
QString UnitStoredResults::StatusText(int tdx) const {
    return tdx >= 0 && tdx < tools_ ? lines_[tdx].status->text() : QString();
}
