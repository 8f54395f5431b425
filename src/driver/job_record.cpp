// Byte codecs of the job file records: every integer is written and read as four
// little-endian bytes, every text as a NUL-padded field, so the file image never
// depends on the host's struct layout or alignment.
#include "job.h"

#include <cstring>

uint32_t job_get_u32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void job_put_u32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void job_get_text(const uint8_t* p, size_t size, char* out) {
    if (size == 0) return;
    size_t n = 0;
    while (n + 1 < size && p[n] != 0) {
        out[n] = char(p[n]);
        ++n;
    }
    memset(out + n, 0, size - n);
}

void job_put_text(uint8_t* p, size_t size, const char* text) {
    if (size == 0) return;
    memset(p, 0, size);
    if (!text) return;
    size_t n = strnlen(text, size - 1);
    memcpy(p, text, n);
}

void job_decode_entry(const uint8_t* p, JobListEntry* e) {
    e->jdx = job_get_u32(p);
    job_get_text(p + JH_NAME - JH_JDX, JOB_NAME_SIZE, e->name);
    e->steps = job_get_u32(p + JH_STEPS - JH_JDX);
    e->total_screws = job_get_u32(p + JH_TOTAL_SCREWS - JH_JDX);
    for (int t = 0; t < STEP_TYPE_COUNT; ++t)
        e->counters[t] = job_get_u32(p + JH_COUNTERS - JH_JDX + 4 * size_t(t));
}

void job_encode_entry(const JobListEntry& e, uint8_t* p) {
    job_put_u32(p, e.jdx);
    job_put_text(p + JH_NAME - JH_JDX, JOB_NAME_SIZE, e.name);
    job_put_u32(p + JH_STEPS - JH_JDX, e.steps);
    job_put_u32(p + JH_TOTAL_SCREWS - JH_JDX, e.total_screws);
    for (int t = 0; t < STEP_TYPE_COUNT; ++t)
        job_put_u32(p + JH_COUNTERS - JH_JDX + 4 * size_t(t), e.counters[t]);
}

void job_decode_header(const uint8_t* p, JobHeader* h) {
    memcpy(h->sign, p + JH_MAGIC, sizeof h->sign);
    memcpy(h->reserved_marker, p + 8, sizeof h->reserved_marker);
    job_decode_entry(p + JH_JDX, &h->entry);
}

void job_encode_header(const JobHeader& h, uint8_t* p) {
    memcpy(p + JH_MAGIC, h.sign, sizeof h.sign);
    memcpy(p + 8, h.reserved_marker, sizeof h.reserved_marker);
    job_encode_entry(h.entry, p + JH_JDX);
}

void job_decode_screwpos(const uint8_t* p, ScrewPosition* s) {
    s->enabled = job_get_u32(p + SP_ENABLED);
    s->x = int32_t(job_get_u32(p + SP_X));
    s->y = int32_t(job_get_u32(p + SP_Y));
    s->radius = job_get_u32(p + SP_RADIUS);
    s->width = job_get_u32(p + SP_WIDTH);
    memcpy(s->pending, p + SP_PENDING, 3);
    memcpy(s->ok, p + SP_OK, 3);
    memcpy(s->ng, p + SP_NG, 3);
}

void job_encode_screwpos(const ScrewPosition& s, uint8_t* p) {
    job_put_u32(p + SP_ENABLED, s.enabled);
    job_put_u32(p + SP_X, uint32_t(s.x));
    job_put_u32(p + SP_Y, uint32_t(s.y));
    job_put_u32(p + SP_RADIUS, s.radius);
    job_put_u32(p + SP_WIDTH, s.width);
    memcpy(p + SP_PENDING, s.pending, 3);
    memcpy(p + SP_OK, s.ok, 3);
    memcpy(p + SP_NG, s.ng, 3);
    memset(p + SP_NG + 3, 0, 3);
}

uint32_t step_type(const StepRecord& s) {
    return job_get_u32(s.b + SR_TYPE);
}

void step_name(const StepRecord& s, char out[JOB_NAME_SIZE]) {
    job_get_text(s.b + SR_NAME, JOB_NAME_SIZE, out);
}

void step_set_name(StepRecord* s, const char* name) {
    job_put_text(s->b + SR_NAME, JOB_NAME_SIZE, name);
}

void step_get_fasten(const StepRecord& s, StepFasten* out) {
    job_get_text(s.b + SF_TOOL, JOB_TOOLNAME_SIZE, out->tool_name);
    out->preset = job_get_u32(s.b + SF_PRESET);
    out->screws = job_get_u32(s.b + SF_SCREWS);
    out->img_flag = job_get_u32(s.b + SF_IMG_FLAG);
    job_get_text(s.b + SF_IMG, JOB_PATH_SIZE, out->img_path);
    for (int k = 0; k < JOB_MAX_SCREW_POS; ++k)
        job_decode_screwpos(s.b + SF_POS + SCREW_POSITION_SIZE * size_t(k), &out->pos[k]);
}

void step_get_input(const StepRecord& s, StepInput* out) {
    for (int i = 0; i < 16; ++i)
        out->used[i] = job_get_u32(s.b + SI_USED + 4 * size_t(i));
    out->condition = job_get_u32(s.b + SI_COND);
}

