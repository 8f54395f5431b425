// The result taker shared by the editor screens: one line in a screen's constructor,
// ScreenResults::Attach(this). The first screen attached starts taking results (see
// EditorResults), screens opened over it share the same taker, and when the last of them
// is destroyed the tools stop sending.
#pragma once

#include "EditorResults.h"
#include "ResultsDevice.h"
#include "StoredPrompt.h"

#include <QList>
#include <QObject>
#include <QTimer>

class Page;
class UnitMessageBox;

class ScreenResults : public QObject, private EditorResultsPort, private ResultsDevice {
    Q_OBJECT
  public:
    static void Attach(Page* screen);
    // The running taker, nullptr when no editor screen is open.
    static ScreenResults* Instance();

    EditorResults& Results() { return results_; }
    StoredPrompt* Prompt() const { return prompt_; }
    UnitMessageBox* MessageDialog() const;
    int Screens() const { return int(screens_.size()); }

  private:
    ScreenResults();
    ~ScreenResults() override;
    void detach(QObject* screen);
    QWidget* host() const;

    void StartPrompt(int ms) override;
    void Message(const std::string& title, const std::string& text) override;
    bool StoredOpen() override;
    void StoredShow() override;
    void StoredRefresh(int tdx) override;
    void StoredProgress(int tdx, int collected) override;
    void StoredClose() override;

    EditorResults results_;
    StoredPrompt* prompt_;
    QTimer promptTimer_;
    QList<QWidget*> screens_; // attached, alive (each removed as it is destroyed)
    ModalHandle message_;
};
