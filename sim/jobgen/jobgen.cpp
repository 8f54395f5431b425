// jobgen: the demo's sample jobs for the virtual tools named in the data home's
// "./regtools": "Demo picture" (fastening steps over a work-piece picture with screw
// positions) and "Demo steps" (message, input, output, delay and fastening steps).
#include "common.h"
#include "job.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
// Tool names are the first 33 bytes of each 80-byte "./regtools" record.
std::vector<std::string> registeredTools() {
    std::vector<std::string> names;
    FILE* f = Common_FopenRegular("./regtools", "rb");
    if (!f) return names;
    unsigned char rec[80];
    while (fread(rec, 1, sizeof rec, f) == sizeof rec)
        names.emplace_back(reinterpret_cast<char*>(rec), strnlen(reinterpret_cast<char*>(rec), 33));
    fclose(f);
    return names;
}

// A grey plate with four bolt holes and a bracket: shapes only, no text (no fonts needed).
int drawPlate(const char* path) {
    QImage img(800, 520, QImage::Format_RGB32);
    img.fill(QColor(236, 238, 240));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 76, 84), 4));
    p.setBrush(QColor(176, 182, 190));
    p.drawRoundedRect(60, 50, 680, 420, 24, 24);
    p.setBrush(QColor(140, 146, 156));
    p.drawRect(300, 170, 200, 180);
    p.setBrush(QColor(90, 96, 104));
    for (QPoint c : {QPoint(130, 120), QPoint(670, 120), QPoint(670, 400), QPoint(130, 400),
                     QPoint(340, 210), QPoint(460, 310)})
        p.drawEllipse(c, 14, 14);
    p.end();
    return img.save(path, "PNG") ? 0 : -1;
}

ScrewPosition position(int x, int y) {
    ScrewPosition s;
    s.enabled = 1;
    s.x = x;
    s.y = y;
    s.radius = 30;
    s.width = 5;
    const uint8_t pending[3] = {255, 170, 0}, ok[3] = {0, 170, 60}, ng[3] = {220, 30, 30};
    memcpy(s.pending, pending, 3);
    memcpy(s.ok, ok, 3);
    memcpy(s.ng, ng, 3);
    return s;
}

// Appends a step to the loaded job; its record, or nullptr.
StepRecord* addStep(uint32_t type) {
    const int sdx = job_steps_len();
    return step_new(type) == 0 ? job_step(sdx) : nullptr;
}

int addFastening(const char* name, const std::string& tool, uint32_t preset, uint32_t screws) {
    const int sdx = job_steps_len();
    StepRecord* s = addStep(STEP_FASTENING);
    if (!s) return -1;
    step_set_name(s, name);
    job_put_text(s->b + SF_TOOL, JOB_TOOLNAME_SIZE, tool.c_str());
    job_put_u32(s->b + SF_PRESET, preset);
    job_put_u32(s->b + SF_SCREWS, screws);
    return sdx;
}

int makeJob(const char* name) {
    int jdx = find_jdx_by_name(name);
    if (jdx >= 0) job_delete(jdx); // a second run replaces the sample
    if (job_new(name) != 0) return -1;
    jdx = find_jdx_by_name(name);
    return jdx >= 0 && job_load(jdx) == 0 ? jdx : -1;
}

int pictureJob(const std::vector<std::string>& tools) {
    const char* img = "./files/image/demo_plate.png";
    if (Common_MkdirP("./files/image") != 0 || drawPlate(img) != 0) return -1;
    int jdx = makeJob("Demo picture");
    if (jdx < 0) return -1;
    ScrewPosition corners[JOB_MAX_SCREW_POS] = {position(130, 120), position(670, 120),
                                                position(670, 400), position(130, 400)};
    int sdx = addFastening("Corner bolts", tools[0], 0, 4);
    if (sdx < 0) return -1;
    step_save_screwpos(job_step(sdx), img, corners);
    ScrewPosition bracket[JOB_MAX_SCREW_POS] = {position(340, 210), position(460, 310)};
    sdx = addFastening("Bracket", tools[tools.size() > 1 ? 1 : 0], 1, 2);
    if (sdx < 0) return -1;
    step_save_screwpos(job_step(sdx), img, bracket);
    return job_save(jdx);
}

int stepsJob(const std::vector<std::string>& tools) {
    int jdx = makeJob("Demo steps");
    if (jdx < 0) return -1;
    StepMessage msg;
    snprintf(msg.line[0], JOB_NAME_SIZE, "Place the housing in the fixture");
    snprintf(msg.line[1], JOB_NAME_SIZE, "The job goes on by itself");
    StepRecord* step = addStep(STEP_MESSAGE);
    if (!step) return -1;
    step_put_message(step, msg);
    // "Status low" on input 1: met at once while nothing drives the simulated input.
    StepInput in;
    in.used[0] = 1;
    in.condition = 3;
    if (!(step = addStep(STEP_INPUT))) return -1;
    step_put_input(step, in);
    StepOutput out;
    out.used[0] = out.used[1] = 1;
    out.width = 500;
    if (!(step = addStep(STEP_OUTPUT))) return -1;
    step_put_output(step, out);
    StepDelay delay;
    delay.mode = 0;
    delay.time_value = 2;
    if (!(step = addStep(STEP_DELAY))) return -1;
    step_put_delay(step, delay);
    for (size_t i = 0; i < tools.size() && i < 2; ++i) {
        std::string name = "Fasten on " + tools[i];
        if (addFastening(name.c_str(), tools[i], uint32_t(i), 2) < 0) return -1;
    }
    return job_save(jdx);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || strcmp(argv[1], "--home") != 0) {
        fprintf(stderr, "usage: jobgen --home DIR\n");
        return 2;
    }
    if (Common_SetHome(argv[2]) != 0) {
        fprintf(stderr, "jobgen: cannot use %s\n", argv[2]);
        return 1;
    }
    std::vector<std::string> tools = registeredTools();
    if (tools.empty()) {
        fprintf(stderr, "jobgen: no registered tools in %s/regtools\n", argv[2]);
        return 1;
    }
    if (Common_MkdirP(job_dpath) != 0 || load_job() != 0) {
        fprintf(stderr, "jobgen: cannot read the job folder\n");
        return 1;
    }
    int rc = pictureJob(tools) == 0 && stepsJob(tools) == 0 ? 0 : 1;
    job_free();
    if (rc != 0) fprintf(stderr, "jobgen: writing the sample jobs failed\n");
    return rc;
}
