// The storage status tab: total, free and used space of internal storage and of the micro
// SD card, each with its used percentage and a gauge of the used MB. The card's block is
// hidden without a card. Read again when shown and on every drive update.
#pragma once

#include "Page.h"

#include <QMap>

class QLabel;
class QProgressBar;
class QWidget;

class PageSystemStorage : public Page {
    Q_OBJECT
  public:
    explicit PageSystemStorage(QWidget* parent = nullptr);
    void Init() override { Refresh(); }
    void Refresh() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Block {
        QWidget* Frame;
        QLabel *Total, *Free, *Used, *Percent;
        QProgressBar* Gauge;
    };
    Block makeBlock(const QString& title, const QString& prefix);
    void fill(const Block& b, const QString& path);

    Block internal_, sd_;
};
