// A barcode with its compared part: the code's text field, a switch for comparing only a
// part, and one button per character; the part is chosen by touching its first and last
// character. Used by every barcode entry editor (job table, preset tables, the tool's own
// table, the delay step's barcode).
#pragma once

#include <QList>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The compared part chosen by touching the code's characters (positions from 1): the
// first touch marks one character, the second widens the part to the touched one.
struct CodeRangePick {
    int start = 0, end = 0;
    bool open = false; // a first touch waits for its second
    void Touch(int position);
};

class UnitCodeRange : public QWidget {
    Q_OBJECT
  public:
    // Children are named <prefix>Code, <prefix>Partial, <prefix>Char<n> (n from 1) and
    // <prefix>Range, so that each editor's buttons keep names of their own.
    UnitCodeRange(const QString& prefix, int maxLength, QWidget* parent = nullptr);
    QLineEdit* CodeField() const { return code_; } // the keypad's target
    // A part outside the code, or with end before start, is dropped (whole code).
    void Set(const QString& code, bool partial, int start, int end);
    QString Code() const;
    bool Partial() const;
    int Start() const; // the compared part, 0 and 0 when the whole code is compared
    int End() const;
    // What a stored entry holds: the switch on with no part chosen (yet, or any more after
    // the code changed) compares the whole code, as a partial entry without a range never
    // matches any scan.
    bool ComparesPart() const { return Partial() && Start() >= 1; }

  signals:
    void changed();

  private:
    void codeChanged();
    void showRange();

    QString prefix_;
    QLineEdit* code_;
    QPushButton* partial_;
    QWidget* chars_;
    QHBoxLayout* charRow_;
    QList<QPushButton*> charButtons_;
    QLabel* range_;
    CodeRangePick pick_;
};
