#include "UnitMenu.h"

#include "UiSound.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString UnitMenu::TileName(const QString& title) {
    QString n = title;
    n.remove(' ');
    return "tile" + n;
}

UnitMenu::UnitMenu(const QList<Tile>& tiles, int columns, QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(40, 24, 40, 32);
    grid->setSpacing(22);
    int i = 0;
    for (const Tile& t : tiles) {
        auto* b = new QPushButton(this);
        b->setObjectName(TileName(t.Title));
        b->setProperty("role", "tile");
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setMinimumHeight(120);
        auto* v = new QVBoxLayout(b);
        v->setContentsMargins(28, 18, 28, 18);
        auto* accent = new QFrame(b);
        accent->setFixedSize(48, 6);
        accent->setStyleSheet("background: #2f8fe8; border-radius: 3px;");
        auto* title = new QLabel(t.Title, b);
        title->setProperty("role", "title");
        auto* sub = new QLabel(t.Subtitle, b);
        sub->setProperty("role", "subtitle");
        for (QWidget* w : {static_cast<QWidget*>(accent), static_cast<QWidget*>(title),
                           static_cast<QWidget*>(sub)})
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
        v->addWidget(accent);
        v->addStretch(1);
        v->addWidget(title);
        v->addWidget(sub);
        grid->addWidget(b, i / columns, i % columns);
        QString key = t.Title;
        connect(b, &QPushButton::clicked, this, [this, key] {
            UiSound_Tap();
            emit tilePressed(key);
        });
        tiles_.insert(key, b);
        order_.append(key);
        ++i;
    }
}

void UnitMenu::SetTileEnabled(const QString& title, bool enabled) {
    if (QPushButton* b = tiles_.value(title)) b->setEnabled(enabled);
}

UnitGuestMenu::UnitGuestMenu(QWidget* parent)
    : UnitMenu({{"Operation", "Start your job"},
                {"Monitor", "Graph, IO, Error ..."},
                {"System", "SW Version, Storage usage ..."},
                {"Login", "as Administrator"}},
               2, parent) {
    setObjectName("UnitGuestMenu");
}

UnitAdminMenu::UnitAdminMenu(QWidget* parent)
    : UnitMenu({{"Operation", "Start your job"},
                {"Job Manager", "Create & edit job"},
                {"Parameter", "Edit tool setting"},
                {"Monitor", "Graph, I/O, Error"},
                {"Remote", "Control remote tool"},
                {"Setting", "System configuration"},
                {"System", "SW version, Storage ..."},
                {"Logout", "as Guest"},
                {"File browser", "Copy, Delete ..."}},
               3, parent) {
    setObjectName("UnitAdminMenu");
}
