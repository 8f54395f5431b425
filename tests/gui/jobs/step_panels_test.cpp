// Each step panel pressed on the real editor: the fields reach the loaded job, survive
// the save into the file and show again when the job is opened anew.
#include "StepEditorFixture.h"
#include "UnitBrowser.h"
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"

#include <QImage>
#include <functional>
#include <memory>

namespace {
using Dev = ApplicationDeviceClass*;

// Owns what the device object hands out to be freed by the caller.
const auto own = [](auto* p) { return std::unique_ptr<std::remove_pointer_t<decltype(p)>>(p); };

constexpr int F = STEP_FASTENING, I = STEP_INPUT, O = STEP_OUTPUT, D = STEP_DELAY, M = STEP_MESSAGE;

// "./files/image/" and this name make 256 bytes: one more than the step keeps.
const std::string kLongName = std::string(238, 'n') + ".png";
const std::string kLongPick = "msgImage @" + kLongName + " browserOk msgClose";

struct PanelCase {
    const char* what;
    int type;
    const char* steps;
    const char* widget;             // shown again after reopening
    const char* shows;              // its text, or "checked"
    std::function<void(Dev)> check; // step 0 of the loaded job
};

const PanelCase kPanels[] = {
    {"tool chosen from the registered tools", F, "fastenTool selectTool1", "fastenTool", "right",
     [](Dev d) { EXPECT_EQ(d->GetFastenData(0)->ToolName, "right"); }},
    {"preset below the first wraps to the last", F, "fastenPresetDown", "fastenPreset",
     "Multi Sequence-B", [](Dev d) { EXPECT_EQ(d->GetFastenData(0)->PresetNo, 16); }},
    {"preset up", F, "fastenPresetUp fastenPresetUp", "fastenPreset", "P3",
     [](Dev d) { EXPECT_EQ(d->GetFastenData(0)->PresetNo, 2); }},
    {"screw count, out of range refused", F,
     "fastenScrews =0 numpadOk =100 numpadOk =12 numpadOk %step_editor_fastening_screws",
     "fastenScrews", "12",
     [](Dev d) {
         EXPECT_EQ(std::tuple(d->GetFastenData(0)->NoScrews, d->GetTotalScrewOfLoadedJob()),
                   std::tuple(12, 12));
     }},
    {"inputs and condition", I, "inUse1 inUse16 inCond3 %step_editor_input", "inCond3", "checked",
     [](Dev d) {
         const UnitStepInputData* in = d->GetInputStepData(0);
         EXPECT_EQ(std::tuple(in->Used[0], in->Used[1], in->Used[15], in->Condition),
                   std::tuple(1, 0, 1, 3));
     }},
    {"outputs, mode and width", O,
     "outUse2 outMode2 outUse9 outWidth =250 numpadOk %step_editor_output", "outMode2", "High",
     [](Dev d) {
         const UnitStepOutputData* out = d->GetOutputStepData(0);
         EXPECT_EQ(
             std::tuple(out->Used[1], out->Mode[1], out->Used[8], out->Mode[8], out->ImpulseWidth),
             std::tuple(1, 1, 1, 0, 250));
     }},
    {"width that is no number is 100", O, "outWidth =40 numpadOk outWidth = numpadOk", "outWidth",
     "100", [](Dev d) { EXPECT_EQ(d->GetOutputStepData(0)->ImpulseWidth, 100); }},
    {"delay time in ms", D, "delayTime =45 numpadOk delayUnitMs %step_editor_delay_time",
     "delayUnitMs", "checked",
     [](Dev d) {
         const auto dl = own(d->GetDelayData(0));
         EXPECT_EQ(std::tuple(dl->Mode, dl->TimeValue, dl->TimeUnit), std::tuple(0, 45, 1));
     }},
    {"delay message", D,
     "delayModeMessage delayLine1 =Check+the+cover textKeypadOk delayLine3 =then+OK textKeypadOk "
     "%step_editor_delay_message",
     "delayLine1", "Check the cover",
     [](Dev d) {
         const auto dl = own(d->GetDelayData(0));
         EXPECT_EQ(std::tuple(dl->Mode, dl->Line1, dl->Line2, dl->Line3),
                   std::tuple(1, "Check the cover", "", "then OK"));
     }},
    {"delay barcode with a compared part", D,
     "delayModeBarcode delayCodeEdit =AB12345 textKeypadOk delayCodeChar2 delayCodeChar4 "
     "%step_editor_delay_barcode",
     "delayCodeRange", "2 / 4",
     [](Dev d) {
         const auto dl = own(d->GetDelayData(0));
         EXPECT_EQ(std::tuple(dl->Mode, dl->Barcode, dl->Partial, dl->RangeStart, dl->RangeEnd),
                   std::tuple(2, "AB12345", 1, 2, 4));
     }},
    {"delay barcode, the switch without a part compares all", D,
     "delayModeBarcode delayCodeEdit =AB123 textKeypadOk delayCodePartial", "delayCodeRange", "-",
     [](Dev d) {
         const auto dl = own(d->GetDelayData(0));
         EXPECT_EQ(std::tuple(dl->Barcode, dl->Partial, dl->RangeStart), std::tuple("AB123", 0, 0));
     }},
    {"delay barcode, an empty code is refused", D,
     "delayModeBarcode delayCodeEdit =AB1 textKeypadOk delayCodeEdit = textKeypadOk "
     "textKeypadCancel",
     "delayCodeCode", "AB1", [](Dev d) { EXPECT_EQ(own(d->GetDelayData(0))->Barcode, "AB1"); }},
    {"message lines", M, "msgLine2 =Hello textKeypadOk msgLine3 =world textKeypadOk", "msgLine2",
     "Hello",
     [](Dev d) {
         const auto m = own(d->GetMsgData(0));
         EXPECT_EQ(std::tuple(m->Line1, m->Line2, m->Line3), std::tuple("", "Hello", "world"));
     }},
    {"message picture from internal storage", M,
     "msgImage @part.png browserOk %step_editor_message", "msgImage", "./files/image/part.png",
     [](Dev d) { EXPECT_EQ(own(d->GetMsgData(0))->ImgFilename, "./files/image/part.png"); }},
    {"message picture path too long for the step", M, kLongPick.c_str(), "msgImage", "-",
     [](Dev d) { EXPECT_EQ(own(d->GetMsgData(0))->ImgFilename, ""); }},
};
} // namespace

