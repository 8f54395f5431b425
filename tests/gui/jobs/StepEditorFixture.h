// The job editors' set-up: a job file "body" written through the device object in the
// test's data home; the step editor opened as the job manager opens it, loaded, the screen
// opened over the root and handed the job index.
#pragma once

#include "../tools/Presses.h"
#include "job.h"
#include "page/jobs/PageStepEditor.h"
#include "page/jobs/StepPanel.h"

#include <QLabel>
#include <QTableView>
#include <filesystem>
#include <string>
#include <vector>

class StepEditorTest : public WithPresses<ToolScreenTest> {
  protected:
    static constexpr const char* kFile = "files/job/body.job";

    void SetUp() override {
        ToolScreenTest::SetUp();
        std::filesystem::create_directories("files/job");
        std::filesystem::create_directories("files/image");
        load_job();
        job_free();
        makeRoot();
        dev->OnSetUserLevel(1); // the editors are an administrator's
        touchList = "stepList";
    }
    void TearDown() override {
        Screens::Close(ScreenId::StepEditor);
        job_free();
        ToolScreenTest::TearDown();
    }
    // Job 0 with steps of these types, on file and not loaded.
    void writeJob(const std::vector<int>& types) {
        ASSERT_EQ(dev->JobCreateNew("body"), 0);
        ASSERT_EQ(dev->JobLoad(0), 0);
        for (int t : types)
            ASSERT_EQ(dev->StepCreateNew(t), 0);
        ASSERT_EQ(dev->JobSave(0), 0);
        dev->JobFree();
    }
    void open() {
        ASSERT_EQ(dev->JobLoad(0), 0);
        dev->OnSetUserLevel(1);
        Page* page = Screens::Open(ScreenId::StepEditor, root);
        editor = qobject_cast<PageStepEditor*>(page);
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(QMetaObject::invokeMethod(page, "Edit", Q_ARG(int, 0)));
        flush();
    }
    int selectedRow() const {
        auto* view = find<QTableView>("stepList");
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    std::vector<std::string> stepNames() {
        std::vector<std::string> names;
        for (int s = 0; s < dev->GetStepsLen(); ++s)
            names.push_back(dev->GetStepName(s).toStdString());
        return names;
    }
    // The file as the next load reads it: the job is loaded again from disk.
    std::vector<std::string> savedNames() {
        dev->JobFree();
        EXPECT_EQ(dev->JobLoad(0), 0);
        return stepNames();
    }

    PageStepEditor* editor = nullptr;
};
