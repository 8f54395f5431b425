// A menu of large tiles (picture, title and subtitle) in a grid; pressing a tile plays the
// tap sound and signals its title. Tiles are named "tile" + title without blanks.
#pragma once

#include <QMap>
#include <QWidget>

class QPushButton;

class UnitMenu : public QWidget {
    Q_OBJECT
  public:
    struct Tile {
        const char* Title;
        const char* Subtitle;
        const char* Icon; // resource icon name
    };
    UnitMenu(const QList<Tile>& tiles, int columns, QWidget* parent = nullptr);
    void SetTileEnabled(const QString& title, bool enabled);
    QPushButton* TileButton(const QString& title) const { return tiles_.value(title); }
    QStringList Titles() const { return order_; }
    static QString TileName(const QString& title);

  signals:
    void tilePressed(const QString& title);

  private:
    QMap<QString, QPushButton*> tiles_;
    QStringList order_;
};

// The guest menu (two columns) and the administrator menu (three columns); their tiles
// come from the screen registry.
class UnitGuestMenu : public UnitMenu {
    Q_OBJECT
  public:
    explicit UnitGuestMenu(const QList<Tile>& tiles, QWidget* parent = nullptr);
};

class UnitAdminMenu : public UnitMenu {
    Q_OBJECT
  public:
    explicit UnitAdminMenu(const QList<Tile>& tiles, QWidget* parent = nullptr);
};
