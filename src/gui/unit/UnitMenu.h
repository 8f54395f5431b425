// A menu of large tiles (title and subtitle) in a grid; pressing a tile plays the tap
// sound and signals its title. Tiles are named "tile" + title without blanks.
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
    };
    UnitMenu(const QList<Tile>& tiles, int columns, QWidget* parent = nullptr);
    void SetTileEnabled(const QString& title, bool enabled);
    QPushButton* TileButton(const QString& title) const { return tiles_.value(title); }
    QStringList Titles() const { return order_; }
    static QString TileName(const QString& title);
    // Picture of a tile (an icon name of the resources).
    static QString IconOf(const QString& title);

  signals:
    void tilePressed(const QString& title);

  private:
    QMap<QString, QPushButton*> tiles_;
    QStringList order_;
};

// The guest menu: Operation, Monitor, System, Login.
class UnitGuestMenu : public UnitMenu {
    Q_OBJECT
  public:
    explicit UnitGuestMenu(QWidget* parent = nullptr);
};

// The administrator menu: nine tiles including Logout and File browser.
class UnitAdminMenu : public UnitMenu {
    Q_OBJECT
  public:
    explicit UnitAdminMenu(QWidget* parent = nullptr);
};
