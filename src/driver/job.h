// Job store: the job files under "./files/job", the job list built from their headers
// at start-up, and the one loaded job that the editor and the job runner work on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- file layout (all integers 32-bit little-endian, texts NUL-padded) ----
constexpr size_t JOB_HEADER_SIZE = 172;
constexpr size_t JOB_LIST_ENTRY_SIZE = 160; // header bytes 12..171
constexpr size_t STEP_RECORD_SIZE = 4096;
constexpr size_t SCREW_POSITION_SIZE = 32;

constexpr int JOB_MAX_JOBS = 1000;
constexpr int JOB_MAX_STEPS = 255;
constexpr int JOB_MAX_SCREW_POS = 99;
constexpr size_t JOB_NAME_SIZE = 128;    // 127 characters and the NUL
constexpr size_t JOB_TOOLNAME_SIZE = 33; // 32 characters
constexpr size_t JOB_PATH_SIZE = 256;    // 255 characters
constexpr size_t JOB_BARCODE_MAX = 32;

// Header offsets.
constexpr size_t JH_MAGIC = 0, JH_MARKER = 9, JH_JDX = 12, JH_NAME = 16, JH_STEPS = 144,
                 JH_TOTAL_SCREWS = 148, JH_COUNTERS = 152;
static_assert(JH_NAME + JOB_NAME_SIZE == JH_STEPS);
static_assert(JH_COUNTERS + 5 * 4 == JOB_HEADER_SIZE);
static_assert(JOB_HEADER_SIZE - JH_JDX == JOB_LIST_ENTRY_SIZE);

// Step record offsets (common part, then per type).
constexpr size_t SR_TYPE = 0, SR_NAME = 4;
constexpr size_t SF_TOOL = 132, SF_PRESET = 168, SF_SCREWS = 172, SF_IMG_FLAG = 176, SF_IMG = 180,
                 SF_POS = 436, SF_UNUSED = 3604;
static_assert(SR_NAME + JOB_NAME_SIZE == SF_TOOL);
static_assert(SF_TOOL + JOB_TOOLNAME_SIZE <= SF_PRESET);
static_assert(SF_IMG + JOB_PATH_SIZE == SF_POS);
static_assert(SF_POS + JOB_MAX_SCREW_POS * SCREW_POSITION_SIZE == SF_UNUSED);
static_assert(SF_UNUSED + 492 == STEP_RECORD_SIZE);
constexpr size_t SI_USED = 132, SI_COND = 196;
static_assert(SI_USED + 16 * 4 == SI_COND);
constexpr size_t SO_USED = 132, SO_MODE = 196, SO_WIDTH = 260;
static_assert(SO_USED + 16 * 4 == SO_MODE && SO_MODE + 16 * 4 == SO_WIDTH);
constexpr size_t SD_MODE = 132, SD_TIME_VALUE = 136, SD_TIME_UNIT = 140, SD_LINE1 = 136,
                 SD_LINE2 = 264, SD_LINE3 = 392, SD_BARCODE = 136, SD_PARTIAL = 172,
                 SD_RANGE_START = 176, SD_RANGE_END = 180;
// The barcode shares its bytes with the partial-compare words that follow it, so only
// the bytes before them belong to the code.
constexpr size_t SD_BARCODE_SIZE = SD_PARTIAL - SD_BARCODE;
static_assert(SD_BARCODE_SIZE > JOB_BARCODE_MAX);
static_assert(SD_LINE3 + JOB_NAME_SIZE <= SF_UNUSED);
constexpr size_t SM_LINE1 = 132, SM_LINE2 = 260, SM_LINE3 = 388, SM_IMG = 516;
static_assert(SM_LINE3 + JOB_NAME_SIZE == SM_IMG && SM_IMG + JOB_PATH_SIZE <= STEP_RECORD_SIZE);
// Screw position offsets.
constexpr size_t SP_ENABLED = 0, SP_X = 4, SP_Y = 8, SP_RADIUS = 12, SP_WIDTH = 16, SP_PENDING = 20,
                 SP_OK = 23, SP_NG = 26;
static_assert(SP_NG + 3 + 3 == SCREW_POSITION_SIZE);

enum StepType {
    STEP_FASTENING = 0,
    STEP_INPUT = 1,
    STEP_OUTPUT = 2,
    STEP_DELAY = 3,
    STEP_MESSAGE = 4,
    STEP_TYPE_COUNT = 5
};

// Result codes beside 0 and -1.
constexpr int JOB_ERR_NAME_EXISTS = -2; // the target name already belongs to a job file

// ---- decoded records ----
struct JobListEntry {
    uint32_t jdx = 0;
    char name[JOB_NAME_SIZE] = {};
    uint32_t steps = 0;
    uint32_t total_screws = 0;
    uint32_t counters[STEP_TYPE_COUNT] = {}; // per step type: names handed out
};

