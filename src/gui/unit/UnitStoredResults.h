// The stored-results dialog: every registered tool with its name, type, link status and
// the count of results stored in it (re-read every 500 ms), a collect choice per tool and,
// once confirmed, a progress bar per collected tool. It only shows and reports; the
// collector behind it decides. A collection delivers results far faster than a screen
// shows them, and a redraw costs more than a result: rows and bars are drawn at most once
// a frame (FrameMs), the latest values at the end of it.
#pragma once

#include <QFrame>
#include <QVector>
#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class Timer;

class UnitStoredResults : public QFrame {
    Q_OBJECT
  public:
    static constexpr int RefreshMs = 500;
    static constexpr int MaxTools = 8;
    static constexpr int FrameMs = 40;
    struct ToolRow {
        QString Name;
        int Type = 0;    // 1 XWC, 2 ZQ, 3 ZQT, 4 XWTC
        int State = 0;   // connection state 0..5
        int Pending = 0; // results stored in the tool
    };
    using Source = std::function<ToolRow(int tdx)>;

    // `tools` rows (at most 8) read through `source` now and every 500 ms.
    UnitStoredResults(int tools, Source source, QWidget* parent = nullptr);
    void Refresh(); // rows read again: now, or at the end of the frame being shown
    int Tools() const { return tools_; }

    // Collect choice per tool (checked for tools with stored results at first).
    bool Chosen(int tdx) const;
    void SetChosen(int tdx, bool on);
    QVector<bool> Choices() const;
    // Progress bar of a collected tool: shown with its maximum, then advanced.
    void ShowProgress(int tdx, int maximum);
    void SetProgress(int tdx, int value);
    // The bar as the collector has it: a maximum above 0 shows it (anew when the maximum
    // changed) at `value`; 0 means the tool has no bar in this round: a bar left from an
    // earlier one goes and the tool can be chosen again, checked as at the opening.
    void SetBar(int tdx, int maximum, int value);
    int Progress(int tdx) const; // the value set (drawn by the end of the frame)
    bool ProgressShown(int tdx) const;
    void SetConfirmEnabled(bool on);
    bool ConfirmEnabled() const;
    QString PendingText(int tdx) const;
    QString StatusText(int tdx) const;

    static QString TypeName(int type);
    static QString LinkText(int state);

  signals:
    void confirmed(const QVector<bool>& choices);
    void leave();

  private:
    void Redraw();
    void Draw();
    struct Line {
        QLabel* name;
        QLabel* type;
        QLabel* status;
        QLabel* pending;
        QCheckBox* collect;
        QProgressBar* progress;
        int value = 0;  // of the bar, drawn at the next frame
        int shown = -1; // link state the status colour shows
    };
    int tools_;
    Source source_;
    QVector<Line> lines_;
    QPushButton* confirm_;
    QPushButton* leave_;
    Timer* refresh_;
    QTimer* frame_;
    bool rowsDue_ = false, barsDue_ = false;
};
