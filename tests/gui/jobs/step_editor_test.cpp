// The step editor pressed on the real screen over a job file in the data home: the list
// and the selection after each button, the file after save, cancel, the step limit.
#include "StepEditorFixture.h"
#include "UnitMessageBox.h"
#include "UnitStepDelayData.h"
#include "page/jobs/StepEditor.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int F = STEP_FASTENING, I = STEP_INPUT, O = STEP_OUTPUT, D = STEP_DELAY, M = STEP_MESSAGE;
using Names = std::vector<std::string>;

const char* const kTypes = "FIODMU"; // by STEP_* value; U a type no panel knows

struct EditorCase {
    const char* what;
    const char* types; // the job on file, a letter a step: F I O D M U
    const char* steps; // "#n" selects row n, "=text" fills the keypad, else a press
    const char* names; // the loaded job afterwards, and the file after save
    int selected;      // row and panel afterwards (-1 none)
};

const EditorCase kCases[] = {
    {"opening shows the first step", "IO", "", "input-1 output-1", 0},
    {"empty job shows no panel", "", "", "", -1},
    {"without a step nothing asks", "", "stepCopy stepDelete stepRename stepUp stepDown", "", -1},
    {"add fastening", "", "stepAddFasten", "fastening-1", 0},
    {"each add selects it", "F", "stepAddInput stepAddOutput stepAddDelay stepAddMessage",
     "fastening-1 input-1 output-1 delay-1 message-1", 4},
    {"copy", "FIO", "#0 stepCopy", "fastening-1 input-1 output-1 fastening-1-copy", 3},
    {"delete: the next moves in", "FIO", "#1 stepDelete confirmOk", "fastening-1 output-1", 1},
    {"delete the last", "FIO", "#2 stepDelete confirmOk", "fastening-1 input-1", 1},
    {"delete the only step", "F", "stepDelete confirmOk", "", -1},
    {"delete refused", "FI", "#1 stepDelete confirmCancel #1", "fastening-1 input-1", 1},
    {"up follows the step", "FIO", "#2 stepUp", "fastening-1 output-1 input-1", 1},
    {"down follows the step", "FIO", "#0 stepDown stepDown", "input-1 output-1 fastening-1", 2},
    {"up at the top, down at the end", "FI", "#0 stepUp #1 stepDown", "fastening-1 input-1", 1},
    {"rename", "FI", "#1 stepRename =gate textKeypadOk", "fastening-1 gate", 1},
    {"empty name", "FI", "#1 stepRename = textKeypadOk textKeypadCancel", "fastening-1 input-1", 1},
    {"unknown type shown and kept", "UF", "#1 #0 stepDown", "fastening-1 input-1", 1},
};

// The panel of each step type, by STEP_* value.
const char* const kPanel[] = {"PageStepFastening", "PageStepInput", "PageStepOutput",
                              "PageStepDelay", "PageStepMessage"};
} // namespace

TEST_F(StepEditorTest, ButtonsChangeTheLoadedJobAndSaveWritesIt) {
    for (const EditorCase& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<int> types;
        for (const char* t = c.types; *t; ++t)
            types.push_back(int(strchr(kTypes, *t) - kTypes));
        std::vector<int> made = types;
        std::replace(made.begin(), made.end(), int(STEP_TYPE_COUNT), I);
        writeJob(made);
        // An unknown type comes from a file this editor did not write.
        std::string file = TestEnv::readFile(kFile);
        for (size_t i = 0; i < types.size(); ++i)
            if (types[i] == STEP_TYPE_COUNT) file[JOB_HEADER_SIZE + STEP_RECORD_SIZE * i] = 9;
        TestEnv::writeFile(kFile, file);
        open();
        run(c.steps);
        const Names names = words(c.names);
        EXPECT_EQ(stepNames(), names);
        EXPECT_EQ(std::tuple(editor->Editor().Selected(), selectedRow()),
                  std::tuple(c.selected, c.selected));
        // The selected step's panel; none for no step or one of a type no panel knows.
        StepPanel* panel = editor->VisiblePanel();
        const int unknown = int(std::count(types.begin(), types.end(), STEP_TYPE_COUNT));
        const int type = c.selected >= 0 ? dev->GetStepType(c.selected) : -1;
        const bool known = type >= 0 && type < 5;
        EXPECT_EQ(std::pair(panel ? panel->objectName() : "", panel ? panel->Sdx() : -1),
                  std::pair(QString(known ? kPanel[type] : ""), known ? c.selected : -1));
        EXPECT_EQ(editor->Model()->index(c.selected, 2).data().toString() == "Unknown", type == 9);
        EXPECT_EQ(editor->Dialog(), nullptr);
        // Nothing reaches the file before save.
        EXPECT_EQ(TestEnv::readFile(kFile).size(), 172 + 4096 * types.size());

        run("stepSave confirmOk");
        EXPECT_EQ(std::tuple(Screens::Find(ScreenId::StepEditor), TestEnv::readFile(kFile).size()),
                  std::tuple(nullptr, 172 + 4096 * names.size()));
        EXPECT_EQ(savedNames(), names);
        int kept = 0;
        for (int sdx = 0; sdx < dev->GetStepsLen(); ++sdx)
            kept += dev->GetStepType(sdx) == 9;
        EXPECT_EQ(std::tuple(kept, dev->GetJobStepCountJdx(0)),
                  std::tuple(unknown, int(names.size())));

        ASSERT_EQ(dev->JobDelete(0), 0);
        dev->JobFree();
    }
}