void step_put_input(StepRecord* s, const StepInput& in) {
    for (int i = 0; i < 16; ++i)
        job_put_u32(s->b + SI_USED + 4 * size_t(i), in.used[i]);
    job_put_u32(s->b + SI_COND, in.condition);
}

void step_get_output(const StepRecord& s, StepOutput* out) {
    for (int i = 0; i < 16; ++i) {
        out->used[i] = job_get_u32(s.b + SO_USED + 4 * size_t(i));
        out->mode[i] = job_get_u32(s.b + SO_MODE + 4 * size_t(i));
    }
    out->width = job_get_u32(s.b + SO_WIDTH);
}

void step_put_output(StepRecord* s, const StepOutput& in) {
    for (int i = 0; i < 16; ++i) {
        job_put_u32(s->b + SO_USED + 4 * size_t(i), in.used[i]);
        job_put_u32(s->b + SO_MODE + 4 * size_t(i), in.mode[i]);
    }
    job_put_u32(s->b + SO_WIDTH, in.width);
}

void step_get_delay(const StepRecord& s, StepDelay* out) {
    *out = StepDelay{};
    out->mode = job_get_u32(s.b + SD_MODE);
    switch (out->mode) {
    case 0:
        out->time_value = job_get_u32(s.b + SD_TIME_VALUE);
        out->time_unit = job_get_u32(s.b + SD_TIME_UNIT);
        break;
    case 1:
        job_get_text(s.b + SD_LINE1, JOB_NAME_SIZE, out->line[0]);
        job_get_text(s.b + SD_LINE2, JOB_NAME_SIZE, out->line[1]);
        job_get_text(s.b + SD_LINE3, JOB_NAME_SIZE, out->line[2]);
        break;
    case 2:
        job_get_text(s.b + SD_BARCODE, sizeof out->barcode, out->barcode);
        out->partial = job_get_u32(s.b + SD_PARTIAL);
        out->range_start = job_get_u32(s.b + SD_RANGE_START);
        out->range_end = job_get_u32(s.b + SD_RANGE_END);
        break;
    default:
        break;
    }
}

void step_put_delay(StepRecord* s, const StepDelay& in) {
    job_put_u32(s->b + SD_MODE, in.mode);
    switch (in.mode) {
    case 0:
        job_put_u32(s->b + SD_TIME_VALUE, in.time_value);
        job_put_u32(s->b + SD_TIME_UNIT, in.time_unit);
        break;
    case 1:
        job_put_text(s->b + SD_LINE1, JOB_NAME_SIZE, in.line[0]);
        job_put_text(s->b + SD_LINE2, JOB_NAME_SIZE, in.line[1]);
        job_put_text(s->b + SD_LINE3, JOB_NAME_SIZE, in.line[2]);
        break;
    case 2:
        // At most 32 characters: the field ends where the partial-compare word begins.
        job_put_text(s->b + SD_BARCODE, SD_BARCODE_SIZE, in.barcode);
        s->b[SD_BARCODE + JOB_BARCODE_MAX] = 0;
        job_put_u32(s->b + SD_PARTIAL, in.partial);
        job_put_u32(s->b + SD_RANGE_START, in.range_start);
        job_put_u32(s->b + SD_RANGE_END, in.range_end);
        break;
    default:
        break;
    }
}

void step_get_message(const StepRecord& s, StepMessage* out) {
    job_get_text(s.b + SM_LINE1, JOB_NAME_SIZE, out->line[0]);
    job_get_text(s.b + SM_LINE2, JOB_NAME_SIZE, out->line[1]);
    job_get_text(s.b + SM_LINE3, JOB_NAME_SIZE, out->line[2]);
    job_get_text(s.b + SM_IMG, JOB_PATH_SIZE, out->img_path);
}

void step_put_message(StepRecord* s, const StepMessage& in) {
    job_put_text(s->b + SM_LINE1, JOB_NAME_SIZE, in.line[0]);
    job_put_text(s->b + SM_LINE2, JOB_NAME_SIZE, in.line[1]);
    job_put_text(s->b + SM_LINE3, JOB_NAME_SIZE, in.line[2]);
    job_put_text(s->b + SM_IMG, JOB_PATH_SIZE, in.img_path);
}

void step_save_screwpos(StepRecord* s, const char* img_path,
                        const ScrewPosition pos[JOB_MAX_SCREW_POS]) {
    if (img_path && *img_path) {
        job_put_text(s->b + SF_IMG, JOB_PATH_SIZE, img_path);
        job_put_u32(s->b + SF_IMG_FLAG, 1);
    }
    for (int k = 0; k < JOB_MAX_SCREW_POS; ++k) {
        uint8_t* p = s->b + SF_POS + SCREW_POSITION_SIZE * size_t(k);
        if (pos[k].enabled)
            job_encode_screwpos(pos[k], p);
        else
            job_put_u32(p + SP_ENABLED, 0);
    }
}

bool job_header_valid(const uint8_t* p) {
    return memcmp(p + JH_MAGIC, "zqc.job.", 8) == 0;
}
