#include "UnitMenu.h"

#include "Icons.h"
#include "Theme.h"
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
        auto* accent = new QLabel(b);
        accent->setObjectName("tileIcon");
        accent->setFixedSize(52, 52);
        accent->setPixmap(Icons::Pixmap(t.Icon, Theme::Accent, 52));
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
    QPushButton* b = tiles_.value(title);
    if (!b) return;
    b->setEnabled(enabled);
    // Texts of a tile that cannot be opened yet are dimmed with it.
    for (QLabel* l : b->findChildren<QLabel*>())
        if (l->objectName() != "tileIcon")
            l->setStyleSheet(enabled ? QString() : "color: #56616b;");
}

UnitGuestMenu::UnitGuestMenu(const QList<Tile>& tiles, QWidget* parent)
    : UnitMenu(tiles, 2, parent) {
    setObjectName("UnitGuestMenu");
}

UnitAdminMenu::UnitAdminMenu(const QList<Tile>& tiles, QWidget* parent)
    : UnitMenu(tiles, 3, parent) {
    setObjectName("UnitAdminMenu");
}