TEST_F(StepEditorTest, CancelDropsEveryEditAndLeavesTheFile) {
    writeJob({F, I, O, D, M});
    dev->JobLoad(0);
    dev->SetFastenNoScrews(0, 4);
    dev->JobSave(0);
    dev->JobFree();
    const std::string before = TestEnv::readFile(kFile);
    open();
    run("%step_editor_fastening fastenPresetUp stepAddMessage #1 inUse3 #0 stepRename =other "
        "textKeypadOk stepDown");
    ASSERT_EQ(dev->GetStepName(1), "other");
    press("stepCancel");
    EXPECT_EQ(find<QLabel>("msgText")->text(), "Cancel?");
    run("%step_editor_cancel confirmOk");
    // No job loaded any more; the file as it was.
    EXPECT_EQ(std::tuple(Screens::Find(ScreenId::StepEditor), dev->GetStepsLen(),
                         TestEnv::readFile(kFile), dev->GetJobStepCountJdx(0)),
              std::tuple(nullptr, 0, before, 5));
}

TEST_F(StepEditorTest, StepLimitRefusesAddAndCopy) {
    writeJob(std::vector<int>(StepEditor::kMaxSteps, I));
    open();
    touchRow(0);
    for (const char* button : {"stepAddFasten", "stepAddMessage", "stepCopy"}) {
        SCOPED_TRACE(button);
        press(button);
        ASSERT_NE(editor->Dialog(), nullptr);
        EXPECT_EQ(
            std::tuple(editor->Dialog()->Title(), msgText(), dev->GetStepsLen()),
            std::tuple(QString("Error"), QString("Step limit exceeded."), StepEditor::kMaxSteps));
        if (std::string(button) == "stepCopy") shot("step_editor_limit");
        press("msgClose");
        EXPECT_EQ(editor->Dialog(), nullptr);
    }
    // Below the limit again, a step can be added.
    run("stepDelete confirmOk stepAddOutput");
    EXPECT_EQ(std::tuple(dev->GetStepsLen(), dev->GetStepType(StepEditor::kMaxSteps - 1)),
              std::tuple(StepEditor::kMaxSteps, O));
}

TEST_F(StepEditorTest, DialogsTitleAndAFailedSave) {
    writeJob({F, I});
    open();
    EXPECT_EQ(find<QLabel>("stepTitle")->text(), "body");
    run("#1 stepRename");
    auto* field = find<QLineEdit>("textKeypadField");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(std::tuple(field->text(), field->placeholderText()),
              std::tuple(QString("input-1"), QString("Enter new name")));
    run("%step_editor_rename textKeypadCancel stepDelete");
    EXPECT_EQ(msgText(), "Delete?");
    run("%step_editor_delete confirmCancel stepSave");
    EXPECT_EQ(msgText(), "Save?");
    shot("step_editor_save");
    // A second request while one dialog is open is ignored.
    QMetaObject::invokeMethod(editor, [this] { editor->Editor().CancelPressed(); });
    flush();
    EXPECT_EQ(msgText(), "Save?");
    press("confirmCancel");

    // A step the station could never pass is shown with its problem and nothing is saved.
    const std::string before = TestEnv::readFile(kFile);
    run("stepAddDelay delayModeBarcode #0 stepSave confirmOk");
    EXPECT_EQ(std::tuple(msgText(), editor->Editor().Selected()),
              std::tuple(QString("The step has no barcode to wait for."), 2));
    press("msgClose");
    EXPECT_EQ(TestEnv::readFile(kFile), before);
    // Nor does a part compared with no part chosen, as another editor may have left it.
    touchRow(0);
    UnitStepDelayData part;
    part.Mode = 2;
    part.Barcode = "AB12";
    part.Partial = 1;
    ASSERT_EQ(dev->SetDelayData(2, &part), 0);
    run("stepSave confirmOk");
    EXPECT_EQ(
        std::tuple(msgText(), editor->Editor().Selected()),
        std::tuple(QString("The step compares a part of its barcode but no part is chosen."), 2));
    press("msgClose");
    EXPECT_EQ(TestEnv::readFile(kFile), before);
    // A failed save keeps the editor and the job.
    run("stepDelete confirmOk stepAddInput");
    // The job's folder is replaced by a file: the job cannot be written.
    std::filesystem::remove_all("files/job");
    TestEnv::writeFile("files/job", "");
    run("stepSave confirmOk");
    ASSERT_NE(editor->Dialog(), nullptr);
    EXPECT_EQ(msgText(), StepEditor::kSaveFailText);
    EXPECT_EQ(Screens::Find(ScreenId::StepEditor), editor);
    EXPECT_EQ(dev->GetStepsLen(), 3);
    press("msgClose");
}
