// Device-object family "jobs and steps": thin wrappers over the job store that convert
// GUI strings to 8-bit text and step records to the editor's payload objects.
#include "ApplicationDeviceClass.h"
#include "UnitStepDelayData.h"
#include "UnitStepFastenData.h"
#include "UnitStepInputData.h"
#include "UnitStepMsgData.h"
#include "UnitStepOutputData.h"
#include "debug.h"
#include "job.h"

#include <cstring>

using Dev = ApplicationDeviceClass;
static_assert(int(Dev::StepTypeFastening) == int(STEP_FASTENING) &&
              int(Dev::StepTypeInput) == int(STEP_INPUT) &&
              int(Dev::StepTypeOutput) == int(STEP_OUTPUT) &&
              int(Dev::StepTypeDelay) == int(STEP_DELAY) &&
              int(Dev::StepTypeMessage) == int(STEP_MESSAGE) &&
              int(Dev::StepTypeCount) == int(STEP_TYPE_COUNT));

namespace {
// The loaded step `sdx` when it has `type`; logs and gives nullptr otherwise.
StepRecord* stepOfType(const char* caller, int32_t sdx, uint32_t type) {
    StepRecord* s = job_step(sdx);
    if (!s) {
        Debug_WriteLog(1, "%s.%d : invalid sdx (%d,%d)", caller, __LINE__, sdx, job_steps_len());
        return nullptr;
    }
    if (step_type(*s) != type) {
        Debug_WriteLog(1, "%s.%d : step %d is of type %u, not %u", caller, __LINE__, sdx,
                       step_type(*s), type);
        return nullptr;
    }
    return s;
}

QColor rgb(const uint8_t c[3]) {
    return QColor(c[0], c[1], c[2], 255);
}

void putRgb(const QColor& q, uint8_t c[3]) {
    c[0] = uint8_t(q.red());
    c[1] = uint8_t(q.green());
    c[2] = uint8_t(q.blue());
}

int32_t setMsgLine(int32_t sdx, int line, const QString& text) {
    StepRecord* s = stepOfType("SetMsgTextLine", sdx, STEP_MESSAGE);
    if (!s) return -1;
    StepMessage m;
    step_get_message(*s, &m);
    job_put_text(reinterpret_cast<uint8_t*>(m.line[line]), JOB_NAME_SIZE,
                 ApplicationDeviceClass::ToNative(text).constData());
    step_put_message(s, m);
    return 0;
}
} // namespace

int32_t ApplicationDeviceClass::JobCreateNew(const QString& name) {
    return job_new(ToNative(name).constData());
}

int32_t ApplicationDeviceClass::GetJobsLen() {
    return job_list_len();
}

QString ApplicationDeviceClass::GetJobNameJdx(int32_t jdx) {
    return FromNative(get_jobname_jdx(jdx));
}

int32_t ApplicationDeviceClass::GetJobStepCountJdx(int32_t jdx) {
    const JobListEntry* e = job_list_entry(jdx);
    return e ? int32_t(e->steps) : 0;
}

int32_t ApplicationDeviceClass::GetJobTotalScrewJdx(int32_t jdx) {
    const JobListEntry* e = job_list_entry(jdx);
    return e ? int32_t(e->total_screws) : 0;
}

int32_t ApplicationDeviceClass::SetJobNameJdx(int32_t jdx, const QString& name) {
    // A zero-filled 128-byte buffer: the name field is written NUL-padded.
    char buf[JOB_NAME_SIZE] = {};
    QByteArray n = ToNative(name);
    strncpy(buf, n.constData(), sizeof buf - 1);
    return set_jobname_jdx(jdx, buf);
}

int32_t ApplicationDeviceClass::JobMoveUp(int32_t jdx) {
    return job_move_up(jdx);
}
int32_t ApplicationDeviceClass::JobMoveDown(int32_t jdx) {
    return job_move_down(jdx);
}
int32_t ApplicationDeviceClass::JobDelete(int32_t jdx) {
    return job_delete(jdx);
}

int32_t ApplicationDeviceClass::JobCopy(int32_t jdx, const QString& name) {
    return job_copy(jdx, ToNative(name).constData());
}

int32_t ApplicationDeviceClass::JobLoad(int32_t jdx) {
    return job_load(jdx);
}
int32_t ApplicationDeviceClass::JobSave(int32_t jdx) {
    return job_save(jdx);
}
void ApplicationDeviceClass::JobFree() {
    job_free();
}

int32_t ApplicationDeviceClass::OnGetCurrentJob() {
    return CurrentJob_;
}

void ApplicationDeviceClass::OnSetCurrentJob(int32_t jdx) {
    if (jdx < 0 || jdx >= job_list_len()) jdx = -1;
    if (jdx == CurrentJob_) return;
    CurrentJob_ = jdx;
    emit CurrentJobChanged();
}

int32_t ApplicationDeviceClass::FindJdxByName(const QString& name) {
    return find_jdx_by_name(ToNative(name).constData());
}