struct JobHeader {
    uint8_t sign[8] = {};
    uint8_t reserved_marker[4] = {}; // bytes 8..11: reserved, format marker, reserved
    JobListEntry entry;              // bytes 12..171
};

struct ScrewPosition {
    uint32_t enabled = 0;
    int32_t x = 0, y = 0;
    uint32_t radius = 0, width = 0;
    uint8_t pending[3] = {}, ok[3] = {}, ng[3] = {}; // red, green, blue
};

// One step as stored: the 4096 file bytes, read and written through the accessors below.
struct StepRecord {
    uint8_t b[STEP_RECORD_SIZE] = {};
};
static_assert(sizeof(StepRecord) == STEP_RECORD_SIZE);

struct StepFasten {
    char tool_name[JOB_TOOLNAME_SIZE] = {};
    uint32_t preset = 0;
    uint32_t screws = 0;
    uint32_t img_flag = 0;
    char img_path[JOB_PATH_SIZE] = {};
    ScrewPosition pos[JOB_MAX_SCREW_POS];
};
struct StepInput {
    uint32_t used[16] = {};
    uint32_t condition = 0;
};
struct StepOutput {
    uint32_t used[16] = {};
    uint32_t mode[16] = {};
    uint32_t width = 0;
};
struct StepDelay {
    uint32_t mode = 0; // 0 time, 1 confirmation, 2 barcode
    uint32_t time_value = 0, time_unit = 0;
    char line[3][JOB_NAME_SIZE] = {};
    char barcode[JOB_BARCODE_MAX + 1] = {};
    uint32_t partial = 0, range_start = 0, range_end = 0;
};
struct StepMessage {
    char line[3][JOB_NAME_SIZE] = {};
    char img_path[JOB_PATH_SIZE] = {};
};

// ---- byte codecs (pure) ----
uint32_t job_get_u32(const uint8_t* p);
void job_put_u32(uint8_t* p, uint32_t v);
// Text field of `size` bytes into `out` (always terminated, at most size-1 characters).
void job_get_text(const uint8_t* p, size_t size, char* out);
// Writes `text` cut to size-1 characters and NUL-pads the whole field.
void job_put_text(uint8_t* p, size_t size, const char* text);

void job_decode_header(const uint8_t* p, JobHeader* h);
void job_encode_header(const JobHeader& h, uint8_t* p);
void job_decode_entry(const uint8_t* p, JobListEntry* e);
void job_encode_entry(const JobListEntry& e, uint8_t* p);
void job_decode_screwpos(const uint8_t* p, ScrewPosition* s);
void job_encode_screwpos(const ScrewPosition& s, uint8_t* p);
// True when the 172 header bytes start with the job file magic.
bool job_header_valid(const uint8_t* p);

uint32_t step_type(const StepRecord& s);
void step_name(const StepRecord& s, char out[JOB_NAME_SIZE]);
void step_set_name(StepRecord* s, const char* name);
void step_get_fasten(const StepRecord& s, StepFasten* out);
void step_get_input(const StepRecord& s, StepInput* out);
void step_get_output(const StepRecord& s, StepOutput* out);
void step_get_delay(const StepRecord& s, StepDelay* out); // only the stored mode's fields
void step_get_message(const StepRecord& s, StepMessage* out);
void step_put_input(StepRecord* s, const StepInput& in);
void step_put_output(StepRecord* s, const StepOutput& in);
void step_put_delay(StepRecord* s, const StepDelay& in); // only the fields of in.mode
void step_put_message(StepRecord* s, const StepMessage& in);
// Screw positions from the position editor: the image path when non-empty (it also sets
// the image flag), every enabled word, and geometry and colours of enabled positions only.
void step_save_screwpos(StepRecord* s, const char* img_path,
                        const ScrewPosition pos[JOB_MAX_SCREW_POS]);

// ---- the store (GUI thread) ----
extern const char* const job_dpath; // "./files/job"

int load_job();
int job_new(const char* name);
int job_move_up(int jdx);
int job_move_down(int jdx);
int job_delete(int jdx);
int job_copy(int jdx, const char* name);
int job_load(int jdx);
int job_save(int jdx);
void job_free();
int step_new(uint32_t type);
int step_move_up(int sdx);
int step_move_down(int sdx);
int step_delete(int sdx);
int step_copy(int sdx);
const char* get_jobname_jdx(int jdx);
int set_jobname_jdx(int jdx, const char* name);
const char* get_stepname_sdx(int sdx);
int set_stepname_sdx(int sdx, const char* name);
int find_jdx_by_name(const char* name);

// Read access for the device object and the job runner.
int job_list_len();
const JobListEntry* job_list_entry(int jdx); // nullptr when invalid
bool job_is_loaded();
int job_steps_len();                         // 0 when no job is loaded
JobHeader* job_loaded_header();              // the loaded job's header image
StepRecord* job_step(int sdx);               // nullptr when no job is loaded or sdx invalid
std::string job_file_path(const char* name); // "./files/job/<name>.job"
