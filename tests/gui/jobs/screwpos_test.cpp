// The screw position editor over a job with one fastening step in the test's data home:
// pictures written by the test, the view touched at picture points, buttons pressed by
// name, then the step as the device object reads it and the saved job file.
#include "StepEditorFixture.h"
#include "UnitBrowser.h"
#include "UnitStepFastenData.h"
#include "job.h"
#include "page/jobs/PageScrewPosition.h"
#include "page/jobs/UnitPosTunner.h"
#include "page/operation/PageOperationImageView.h"

#include <cstring>

namespace {
// Job 0 of one fastening step, loaded.
class ScrewPosTest : public StepEditorTest {
  protected:
    void SetUp() override {
        StepEditorTest::SetUp();
        writeJob({STEP_FASTENING});
        ASSERT_EQ(dev->JobLoad(0), 0);
        picture("part.png", {640, 400}, "PNG");
    }
    static void picture(const QString& name, QSize size, const char* format) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(QColor(90, 110, 130));
        ASSERT_TRUE(img.save("files/image/" + name, format));
    }
    PageScrewPosition* open() {
        auto* p = qobject_cast<PageScrewPosition*>(Screens::Open(ScreenId::ScrewPosition, root));
        EXPECT_NE(p, nullptr);
        if (!p) return nullptr;
        EXPECT_TRUE(QMetaObject::invokeMethod(p, "Edit", Q_ARG(int, 0)));
        flush();
        page = p;
        return p;
    }
    const ScrewLayout& layout() { return page->Tunner()->Layout(); }
    // The view point over the middle of picture pixel p.
    QPoint viewOf(QPoint p) { return layout().ToView(QPointF(p) + QPointF(0.5, 0.5)).toPoint(); }
    void touch(QPoint p) {
        QTest::mouseClick(page->Tunner(), Qt::LeftButton, {}, viewOf(p));
        flush();
    }
    void drag(QPoint from, QPoint to) {
        UnitPosTunner* t = page->Tunner();
        QTest::mousePress(t, Qt::LeftButton, {}, viewOf(from));
        QTest::mouseMove(t, (viewOf(from) + viewOf(to)) / 2);
        QTest::mouseMove(t, viewOf(to));
        QTest::mouseRelease(t, Qt::LeftButton, {}, viewOf(to));
        flush();
    }
    void pick(const QString& name) {
        press("posPicture");
        ASSERT_NE(qobject_cast<UnitBrowser*>(page->Dialog()), nullptr);
        tapBrowserItem(name);
        shot("PageScrewPosition_Browser");
        press("browserOk");
    }
    std::vector<QPoint> points() {
        std::vector<QPoint> v;
        for (const ScrewLayout::Circle& c : layout().Circles())
            v.emplace_back(c.X, c.Y);
        return v;
    }
    PageScrewPosition* page = nullptr;
};
} // namespace