int32_t ApplicationDeviceClass::StepCreateNew(int32_t type) {
    if (type < 0) {
        DBG_ERR("invalid step type (%d)", type);
        return -1;
    }
    return step_new(uint32_t(type));
}

int32_t ApplicationDeviceClass::GetStepsLen() {
    return job_steps_len();
}

int32_t ApplicationDeviceClass::GetStepType(int32_t sdx) {
    StepRecord* s = job_step(sdx);
    return s ? int32_t(step_type(*s)) : 0;
}

QString ApplicationDeviceClass::GetStepName(int32_t sdx) {
    return FromNative(get_stepname_sdx(sdx));
}

int32_t ApplicationDeviceClass::SetStepName(int32_t sdx, const QString& name) {
    return set_stepname_sdx(sdx, ToNative(name).constData());
}

int32_t ApplicationDeviceClass::StepMoveUp(int32_t sdx) {
    return step_move_up(sdx);
}
int32_t ApplicationDeviceClass::StepMoveDown(int32_t sdx) {
    return step_move_down(sdx);
}
int32_t ApplicationDeviceClass::StepDelete(int32_t sdx) {
    return step_delete(sdx);
}
int32_t ApplicationDeviceClass::StepCopy(int32_t sdx) {
    return step_copy(sdx);
}

int32_t ApplicationDeviceClass::GetTotalScrewOfLoadedJob() {
    return job_is_loaded() ? int32_t(job_loaded_header()->entry.total_screws) : 0;
}

UnitStepFastenData* ApplicationDeviceClass::GetFastenData(int32_t sdx) {
    if (!FastenData_) FastenData_ = new UnitStepFastenData(this);
    StepFasten f;
    if (StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING)) step_get_fasten(*s, &f);
    UnitStepFastenData* d = FastenData_;
    d->ToolName = FromNative(f.tool_name);
    d->PresetNo = int32_t(f.preset);
    d->NoScrews = int32_t(f.screws);
    d->ImgFlag = int32_t(f.img_flag);
    d->ImgFilename = FromNative(f.img_path);
    for (int k = 0; k < JOB_MAX_SCREW_POS; ++k) {
        UnitScrewPosData* p = d->ScrewPos[k];
        const ScrewPosition& q = f.pos[k];
        p->X = q.x;
        p->Y = q.y;
        p->Radius = int32_t(q.radius);
        p->Width = int32_t(q.width);
        p->PendingColor = rgb(q.pending);
        p->OkColor = rgb(q.ok);
        p->NgColor = rgb(q.ng);
        p->Enabled = q.enabled != 0;
    }
    return d;
}

int32_t ApplicationDeviceClass::SetFastenToolName(int32_t sdx, const QString& name) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING);
    if (!s) return -1;
    job_put_text(s->b + SF_TOOL, JOB_TOOLNAME_SIZE, ToNative(name).constData());
    return 0;
}

int32_t ApplicationDeviceClass::SetFastenNoScrews(int32_t sdx, int32_t count) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING);
    if (!s) return -1;
    job_put_u32(s->b + SF_SCREWS, uint32_t(count));
    return 0;
}

int32_t ApplicationDeviceClass::SetFastenPresetNo(int32_t sdx, int32_t preset) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING);
    if (!s) return -1;
    job_put_u32(s->b + SF_PRESET, uint32_t(preset));
    return 0;
}

int32_t ApplicationDeviceClass::SetFastenImgFilename(int32_t sdx, const QString& path) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING);
    if (!s) return -1;
    job_put_text(s->b + SF_IMG, JOB_PATH_SIZE, ToNative(path).constData());
    job_put_u32(s->b + SF_IMG_FLAG, 1);
    return 0;
}

int32_t ApplicationDeviceClass::SaveScrewPos(int32_t sdx, const UnitStepFastenData* data) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_FASTENING);
    if (!s || !data) return -1;
    ScrewPosition pos[JOB_MAX_SCREW_POS];
    for (int k = 0; k < JOB_MAX_SCREW_POS; ++k) {
        const UnitScrewPosData* p = data->ScrewPos[k];
        if (!p) continue;
        pos[k].enabled = p->Enabled ? 1 : 0;
        pos[k].x = p->X;
        pos[k].y = p->Y;
        pos[k].radius = uint32_t(p->Radius);
        pos[k].width = uint32_t(p->Width);
        putRgb(p->PendingColor, pos[k].pending);
        putRgb(p->OkColor, pos[k].ok);
        putRgb(p->NgColor, pos[k].ng);
    }
    step_save_screwpos(s, ToNative(data->ImgFilename).constData(), pos);
    return 0;
}

UnitStepInputData* ApplicationDeviceClass::GetInputStepData(int32_t sdx) {
    if (!InputData_) InputData_ = new UnitStepInputData(this);
    StepInput in;
    if (StepRecord* s = stepOfType(__func__, sdx, STEP_INPUT)) step_get_input(*s, &in);
    for (int i = 0; i < 16; ++i)
        InputData_->Used[i] = in.used[i] ? 1 : 0;
    InputData_->Condition = int32_t(in.condition);
    return InputData_;
}

