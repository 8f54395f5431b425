// The file manager: the model's rules no press reaches (depth, proposals, pickers), the
// dialog pressed by object name over a fake USB stick under the sysroot (names refused,
// drives and a pulled stick), and the storage status tab.
#include "ShellFixture.h"
#include "Touches.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"
#include "page/storage/PageSystemStorage.h"
#include "unit/UnitBrowser.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
class BrowserTest : public WithTouches<ShellTest> {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        sys = env->sysroot();
        layOut("files/");
        plugStick("sda1");
        uint64_t gb = 1ull << 30;
        TestEnv::writeFile(sys + "/media/mmcblk3p2/.keep", "");
        storageFigures()["/media/mmcblk3p2"] = {8 * gb, 3 * gb / 2};
        storageFigures()["/media/sda1"] = {4 * gb, 1 * gb};
        dev->RefreshDrvs();
    }
    void layOut(const std::string& dir) {
        TestEnv::writeFile(dir + "jobs/a.job", "job");
        TestEnv::writeFile(dir + "Zeta.bak", "zz");
        TestEnv::writeFile(dir + "b.bak", "bb");
        TestEnv::writeFile(dir + ".hidden", "");
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(Qt::darkCyan);
        fs::create_directories(dir);
        photo.save(QString::fromStdString(dir + "photo.png"));
    }
    void plugStick(const std::string& name) {
        TestEnv::writeFile(sys + "/media/" + name + "/stick.txt", "usb");
        TestEnv::writeFile(sys + "/dev/" + name, "");
    }
    void pullStick(const std::string& name) {
        fs::remove_all(sys + "/media/" + name);
        fs::remove(sys + "/dev/" + name);
        dev->TriggerDrvUpdateNotifier();
        flush();
    }
    QStringList names(const BrowserModel& m) {
        QStringList out;
        for (const auto& it : m.Items())
            out.append(it.Name);
        return out;
    }
    UnitBrowser* open() {
        dev->SetSysPwd("4321");
        auto* b = openTile<UnitBrowser>("tileFilebrowser", ScreenId::Browser, "4321");
        EXPECT_NE(b, nullptr);
        return b;
    }
    int row(UnitBrowser* b, const QString& name) {
        const int r = int(names(b->Model()).indexOf(name));
        EXPECT_GE(r, 0) << name.toStdString();
        return r;
    }
    QPoint at(int r) {
        auto* list = find<QListWidget>("browserList");
        return list->visualItemRect(list->item(r)).center();
    }
    void holdItem(UnitBrowser* b, const QString& name) {
        auto* vp = find<QListWidget>("browserList")->viewport();
        const QPoint p = at(row(b, name));
        QTest::mousePress(vp, Qt::LeftButton, {}, p);
        EXPECT_TRUE(QTest::qWaitFor([&] { return b->Model().SelectionMode(); }, 20000));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
        flush();
    }
    // Answers the open name prompt.
    void enterName(const QString& text) {
        fillKeypad(text);
        press("textKeypadOk");
    }
    std::string sys;
};