TEST_F(ScrewPosTest, PlaceMoveDeleteAndSave) {
    ASSERT_NE(open(), nullptr);
    pick("part.png");
    ASSERT_TRUE(page->Tunner()->HasPicture());
    EXPECT_EQ(page->PicturePath(), "./files/image/part.png");

    struct Act {
        const char* what; // "touch", "drag" or a button
        QPoint at, to;
        std::vector<QPoint> circles;
        int current;
        int slack = 0; // a drag lands within a pixel of its target
    };
    const Act acts[] = {
        {"touch", {100, 100}, {}, {{100, 100}}, 0}, // an empty step starts appending
        {"posDelete", {}, {}, {}, -1},              // the only one
        {"posDelete", {}, {}, {}, -1},              // none left: nothing
        {"posSave", {}, {}, {}, -1},                // refused without a screw
        {"posInsert", {}, {}, {}, -1},
        {"touch", {100, 100}, {}, {{100, 100}}, 0}, // an insert into none appends
        {"posAppend", {}, {}, {{100, 100}}, 0},
        {"touch", {200, 100}, {}, {{100, 100}, {200, 100}}, 1},
        {"touch", {300, 100}, {}, {{100, 100}, {200, 100}, {300, 100}}, 2},
        {"posRight", {}, {}, {{100, 100}, {200, 100}, {301, 100}}, 2},
        {"posUp", {}, {}, {{100, 100}, {200, 100}, {301, 99}}, 2},
        {"posLeft", {}, {}, {{100, 100}, {200, 100}, {300, 99}}, 2},
        {"posDown", {}, {}, {{100, 100}, {200, 100}, {300, 100}}, 2},
        {"posAppend", {}, {}, {{100, 100}, {200, 100}, {300, 100}}, 2}, // touches now pick
        {"touch", {100, 100}, {}, {{100, 100}, {200, 100}, {300, 100}}, 0},
        {"touch", {400, 300}, {}, {{100, 100}, {200, 100}, {300, 100}}, 0}, // nothing there
        {"posInsert", {}, {}, {{100, 100}, {200, 100}, {300, 100}}, 0},
        {"touch", {50, 60}, {}, {{50, 60}, {100, 100}, {200, 100}, {300, 100}}, 0},
        {"touch", {300, 100}, {}, {{50, 60}, {100, 100}, {200, 100}, {300, 100}}, 3},
        {"posDelete", {}, {}, {{50, 60}, {100, 100}, {200, 100}}, 2}, // the last: one before
        {"touch", {50, 60}, {}, {{50, 60}, {100, 100}, {200, 100}}, 0},
        {"posDelete", {}, {}, {{100, 100}, {200, 100}}, 0}, // the next moved into its place
        {"drag", {200, 100}, {250, 150}, {{100, 100}, {250, 150}}, 1, 1},
        {"drag", {250, 150}, {700, -40}, {{100, 100}, {639, 0}}, 1}, // kept on the picture
        {"posRight", {}, {}, {{100, 100}, {639, 0}}, 1},             // at the edges a step stays
        {"posUp", {}, {}, {{100, 100}, {639, 0}}, 1},
        {"drag", {639, 0}, {-40, 500}, {{100, 100}, {0, 399}}, 1},
        {"posLeft", {}, {}, {{100, 100}, {0, 399}}, 1},
        {"posDown", {}, {}, {{100, 100}, {0, 399}}, 1},
        {"drag", {0, 399}, {250, 150}, {{100, 100}, {250, 150}}, 1, 1},
    };
    for (const Act& a : acts) {
        SCOPED_TRACE(std::string(a.what) + " " + std::to_string(a.at.x()));
        if (!strcmp(a.what, "touch"))
            touch(a.at);
        else if (!strcmp(a.what, "drag"))
            drag(a.at, a.to);
        else
            press(a.what);
        if (!strcmp(a.what, "posSave")) {
            ASSERT_EQ(Screens::Find(ScreenId::ScrewPosition), page);
            EXPECT_EQ(msgText(), PageScrewPosition::NoScrewText);
            press("msgClose");
        }
        const std::vector<QPoint> got = points();
        ASSERT_EQ(got.size(), a.circles.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_LE(std::abs(got[i].x() - a.circles[i].x()), a.slack) << i;
            EXPECT_LE(std::abs(got[i].y() - a.circles[i].y()), a.slack) << i;
        }
        EXPECT_EQ(
            std::tuple(layout().Current(), dev->GetFastenData(0)->NoScrews, text("posCount")),
            std::tuple(a.current, int(a.circles.size()), QString("%1 / 99").arg(a.circles.size())));
    }
    const QPoint dragged = points()[1];

    // The current circle blinks: its outline toggles at every 500 ms expiry.
    Timer* blink = page->Tunner()->BlinkTimer();
    EXPECT_EQ(std::tuple(blink->Enabled(), blink->Period()), std::tuple(true, 500));
    const bool before = page->Tunner()->OutlineOn();
    emit blink->trigger();
    EXPECT_NE(page->Tunner()->OutlineOn(), before);
    emit blink->trigger();
    EXPECT_EQ(page->Tunner()->OutlineOn(), before);

    // Size, line and colours of the current circle (the second).
    const int radius = layout().At(1).Radius, width = layout().At(1).Width;
    run("posRadiusUp posRadiusUp posWidthDown posOk posRed key_Clear ~12 numpadOk posNg posBlue "
        "key_Clear ~200 numpadOk posGreen key_Clear ~300 numpadOk");
    EXPECT_EQ(msgText(), "Enter a number from 0 to 255.");
    run("%PageScrewPosition_Numpad msgClose numpadCancel");
    EXPECT_EQ(page->Dialog(), nullptr);
    // The controls take the settings of the circle picked, and change that one.
    touch({100, 100});
    EXPECT_EQ(text("posRadiusValue"), QString::number(radius));
    run("posRadiusUp %PageScrewPosition");

    press("posSave");
    EXPECT_EQ(Screens::Find(ScreenId::ScrewPosition), nullptr);
    const UnitStepFastenData* f = dev->GetFastenData(0);
    EXPECT_EQ(std::tuple(f->ImgFlag, f->ImgFilename, f->NoScrews),
              std::tuple(1, QString("./files/image/part.png"), 2));
    const UnitScrewPosData &a = *f->ScrewPos[0], &b = *f->ScrewPos[1];
    EXPECT_EQ(std::tuple(a.Enabled, QPoint(a.X, a.Y), a.Radius),
              std::tuple(true, QPoint(100, 100), radius + 1));
    EXPECT_EQ(std::tuple(QPoint(b.X, b.Y), b.Radius, b.Width, b.OkColor.red(), b.NgColor.blue()),
              std::tuple(dragged, radius + 2, width - 1, 12, 200));
    EXPECT_FALSE(f->ScrewPos[2]->Enabled);

    ASSERT_EQ(dev->JobSave(0), 0);
    const std::string file = TestEnv::readFile(kFile);
    ASSERT_EQ(file.size(), size_t(JOB_HEADER_SIZE + STEP_RECORD_SIZE));
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const size_t step = JOB_HEADER_SIZE, pos = step + SF_POS;
    EXPECT_EQ(std::tuple(job_get_u32(bytes + step + SF_SCREWS),
                         job_get_u32(bytes + step + SF_IMG_FLAG),
                         std::string(file.data() + step + SF_IMG)),
              std::tuple(2u, 1u, "./files/image/part.png"));
    const uint32_t want[3][4] = {
        {1, 100, 100, uint32_t(radius + 1)},
        {1, uint32_t(dragged.x()), uint32_t(dragged.y()), uint32_t(radius + 2)},
        {0, 0, 0, 0}};
    for (size_t k = 0; k < 3; ++k)
        for (size_t w = 0; w < 4; ++w)
            EXPECT_EQ(job_get_u32(bytes + pos + k * SCREW_POSITION_SIZE + w * 4), want[k][w])
                << k << w;
    EXPECT_EQ(uint8_t(file[pos + SCREW_POSITION_SIZE + 23]), 12) << "OK red";
}