int32_t ApplicationDeviceClass::SetInputStepData(int32_t sdx, const UnitStepInputData* data) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_INPUT);
    if (!s || !data) return -1;
    StepInput in;
    for (int i = 0; i < 16; ++i)
        in.used[i] = data->Used[i] ? 1 : 0;
    in.condition = uint32_t(data->Condition);
    step_put_input(s, in);
    return 0;
}

UnitStepOutputData* ApplicationDeviceClass::GetOutputStepData(int32_t sdx) {
    if (!OutputData_) OutputData_ = new UnitStepOutputData(this);
    StepOutput o;
    if (StepRecord* s = stepOfType(__func__, sdx, STEP_OUTPUT)) step_get_output(*s, &o);
    for (int i = 0; i < 16; ++i) {
        OutputData_->Used[i] = o.used[i] ? 1 : 0;
        OutputData_->Mode[i] = int32_t(o.mode[i]);
    }
    OutputData_->ImpulseWidth = int32_t(o.width);
    return OutputData_;
}

int32_t ApplicationDeviceClass::SetOutputStepData(int32_t sdx, const UnitStepOutputData* data) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_OUTPUT);
    if (!s || !data) return -1;
    StepOutput o;
    for (int i = 0; i < 16; ++i) {
        o.used[i] = data->Used[i] ? 1 : 0;
        o.mode[i] = uint32_t(data->Mode[i]);
    }
    o.width = uint32_t(data->ImpulseWidth);
    step_put_output(s, o);
    return 0;
}

UnitStepDelayData* ApplicationDeviceClass::GetDelayData(int32_t sdx) {
    auto* d = new UnitStepDelayData;
    StepRecord* s = stepOfType(__func__, sdx, STEP_DELAY);
    if (!s) return d;
    StepDelay v;
    step_get_delay(*s, &v);
    d->Mode = int32_t(v.mode);
    d->TimeValue = int32_t(v.time_value);
    d->TimeUnit = int32_t(v.time_unit);
    d->Line1 = FromNative(v.line[0]);
    d->Line2 = FromNative(v.line[1]);
    d->Line3 = FromNative(v.line[2]);
    d->Barcode = FromNative(v.barcode);
    d->Partial = int32_t(v.partial);
    d->RangeStart = int32_t(v.range_start);
    d->RangeEnd = int32_t(v.range_end);
    return d;
}

int32_t ApplicationDeviceClass::SetDelayData(int32_t sdx, const UnitStepDelayData* data) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_DELAY);
    if (!s || !data || data->Mode < 0 || data->Mode > 2) return -1;
    StepDelay v;
    v.mode = uint32_t(data->Mode);
    v.time_value = uint32_t(data->TimeValue);
    v.time_unit = uint32_t(data->TimeUnit);
    const QString* lines[3] = {&data->Line1, &data->Line2, &data->Line3};
    for (int i = 0; i < 3; ++i)
        job_put_text(reinterpret_cast<uint8_t*>(v.line[i]), JOB_NAME_SIZE,
                     ToNative(*lines[i]).constData());
    job_put_text(reinterpret_cast<uint8_t*>(v.barcode), sizeof v.barcode,
                 ToNative(data->Barcode).constData());
    v.partial = uint32_t(data->Partial);
    v.range_start = uint32_t(data->RangeStart);
    v.range_end = uint32_t(data->RangeEnd);
    step_put_delay(s, v);
    return 0;
}

UnitStepMsgData* ApplicationDeviceClass::GetMsgData(int32_t sdx) {
    auto* d = new UnitStepMsgData;
    StepRecord* s = stepOfType(__func__, sdx, STEP_MESSAGE);
    if (!s) return d;
    StepMessage m;
    step_get_message(*s, &m);
    d->Line1 = FromNative(m.line[0]);
    d->Line2 = FromNative(m.line[1]);
    d->Line3 = FromNative(m.line[2]);
    d->ImgFilename = FromNative(m.img_path);
    return d;
}

int32_t ApplicationDeviceClass::SetMsgTextLine1(int32_t sdx, const QString& text) {
    return setMsgLine(sdx, 0, text);
}
int32_t ApplicationDeviceClass::SetMsgTextLine2(int32_t sdx, const QString& text) {
    return setMsgLine(sdx, 1, text);
}
int32_t ApplicationDeviceClass::SetMsgTextLine3(int32_t sdx, const QString& text) {
    return setMsgLine(sdx, 2, text);
}

int32_t ApplicationDeviceClass::SetMsgImgFilename(int32_t sdx, const QString& path) {
    StepRecord* s = stepOfType(__func__, sdx, STEP_MESSAGE);
    if (!s) return -1;
    job_put_text(s->b + SM_IMG, JOB_PATH_SIZE, ToNative(path).constData());
    return 0;
}
