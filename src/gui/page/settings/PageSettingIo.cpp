#include "PageSettingIo.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitConfirmation.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kPorts = 16;
// Functions of each side: none and the 15 input functions, none and the 8 output ones.
constexpr int kFunctions[2] = {16, 9};

QString functionName(int side, int f) {
    QString name = side == 0 ? ApplicationDeviceClass::InputFuncName(f)
                             : ApplicationDeviceClass::OutputFuncName(f);
    return name.isEmpty() ? QString("None") : name;
}
} // namespace

PageSettingIo::PageSettingIo(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingIo");
    addRow("Input", nullptr);
    addRow("", list(Input));
    addRow("Output", nullptr);
    addRow("", list(Output));
    Refresh();
}

QWidget* PageSettingIo::list(Side side) {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    const char* prefix = side == Input ? "ioInput" : "ioOutput";
    for (int i = 0; i < kPorts; ++i) {
        auto* b = new QPushButton(box);
        b->setObjectName(QString("%1%2").arg(prefix).arg(i));
        b->setStyleSheet("text-align: left; padding-left: 12px;");
        g->addWidget(b, i / 4, i % 4);
        connect(b, &QPushButton::clicked, this, [this, side, i] { choose(side, i); });
        rows_[side][i] = b;
    }
    auto* clear = new QPushButton("Clear", box);
    clear->setObjectName(QString("%1Clear").arg(prefix));
    clear->setProperty("role", "cancel");
    g->addWidget(clear, 0, 4);
    connect(clear, &QPushButton::clicked, this, [this, side] { askClear(side); });
    return box;
}

void PageSettingIo::Refresh() {
    SettingsTab::Refresh();
    ApplicationDeviceClass* dev = ApplicationDevice();
    for (int i = 0; i < kPorts; ++i) {
        if (!rows_[Output][i]) return; // still being built
        rows_[Input][i]->setText(
            QString("%1. %2").arg(i + 1).arg(functionName(Input, dev->GetSysInputFunc(i))));
        rows_[Output][i]->setText(
            QString("%1. %2").arg(i + 1).arg(functionName(Output, dev->GetSysOutFunc(i))));
    }
}

void PageSettingIo::choose(Side side, int port) {
    UiSound_Tap();
    if (dialog_.Open()) return;
    auto* dlg = new QFrame;
    dlg->setObjectName("UnitSelectIoFunc");
    dlg->setProperty("role", "dialog");
    auto* v = new QVBoxLayout(dlg);
    v->setContentsMargins(28, 20, 28, 20);
    auto* title =
        new QLabel(QString("%1 %2").arg(side == Input ? "Input" : "Output").arg(port + 1), dlg);
    title->setProperty("role", "title");
    v->addWidget(title);
    auto* g = new QGridLayout;
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int current = side == Input ? dev->GetSysInputFunc(port) : dev->GetSysOutFunc(port);
    for (int f = 0; f < kFunctions[side]; ++f) {
        auto* b = new QPushButton(functionName(side, f), dlg);
        b->setObjectName(QString("ioFunc%1").arg(f));
        b->setCheckable(true);
        b->setChecked(f == current);
        b->setMinimumWidth(220);
        g->addWidget(b, f / 4, f % 4);
        connect(b, &QPushButton::clicked, this, [this, side, port, f] {
            UiSound_Tap();
            if (side == Input)
                ApplicationDevice()->SetSysInputFunc(port, f);
            else
                ApplicationDevice()->SetSysOutFunc(port, f);
            Navigator::DismissModal(dialog_);
            Refresh();
        });
    }
    v->addLayout(g);
    auto* cancel = new QPushButton("Cancel", dlg);
    cancel->setObjectName("ioFuncCancel");
    cancel->setProperty("role", "cancel");
    v->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Navigator::DismissModal(dialog_);
    });
    // Four columns of choices; sized here, the theme applies only once it is shown.
    dlg->setFixedSize(1040, 110 + 68 * ((kFunctions[side] + 3) / 4) + 70);
    dialog_ = Navigator::PresentModal(window(), dlg, Transition::Scale);
}

void PageSettingIo::askClear(Side side) {
    UiSound_Tap();
    if (dialog_.Open()) return;
    auto* box = new UnitConfirmation("Clear ?", side == Input ? "input" : "output");
    connect(box, &UnitMessageBox::confirmed, this, [this, side] {
        UiSound_Tap();
        Navigator::DismissModal(dialog_);
        for (int i = 0; i < kPorts; ++i) {
            if (side == Input)
                ApplicationDevice()->SetSysInputFunc(i, 0);
            else
                ApplicationDevice()->SetSysOutFunc(i, 0);
        }
        Refresh();
    });
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(window(), box, Transition::Scale);
}
