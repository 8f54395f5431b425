// The folder and file dialogs pressed on the root: the browser opened from them as a
// picker over real folders of the data home, their checks and messages, what they hand
// back, and that each is gone once it answered.
#include "ShellFixture.h"
#include "UnitMessageBox.h"
#include "page/p2p/PageP2P_SelectFile.h"
#include "page/p2p/PageP2P_SelectFolder.h"

#include <QLabel>
#include <optional>

namespace {
class P2PDialogTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        TestEnv::writeFile("files/jobs/a.job", "job");
        TestEnv::writeFile("files/b.p2p", "tar");
        TestEnv::writeFile("files/c.p2p.txt", "txt");
        TestEnv::writeFile("files/d.P2P", "tar");
        makeRoot();
    }
    UnitBrowser* browser() { return root->findChild<UnitBrowser*>("UnitBrowser"); }
    QString message() {
        auto* box = root->findChild<UnitMessageBox*>();
        if (!box || !box->isVisible()) return {};
        EXPECT_EQ(box->Title(), "Error");
        return box->Text();
    }
    // A new dialog, its answers recorded in `accepted` and `cancelled`.
    template <class D> D* watch(D* d) {
        accepted.reset();
        cancelled = false;
        QObject::connect(d, &D::cancelled, [this] { cancelled = true; });
        flush();
        return d;
    }
    // OK pressed: the error shown, then the dialog cancelled; without one `want` handed
    // back. Either way the dialog `D` is gone.
    template <class D> void finish(const QString& error, const QString& want) {
        press("p2pOk");
        EXPECT_EQ(message(), error);
        if (!error.isEmpty()) {
            EXPECT_FALSE(accepted);
            press("msgClose");
            press("p2pCancel");
        }
        EXPECT_EQ(accepted.value_or("(none)"), error.isEmpty() ? want : "(none)");
        EXPECT_EQ(cancelled, !error.isEmpty());
        flush();
        EXPECT_EQ(root->findChild<D*>(), nullptr);
    }
    std::optional<QString> accepted;
    bool cancelled = false;
};

TEST_F(P2PDialogTest, FolderDialogChecksThenHandsBackThePath) {
    const std::string longName(111, 'n'); // with "./files/jobs/" and ".p2p": 128
    // The folder (null: none chosen; "" the browser's root), the name typed (null: the
    // proposal kept), the error shown, the path handed back.
    const std::tuple<const char*, const char*, QString, QString> cases[] = {
        {nullptr, nullptr, "Please select path to save.", ""},
        {"", "", "Please enter file name to save.", ""},
        {"", "a/b", "Can not use \"/\" in the file name.", ""},
        {"", nullptr, "", "./files/Kest_20261207.p2p"},
        {"", "backup", "", "./files/backup.p2p"},
        {"jobs", "x.p2p", "", "./files/jobs/x.p2p"},
        {"jobs", longName.c_str(), "The path is too long (max 127 characters).", ""},
    };
    for (const auto& [folder, name, error, path] : cases) {
        SCOPED_TRACE(name ? name : "(proposal)");
        auto* d = watch(new PageP2P_SelectFolder("Kest_20261207", ".p2p", root));
        QObject::connect(d, &PageP2P_SelectFolder::accepted,
                         [&](const QString& p) { accepted = p; });
        EXPECT_EQ(find<QPushButton>("p2pNameField")->text(), "Kest_20261207");
        if (folder) {
            press("p2pFolderButton");
            if (!name) shot("PageP2P_SelectFolder_Browser");
            browserPick({}, folder);
            EXPECT_EQ(browser(), nullptr);
            EXPECT_EQ(find<QLabel>("p2pFolderField")->text(),
                      QString("./files") + (*folder ? QString("/") + folder : ""));
        }
        if (name) {
            press("p2pNameField");
            find<QLineEdit>("textKeypadField")->setText(name);
            press("textKeypadOk");
        }
        if (!folder) shot("PageP2P_SelectFolder");
        finish<PageP2P_SelectFolder>(error, path);
    }
}

TEST_F(P2PDialogTest, FileDialogAcceptsOnlyItsExtension) {
    // "Barcode only" offered, the file picked (null: none), "barcode only" pressed, the error
    // inside the browser, the dialog's error, the path handed back.
    const std::tuple<bool, const char*, bool, QString, QString, QString> cases[] = {
        {true, nullptr, false, "", "Please select file to load.", ""},
        {false, "c.p2p.txt", false, "Invalid file.", "Please select file to load.", ""},
        {false, "d.P2P", false, "Invalid file.", "Please select file to load.", ""},
        {false, "b.p2p", false, "", "", "./files/b.p2p"},
        {true, "b.p2p", true, "", "", "./files/b.p2p"},
    };
    for (const auto& [offer, file, barcodeOnly, browserError, error, path] : cases) {
        SCOPED_TRACE(file ? file : "(none)");
        auto* d = watch(new PageP2P_SelectFile(".p2p", offer, root));
        QObject::connect(d, &PageP2P_SelectFile::accepted, [&](const QString& p, bool only) {
            accepted = p + (only ? " (barcode only)" : "");
        });
        EXPECT_EQ(find("p2pBarcodeOnly") != nullptr, offer);
        if (offer && !file) shot("PageP2P_SelectFile");
        if (file) {
            press("p2pFileButton");
            browserPick(file);
            if (!browserError.isEmpty()) {
                // Refused inside the browser, which stays open without a highlight.
                EXPECT_EQ(message(), browserError);
                ASSERT_NE(browser(), nullptr);
                EXPECT_EQ(browser()->Model().Highlight(), -1);
                press("msgClose");
                press("browserCancel");
            }
            EXPECT_EQ(browser(), nullptr);
        }
        if (barcodeOnly) press("p2pBarcodeOnly");
        finish<PageP2P_SelectFile>(error, path + (barcodeOnly ? " (barcode only)" : ""));
    }
}
} // namespace
