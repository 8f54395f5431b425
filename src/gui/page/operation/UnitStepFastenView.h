// The fastening step view of the job screen: tool and preset, current barcode, screw
// counter, result line (torque / target, OK or NG colour), error line and OK/NG sign.
#pragma once

#include <QFrame>

class QLabel;

class UnitStepFastenView : public QFrame {
    Q_OBJECT
  public:
    enum Tone { Neutral, Ok, Ng };
    explicit UnitStepFastenView(QWidget* parent = nullptr);
    void SetTool(const QString& text);
    void SetBarcode(const QString& text);
    void SetCounter(const QString& text);
    void SetResult(const QString& text, Tone tone);
    void SetError(const QString& text);
    void SetSign(Tone sign);

    QString Tool() const;
    QString Barcode() const;
    QString Counter() const;
    QString Result() const;
    Tone ResultTone() const { return tone_; }
    QString Error() const;
    Tone Sign() const { return sign_; }

  private:
    QLabel* tool_;
    QLabel* barcode_;
    QLabel* counter_;
    QLabel* result_;
    QLabel* error_;
    QLabel* sign_l_;
    Tone tone_ = Neutral;
    Tone sign_ = Neutral;
};