TEST_F(BrowserTest, ModelRules) {
    layOut("files/t/"); // a folder of its own: the data home has folders of its own
    BrowserModel m("./files/t", "internal storage");
    m.RefreshDrives();
    m.SelectDrive(0);
    EXPECT_EQ(names(m), (QStringList{"jobs", "Zeta.bak", "b.bak", "photo.png"}));
    fs::create_directories("files/t/new_folder");
    TestEnv::writeFile("files/t/new_folder1", "");
    EXPECT_EQ(m.CheckName("new_folder1"), "Already exist.");
    EXPECT_EQ(m.CheckName(""), "Enter a name.") << "the prompt closes on none";
    EXPECT_EQ(m.ProposeFolderName(), "new_folder2");

    // A hundred levels deep and no further.
    std::string deep = "files/t/jobs";
    for (int i = 0; i < BrowserModel::MaxDepth; ++i)
        fs::create_directories(deep += "/d");
    m.Refresh();
    ASSERT_TRUE(m.Enter("jobs"));
    while (m.Enter("d")) {
    }
    EXPECT_EQ(m.Depth(), BrowserModel::MaxDepth);
    EXPECT_EQ(m.Folder().count("/d"), BrowserModel::MaxDepth - 1);
    m.SelectDrive(0);
    EXPECT_EQ(m.Depth(), 0);

    // Selection: none, folders first; paste into the same folder changes nothing.
    m.Refresh();
    m.EnterSelection();
    m.SelectAll(false);
    m.Toggle(int(m.Items().size()) - 1);
    m.Toggle(0);
    EXPECT_EQ(m.SelectedNames(), (QStringList{"jobs", "photo.png"}));
    ASSERT_TRUE(m.Remember(BrowserModel::Clip::Move));
    EXPECT_EQ(m.Paste(), 0);
    EXPECT_TRUE(fs::exists("files/t/photo.png"));
    EXPECT_FALSE(m.SelectionMode());
    EXPECT_FALSE(m.Remember(BrowserModel::Clip::Copy)); // nothing selected

    // Picker: files by extension, or folders only.
    const QStringList folders = {"jobs", "new_folder"},
                      withFiles = folders + QStringList{"Zeta.bak", "b.bak"};
    // What is picked, by which extensions, the highlight, the names listed, the choice.
    const std::tuple<BrowserModel::Pick, QStringList, int, QStringList, QString> picks[] = {
        {BrowserModel::Pick::File, {"BAK"}, -1, withFiles, ""},
        {BrowserModel::Pick::File, {"bak"}, 0, withFiles, ""},
        {BrowserModel::Pick::Folder, {}, -1, folders, "./files/t"},
    };
    for (const auto& [pick, ext, highlight, listed, chosen] : picks) {
        m.SetPick(pick, ext);
        m.Refresh();
        m.SetHighlight(highlight);
        EXPECT_EQ(names(m), listed);
        EXPECT_EQ(m.Chosen(), chosen);
    }
}