class StepPanelsTest : public StepEditorTest {
  protected:
    void SetUp() override {
        StepEditorTest::SetUp();
        registerTools({{"left", 2, 3}, {"right", 3, 3}});
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        ASSERT_TRUE(picture.save("files/image/part.png"));
        ASSERT_TRUE(picture.save(QString::fromStdString("files/image/" + kLongName), "PNG"));
    }
    void expectShows(const char* widget, const char* shows) {
        auto* w = find<QWidget>(widget);
        ASSERT_NE(w, nullptr) << widget;
        // Buttons, fields and labels all have the text property; only buttons are checked.
        if (std::string(shows) == "checked")
            EXPECT_TRUE(w->property("checked").toBool()) << widget;
        else
            EXPECT_EQ(w->property("text").toString(), shows) << widget;
    }
};

TEST_F(StepPanelsTest, FieldsSurviveSaveAndReload) {
    for (const PanelCase& c : kPanels) {
        SCOPED_TRACE(c.what);
        writeJob({c.type});
        open();
        for (const std::string& s : words(c.steps)) {
            if (s[0] == '@') {
                ASSERT_NE(qobject_cast<UnitBrowser*>(editor->VisiblePanel()->Dialog()), nullptr);
                shot("step_editor_message_browser");
            }
            run(s.c_str());
        }
        EXPECT_EQ(editor->VisiblePanel()->Dialog(), nullptr);
        run("stepSave confirmOk");
        ASSERT_EQ(Screens::Find(ScreenId::StepEditor), nullptr);
        savedNames();
        c.check(dev);
        dev->JobFree();
        open();
        expectShows(c.widget, c.shows);
        Screens::Close(ScreenId::StepEditor);
        flush();
        ASSERT_EQ(dev->JobDelete(0), 0);
        dev->JobFree();
    }
}