TEST_F(ScrewPosTest, NinetyNineAtMostAndCancelKeepsTheStep) {
    UnitStepFastenData* f = dev->GetFastenData(0);
    for (int k = 0; k < 99; ++k) {
        UnitScrewPosData& p = *f->ScrewPos[k];
        std::tie(p.Enabled, p.X, p.Y, p.Radius, p.Width) = std::tuple(true, 5 * k, 300, 10, 2);
    }
    ASSERT_EQ(dev->SaveScrewPos(0, f), 0);
    ASSERT_EQ(dev->SetFastenNoScrews(0, 99), 0);
    ASSERT_EQ(dev->SetFastenImgFilename(0, "./files/image/part.png"), 0);
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(page->Tunner()->HasPicture());
    EXPECT_EQ(text("posCount"), "99 / 99");

    for (const char* a : {"posAppend", "touch", "posInsert", "touch"}) {
        if (!strcmp(a, "touch"))
            touch({600, 50});
        else
            press(a);
        EXPECT_EQ(std::tuple(layout().Count(), dev->GetFastenData(0)->NoScrews), std::tuple(99, 99))
            << a;
    }
    EXPECT_EQ(points()[98], QPoint(490, 300));
    touch({490, 300});
    press("posDelete");
    EXPECT_EQ(std::tuple(layout().Count(), layout().Current(), dev->GetFastenData(0)->NoScrews),
              std::tuple(98, 97, 98));
    run("posRight posInsert"); // below the limit again
    touch({600, 50});
    EXPECT_EQ(layout().Count(), 99);

    // Cancel leaves the positions and puts the count back with them.
    press("posCancel");
    EXPECT_EQ(Screens::Find(ScreenId::ScrewPosition), nullptr);
    f = dev->GetFastenData(0);
    EXPECT_EQ(std::tuple(f->NoScrews, f->ScrewPos[98]->Enabled, f->ScrewPos[97]->X),
              std::tuple(99, true, 5 * 97));

    // Saving fewer circles disables the positions after them.
    ASSERT_NE(open(), nullptr);
    touch({0, 300});
    run("posDelete posSave");
    f = dev->GetFastenData(0);
    // The disabled one keeps its place on the picture.
    EXPECT_EQ(std::tuple(f->NoScrews, f->ScrewPos[0]->X, f->ScrewPos[97]->X,
                         f->ScrewPos[98]->Enabled, f->ScrewPos[98]->X),
              std::tuple(98, 5, 5 * 98, false, 5 * 98));
}