TEST_F(BrowserTest, DialogOverAUsbStick) {
    UnitBrowser* b = open();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(
        (QStringList{find<QLabel>("browserPath")->text(), find<QLabel>("browserStorage")->text()}),
        (QStringList{"internal storage", "6.5 GB / 8.0 GB   81 %"}));
    EXPECT_EQ(std::tuple(find<QProgressBar>("browserStorageBar")->value(),
                         find<QComboBox>("browserDrive")->count()),
              std::tuple(6656, 2));
    // A picture shows its preview; one over 4096 pixels is refused by name of its size.
    tapBrowserItem("photo.png");
    EXPECT_EQ(b->Model().Highlight(), row(b, "photo.png"));
    EXPECT_FALSE(find<QLabel>("browserPreview")->pixmap().isNull());
    shot("UnitBrowser");
    QImage(5000, 100, QImage::Format_RGB32).save("files/wide.png");
    b->Init();
    flush();
    tapBrowserItem("wide.png");
    EXPECT_EQ(msgText(), "The image is too large. (5000 x 100)\n\n Max resolution is 4096 x 4096.");
    EXPECT_EQ(b->Model().Highlight(), -1);
    EXPECT_TRUE(find<QLabel>("browserPreview")->pixmap().isNull());
    shot("UnitBrowser_ImageTooLarge");
    press("msgClose");
    fs::remove("files/wide.png");
    b->Init();
    flush();

    // Browse: a first tap highlights a folder, a second opens it; "Up" comes back.
    tapBrowserItem("jobs");
    tapBrowserItem("jobs");
    EXPECT_EQ(find<QLabel>("browserPath")->text(), "internal storage / jobs");
    press("browserUp");

    // New folder with a hostile name, the prompt's checks, rename.
    press("browserNewFolder");
    ASSERT_NE(b->Dialog(), nullptr);
    EXPECT_EQ(find<QLineEdit>("textKeypadField")->text(), "new_folder");
    const std::pair<QString, QString> refused[] = {
        {"x/y", "Can not use \"/\" in the name."},
        {"jobs", "Already exist."},
        {"..", "Already exist."},
        {".cfg", "Can not use \".\" at the start of the name."},
        {QString(256, 'n'), "The name is too long."}};
    for (const auto& [name, refusal] : refused) {
        enterName(name);
        EXPECT_EQ(msgText(), refusal);
        press("msgClose");
    }
    enterName("$(touch x) \"q\"");
    EXPECT_TRUE(fs::is_directory("files/$(touch x) \"q\""));
    tapBrowserItem("b.bak");
    press("browserRename");
    EXPECT_EQ(find<QLineEdit>("textKeypadField")->text(), "b.bak");
    enterName("c`id`.bak");
    EXPECT_EQ(TestEnv::readFile("files/c`id`.bak"), "bb");

    // Hold to select, copy to the stick, paste there.
    holdItem(b, "c`id`.bak");
    tapBrowserItem("jobs");
    EXPECT_EQ(b->Model().SelectedNames(), (QStringList{"jobs", "c`id`.bak"}));
    shot("UnitBrowser_Selection");
    press("browserCopy");
    find<QComboBox>("browserDrive")->setCurrentIndex(1);
    flush();
    EXPECT_EQ(find<QLabel>("browserPath")->text(), "USB storage");
    EXPECT_EQ(find<QLabel>("browserStorage")->text(), "3.0 GB / 4.0 GB   75 %");
    press("browserPaste");
    EXPECT_EQ(TestEnv::readFile(sys + "/media/sda1/jobs/a.job"), "job");
    EXPECT_EQ(TestEnv::readFile(sys + "/media/sda1/c`id`.bak"), "bb");
    EXPECT_EQ(b->Dialog(), nullptr);

    // Delete on the stick: select all, confirm.
    press("browserSelect");
    press("browserSelectAll");
    EXPECT_EQ(find("browserSelectAll")->text(), "Deselect All");
    press("browserDelete");
    EXPECT_EQ(msgText(), "Delete ?");
    press("msgConfirm");
    EXPECT_TRUE(fs::is_empty(sys + "/media/sda1"));
    EXPECT_FALSE(fs::exists(env->root() + "/home/x"));

    // The stick is pulled while shown.
    pullStick("sda1");
    EXPECT_EQ(find<QLabel>("browserPath")->text(), "internal storage");
    EXPECT_EQ(find<QComboBox>("browserDrive")->count(), 1);

    // OK hands back the highlighted item.
    QString chosen;
    QObject::connect(b, &UnitBrowser::chosen, [&](const QString& p) { chosen = p; });
    tapBrowserItem("Zeta.bak");
    press("browserOk");
    EXPECT_EQ(chosen, "./files/Zeta.bak");
    EXPECT_EQ(Screens::Find(ScreenId::Browser), nullptr);
}

TEST_F(BrowserTest, StorageTabShowsInternalStorageAndTheCardWhenPresent) {
    makeRoot();
    PageSystemStorage& page = *new PageSystemStorage(root); // the root's look, owned by it
    page.resize(1280, 700);
    page.show();
    page.Refresh();
    auto text = [&](const char* name) { return page.findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(
        (QStringList{text("storageInternalTotal"), text("storageInternalFree"),
                     text("storageInternalUsed"), text("storageInternalPercent")}),
        (QStringList{"8.0 GB ( 8192 MB )", "1.5 GB ( 1536 MB )", "6.5 GB ( 6656 MB )", "81 %"}));
    EXPECT_EQ(page.findChild<QProgressBar*>("storageInternalGauge")->maximum(), 8192);
    EXPECT_FALSE(page.findChild<QWidget*>("storageSdBlock")->isVisible());
    EXPECT_EQ(text("storageSdPercent"), "0 %");
    plugStick("mmcblk1p1");
    storageFigures()["/media/mmcblk1p1"] = {1ull << 30, 1ull << 28};
    dev->TriggerDrvUpdateNotifier();
    flush();
    EXPECT_TRUE(page.findChild<QWidget*>("storageSdBlock")->isVisible());
    EXPECT_EQ(text("storageSdPercent"), "75 %");
    EXPECT_EQ(page.findChild<QProgressBar*>("storageSdGauge")->value(), 768);
    shot("PageSystemStorage", &page);
}
} // namespace