// Switching steps, moving them up and down and adding one save the visible panel first.
TEST_F(StepPanelsTest, SwitchingAndMovingSaveThePanel) {
    writeJob({I, O, D});
    open();
    run("inUse5 #1");
    EXPECT_EQ(dev->GetInputStepData(0)->Used[4], 1);
    run("outUse7 stepUp");
    EXPECT_EQ(dev->GetOutputStepData(0)->Used[6], 1);
    run("outUse8 stepDown");
    EXPECT_EQ(dev->GetOutputStepData(1)->Used[7], 1);
    run("#2 delayTime =9 numpadOk stepAddMessage");
    EXPECT_EQ(own(dev->GetDelayData(2))->TimeValue, 9);
    // A rename shows the step again: what was typed is saved first, not dropped.
    run("#2 delayTime =7 numpadOk stepRename =wait textKeypadOk");
    EXPECT_EQ(find<QPushButton>("delayTime")->text(), "7");
    EXPECT_EQ(own(dev->GetDelayData(2))->TimeValue, 7);
}

// Values the panels cannot show (written by another editor) stay as stored when the step
// is only looked at.
TEST_F(StepPanelsTest, ValuesThePanelsDoNotOfferAreKeptWhenOnlyLookedAt) {
    writeJob({I, O, D});
    open();
    UnitStepOutputData out;
    std::tie(out.Used[0], out.Mode[0], out.ImpulseWidth) = std::tuple(1, 3, 70000);
    dev->SetOutputStepData(1, &out);
    std::unique_ptr<UnitStepDelayData> dl(dev->GetDelayData(2));
    std::tie(dl->TimeValue, dl->TimeUnit) = std::tuple(90000000, 3);
    dev->SetDelayData(2, dl.get());
    run("#1 #2"); // the output panel shown and left
    EXPECT_EQ(
        std::tuple(dev->GetOutputStepData(1)->ImpulseWidth, dev->GetOutputStepData(1)->Mode[0]),
        std::tuple(70000, 3));
    UnitStepInputData in;
    in.Condition = 7;
    dev->SetInputStepData(0, &in);
    touchRow(0);
    dl.reset(dev->GetDelayData(2));
    EXPECT_EQ(std::tuple(dl->TimeValue, dl->TimeUnit), std::tuple(90000000, 3));
    touchRow(1);
    EXPECT_EQ(dev->GetInputStepData(0)->Condition, 7);
    StepDelay raw;
    raw.mode = 5;
    step_put_delay(job_step(2), raw);
    run("#2 #1");
    EXPECT_EQ(own(dev->GetDelayData(2))->Mode, 5);
    UnitStepDelayData part;
    std::tie(part.Mode, part.Barcode, part.Partial, part.RangeStart, part.RangeEnd) =
        std::tuple(2, "AB12", 2, 1, 2);
    dev->SetDelayData(2, &part);
    run("#2 #1");
    EXPECT_EQ(own(dev->GetDelayData(2))->Partial, 2);
}

TEST_F(StepPanelsTest, FasteningPictureToolChoiceAndPositions) {
    writeJob({F});
    ASSERT_EQ(dev->JobLoad(0), 0);
    ASSERT_EQ(dev->SetFastenImgFilename(0, "./files/image/part.png"), 0);
    ASSERT_EQ(dev->JobSave(0), 0);
    dev->JobFree();
    open();
    auto* picture = find<QLabel>("fastenPicture");
    EXPECT_FALSE(picture->pixmap().isNull());
    // Decoded once: a field change shows the picture without reading the file again.
    std::filesystem::remove("files/image/part.png");
    press("fastenPresetUp");
    EXPECT_FALSE(picture->pixmap().isNull());
    press("fastenTool");
    EXPECT_NE(find<QWidget>("UnitSelectFastenTool"), nullptr);
    shot("step_editor_select_tool");
    press("selectToolCancel");
    EXPECT_EQ(dev->GetFastenData(0)->ToolName, "");

    // Opened over the editor (a stand-in here); its changes show when it closes.
    standIn({ScreenId::ScrewPosition});
    press("fastenPositions");
    EXPECT_EQ(created[ScreenId::ScrewPosition], 1);
    ASSERT_NE(Screens::Find(ScreenId::ScrewPosition), nullptr);
    ASSERT_EQ(dev->SetFastenNoScrews(0, 7), 0);
    Screens::Close(ScreenId::ScrewPosition);
    flush();
    EXPECT_EQ(find<QPushButton>("fastenScrews")->text(), "7");
}
