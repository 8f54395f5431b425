// The delay step view: a time countdown run as an animation over the delay time, a
// confirmation message with its button, or the expected barcode with the compared range
// highlighted.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QVariantAnimation;

class UnitStepDelayView : public QFrame {
    Q_OBJECT
  public:
    explicit UnitStepDelayView(QWidget* parent = nullptr);
    void SetTitle(const QString& title);
    // Time mode: counts down from `ms`; `finished` at the end.
    void StartCountdown(int ms);
    void StopCountdown();
    bool CountingDown() const;
    // "0.0" for a delay that does not run.
    void SetRemainingText(const QString& text);
    // Confirmation mode: three lines and the button.
    void ShowConfirm(const QString& l1, const QString& l2, const QString& l3);
    // Barcode mode: the code, characters start..end (1-based) highlighted when both are
    // non-zero.
    void ShowBarcode(const QString& code, int start, int end);

    QString Title() const;
    QString Remaining() const;
    QString Lines() const;
    // Remaining time as shown: seconds with 3 decimals under 1000 ms, else 1 decimal.
    static QString FormatRemaining(int remainingMs, int durationMs);

  signals:
    void finished();
    void confirmed();

  private:
    void hideModes();
    QLabel* title_;
    QLabel* remaining_;
    QLabel* lines_;
    QPushButton* confirm_;
    QVariantAnimation* countdown_;
    int duration_ = 0;
};