TEST_F(ScrewPosTest, ScaledPhotographKeepsItsCoordinatesARefusedPictureKeepsTheOneInUse) {
    // Twice the screen: the loader decodes it at half size, the space the job screen
    // draws in, so a touch in the middle is stored as the middle of 1280 x 800.
    picture("photo.jpg", {2560, 1600}, "JPEG");
    ASSERT_NE(open(), nullptr);
    pick("photo.jpg");
    EXPECT_EQ(layout().Picture(), QSize(1280, 800));
    const QRectF shown = layout().Shown();
    QTest::mouseClick(page->Tunner(), Qt::LeftButton, {}, shown.center().toPoint());
    flush();
    const QSize viewSize = page->Tunner()->size(); // the screen goes with the save
    press("posSave");
    const UnitScrewPosData* p = dev->GetFastenData(0)->ScrewPos[0];
    EXPECT_TRUE(p->Enabled && std::abs(p->X - 640) <= 2 && std::abs(p->Y - 400) <= 2)
        << p->X << "," << p->Y;

    // The job screen's view, at the editor's size, draws the circle where it was placed
    // and leaves the picture's corner alone.
    PageOperationImageView view;
    view.resize(viewSize);
    ASSERT_TRUE(view.Load("./files/image/photo.jpg"));
    view.SetPositions(dev->GetFastenData(0), 1);
    const QImage drawn = view.grab().toImage();
    const QColor plain(90, 110, 130);
    const QPoint corner = shown.topLeft().toPoint() + QPoint(3, 3);
    EXPECT_LE(std::abs(QColor(drawn.pixel(corner)).red() - plain.red()), 3);
    EXPECT_GT(std::abs(QColor(drawn.pixel(shown.center().toPoint())).red() - plain.red()), 40);

    // A picture that cannot be used leaves the one in use.
    TestEnv::writeFile("files/image/broken.jpg", std::string("\xFF\xD8\xFF\xE0 not a picture"));
    // "./files/image/" and the name: 255 bytes fit the step, 256 do not.
    const QString fits = QString(237, 'f') + ".png", tooLong = QString(238, 'n') + ".png";
    picture(fits, {64, 40}, "PNG");
    picture(tooLong, {64, 40}, "PNG");
    ASSERT_NE(open(), nullptr);
    pick("part.png");
    struct Case {
        QString file, message, path;
    };
    const Case cases[] = {
        {"broken.jpg", "Can not load the image.", "./files/image/part.png"},
        {tooLong, "The file name is too long or has characters that can not be stored.",
         "./files/image/part.png"},
        {fits, "", "./files/image/" + fits},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        pick(c.file);
        EXPECT_EQ(msgText(), c.message);
        if (c.file == "broken.jpg") shot("PageScrewPosition_Error");
        if (!c.message.isEmpty()) press("msgClose");
        EXPECT_EQ(page->PicturePath(), c.path);
        EXPECT_TRUE(page->Tunner()->HasPicture());
    }
    touch({10, 10});
    press("posSave");
    const QString stored = dev->GetFastenData(0)->ImgFilename;
    EXPECT_EQ(stored, "./files/image/" + fits);
    PageOperationImageView again;
    EXPECT_TRUE(again.Load(stored)) << "the job screen finds it";
}
