// Job store: the job list (one entry per job file; at start-up ordered by the index stored
// in each file, from then on by position) and the one loaded job. Used from the GUI thread
// only.
#include "job.h"

#include "common.h"
#include "debug.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const job_dpath = "./files/job";

namespace {
const char* const kStepNameFmt[STEP_TYPE_COUNT] = {"fastening-%d", "input-%d", "output-%d",
                                                   "delay-%d", "message-%d"};

// A list entry and the file it was read from. The stored name usually names the file, but
// a file copied by hand may carry another job's name: every read and write of the entry
// goes to its own file, never to the file its name would give.
struct JobSlot {
    JobListEntry e;
    std::string file;
};

struct JobStore {
    std::vector<JobSlot> jobs;     // the job list, position = jdx
    JobHeader header;              // the loaded job's header image
    std::vector<StepRecord> steps; // the loaded job's steps
    bool loaded = false;           // a job counts as loaded while its step array exists
    // The file the loaded job came from (kept across renames); empty when nothing valid
    // was loaded. A save goes only to the entry of this file.
    std::string loadedFile;
    char nameBuf[JOB_NAME_SIZE] = {};
    char stepNameBuf[JOB_NAME_SIZE] = {};
};
JobStore job;

bool validJdx(int jdx) {
    return jdx >= 0 && size_t(jdx) < job.jobs.size();
}
bool validSdx(int sdx) {
    return job.loaded && sdx >= 0 && size_t(sdx) < job.steps.size();
}

void cutName(const char* in, char out[JOB_NAME_SIZE]) {
    memset(out, 0, JOB_NAME_SIZE);
    strncpy(out, in, JOB_NAME_SIZE - 1);
}

// A job name becomes a file name: it must not be empty, leave the job folder, or hide
// the file from the start-up scan.
bool nameUsable(const char* name) {
    return name[0] != '\0' && name[0] != '.' && strchr(name, '/') == nullptr;
}

// True when `name` is taken by a job other than `self` (a list entry or a file).
bool nameTaken(const char* name, int self) {
    for (size_t i = 0; i < job.jobs.size(); ++i)
        if (int(i) != self && strcmp(job.jobs[i].e.name, name) == 0) return true;
    std::string path = job_file_path(name);
    if (self >= 0 && job.jobs[size_t(self)].file == path) return false;
    return Common_Exists(path);
}

// Writes header bytes in place; the changes are within the first sector. Only a regular
// file is written: a FIFO in its place would block the open, a folder cannot be.
int patchFile(const char* caller, const std::string& path, size_t offset, const uint8_t* bytes,
              size_t len) {
    int fd = Common_OpenRegular(path, O_WRONLY | O_NOFOLLOW);
    if (fd < 0) {
        DBG_ERR_AS(caller, "%s open fail : %s", path.c_str(), strerror(errno));
        return -1;
    }
    ssize_t n = pwrite(fd, bytes, len, off_t(offset));
    int err = errno;
    close(fd);
    if (n != ssize_t(len)) {
        DBG_ERR_AS(caller, "fwrite error, expected %d but %d : %s", int(len), int(n),
                   strerror(err));
        return -1;
    }
    return 0;
}

int writeJdx(const char* caller, const JobSlot& j) {
    uint8_t b[4];
    job_put_u32(b, j.e.jdx);
    return patchFile(caller, j.file, JH_JDX, b, sizeof b);
}

// Jobs are selected by list position (also from digital inputs), and the stored indexes
// are what orders the list at the next start. So every entry takes its position as jdx,
// and each file whose stored value differs gets it written. A failed write is logged and
// the others still go ahead.
void renumber(const char* caller) {
    for (size_t i = 0; i < job.jobs.size(); ++i) {
        JobSlot& j = job.jobs[i];
        if (j.e.jdx == uint32_t(i)) continue;
        j.e.jdx = uint32_t(i);
        writeJdx(caller, j);
    }
}

// Reads a whole job file (at most 16 MB; a regular file only).
int readJobFile(const char* caller, const std::string& path, std::string& out) {
    if (Common_ReadFile(path, out) != 0) {
        DBG_ERR_AS(caller, "%s open fail : %s", path.c_str(), strerror(errno));
        return -1;
    }
    if (out.size() < JOB_HEADER_SIZE) {
        DBG_ERR_AS(caller, "%s read error, expect %d but %d : %s", path.c_str(),
                   int(JOB_HEADER_SIZE), int(out.size()), "short file");
        return -1;
    }
    return 0;
}

// Writes a whole job file through the atomic writer; a failure is logged with the step
// that failed and its error.
int storeFile(const char* caller, const std::string& path, const std::string& image) {
    CommonWriteStep step = COMMON_WRITE_NONE;
    if (Common_WriteFileAtomic(path, image.data(), image.size(), &step) == 0) return 0;
    const char* err = strerror(errno);
    switch (step) {
    case COMMON_WRITE_OPEN:
        DBG_ERR_AS(caller, "%s open fail : %s", path.c_str(), err);
        break;
    case COMMON_WRITE_DATA:
        DBG_ERR_AS(caller, "%s write error, expect %d : %s", path.c_str(), int(image.size()), err);
        break;
    case COMMON_WRITE_SYNC:
        DBG_ERR_AS(caller, "%s sync fail : %s", path.c_str(), err);
        break;
    default:
        DBG_ERR_AS(caller, "%s rename fail : %s", path.c_str(), err);
        break;
    }
    return -1;
}

void putHeaderName(std::string& image, const char* name) {
    job_put_text(reinterpret_cast<uint8_t*>(&image[JH_NAME]), JOB_NAME_SIZE, name);
}

void putHeaderJdx(std::string& image, uint32_t jdx) {
    job_put_u32(reinterpret_cast<uint8_t*>(&image[JH_JDX]), jdx);
}

void scanOne(const std::string& path) {
    int fd = Common_OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0 && (errno == EINVAL || errno == ELOOP)) {
        DBG_ERR("%s is not a regular file, skipped", path.c_str());
        return;
    }
    if (fd < 0) {
        DBG_ERR("%s open fail : %s", path.c_str(), strerror(errno));
        return;
    }
    uint8_t head[JOB_HEADER_SIZE];
    size_t got = 0;
    int err = 0;
    while (got < sizeof head) {
        ssize_t n = read(fd, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : 0;
            break;
        }
        got += size_t(n);
    }
    close(fd);
    if (got < sizeof head) {
        DBG_ERR("%s read error, expect %d but %d : %s", path.c_str(), int(sizeof head), int(got),
                err ? strerror(err) : "end of file");
        return;
    }
    if (!job_header_valid(head)) {
        DBG_ERR("invalid job file (%s)", path.c_str());
        return;
    }
    JobSlot j;
    job_decode_entry(head + JH_JDX, &j.e);
    // The stored name becomes the file name of a rename, copy or new job.
    if (!nameUsable(j.e.name)) {
        DBG_ERR("invalid job name in %s", path.c_str());
        return;
    }
    j.file = path;
    job.jobs.push_back(std::move(j));
}
} // namespace

std::string job_file_path(const char* name) {
    return std::string(job_dpath) + "/" + (name ? name : "") + ".job";
}

int load_job() {
    job.jobs.clear();
    DIR* d = opendir(job_dpath);
    if (!d) {
        DBG_ERR("directory open fail (%s)", job_dpath);
        return 0;
    }
    std::vector<std::string> names;
    while (dirent* de = readdir(d))
        if (de->d_name[0] != '.') names.push_back(de->d_name);
    closedir(d);
    // Scanned in file-name order, and sorted stably: equal stored indexes keep that order.
    std::sort(names.begin(), names.end());
    for (const auto& n : names)
        scanOne(std::string(job_dpath) + "/" + n);
    std::stable_sort(job.jobs.begin(), job.jobs.end(),
                     [](const JobSlot& a, const JobSlot& b) { return a.e.jdx < b.e.jdx; });
    renumber(__func__);
    return 0;
}

namespace {
// The name of a job about to be added: cut to size, usable as a file name, not taken.
// 0, -1, or JOB_ERR_NAME_EXISTS; the failure line names the caller.
int takeNewName(const char* caller, const char* name, char out[JOB_NAME_SIZE]) {
    cutName(name, out);
    if (!nameUsable(out)) {
        DBG_ERR_AS(caller, "invalid job name (%s)", out);
        return -1;
    }
    if (nameTaken(out, -1)) {
        DBG_ERR_AS(caller, "job name already used (%s)", out);
        return JOB_ERR_NAME_EXISTS;
    }
    return 0;
}
} // namespace

int job_new(const char* name) {
    if (!name) {
        DBG_ERR("name is null");
        return -1;
    }
    JobSlot j;
    if (int rc = takeNewName(__func__, name, j.e.name); rc != 0) return rc;
    // Every entry already holds its position: the new one is last.
    j.e.jdx = uint32_t(job.jobs.size());
    j.file = job_file_path(j.e.name);
    job.jobs.push_back(j);
    JobHeader h;
    memcpy(h.sign, "zqc.job.", 8);
    h.reserved_marker[1] = 1;
    h.entry = j.e;
    std::string image(JOB_HEADER_SIZE, '\0');
    job_encode_header(h, reinterpret_cast<uint8_t*>(image.data()));
    return storeFile(__func__, j.file, image);
}

namespace {
// Swaps list positions a and a+1 and stores the new positions in their files.
void swapJobs(const char* caller, size_t a) {
    std::swap(job.jobs[a], job.jobs[a + 1]);
    renumber(caller);
}
} // namespace

int job_move_up(int jdx) {
    if (jdx < 1 || !validJdx(jdx)) {
        DBG_ERR("invalid job index, %d / %d", jdx, int(job.jobs.size()));
        return 0;
    }
    swapJobs(__func__, size_t(jdx - 1));
    return 0;
}

int job_move_down(int jdx) {
    if (!validJdx(jdx) || !validJdx(jdx + 1)) {
        DBG_ERR("invalid job index, %d / %d", jdx, int(job.jobs.size()));
        return 0;
    }
    swapJobs(__func__, size_t(jdx));
    return 0;
}

int job_delete(int jdx) {
    if (!validJdx(jdx)) {
        DBG_ERR("invalid job index, %d / %d", jdx, int(job.jobs.size()));
        return -1;
    }
    const std::string& path = job.jobs[size_t(jdx)].file;
    // A file that is already gone leaves only its entry to remove.
    if (remove(path.c_str()) != 0 && errno != ENOENT) {
        DBG_ERR("g_remove return fail (%s)", path.c_str());
        return -1;
    }
    // A later job under the same file is not the loaded one.
    if (job.loadedFile == path) job.loadedFile.clear();
    job.jobs.erase(job.jobs.begin() + jdx);
    renumber(__func__);
    return 0;
}

int job_copy(int jdx, const char* name) {
    if (!validJdx(jdx) || !name) {
        DBG_ERR("invalid parameters (%d, %p)", jdx, static_cast<const void*>(name));
        return -1;
    }
    JobSlot j = job.jobs[size_t(jdx)];
    if (int rc = takeNewName(__func__, name, j.e.name); rc != 0) return rc;
    j.e.jdx = uint32_t(job.jobs.size());
    j.file = job_file_path(j.e.name);
    std::string image;
    int rc = readJobFile("modify_jobheader_name", job.jobs[size_t(jdx)].file, image);
    job.jobs.push_back(j);
    if (rc != 0) return -1;
    putHeaderJdx(image, j.e.jdx);
    putHeaderName(image, j.e.name);
    return storeFile("modify_jobheader_name", j.file, image);
}

int job_load(int jdx) {
    job.steps.clear();
    job.loaded = true;
    job.header = JobHeader{};
    job.loadedFile.clear();
    if (!validJdx(jdx)) {
        DBG_ERR("invalid job index, %d / %d", jdx, int(job.jobs.size()));
        return -1;
    }
    job.loadedFile = job.jobs[size_t(jdx)].file;
    const std::string& path = job.loadedFile;
    // Only a regular file is read: a FIFO put in its place must not hang the screen.
    FILE* f = Common_FopenRegular(path, "rb");
    if (!f) {
        DBG_ERR("%s open fail : %s", path.c_str(), strerror(errno));
        return -1;
    }
    uint8_t head[JOB_HEADER_SIZE];
    size_t n = fread(head, 1, sizeof head, f);
    if (n != sizeof head) {
        DBG_ERR("header read fail, expect %d but %d : %s", int(sizeof head), int(n),
                strerror(errno));
        fclose(f);
        return -1;
    }
    job_decode_header(head, &job.header);
    uint32_t count = job.header.entry.steps;
    for (uint32_t i = 0; i < count; ++i) {
        StepRecord r;
        n = fread(r.b, 1, sizeof r.b, f);
        if (n != sizeof r.b) {
            DBG_ERR("step(%d/%d) read fail, expect %d but %d : %s", int(i + 1), int(count),
                    int(sizeof r.b), int(n), ferror(f) ? strerror(errno) : "end of file");
            break; // nothing can follow the end of the file
        }
        job.steps.push_back(r);
    }
    fclose(f);
    return job.steps.size() == count ? 0 : -1;
}

int job_save(int jdx) {
    if (!job.loaded || !validJdx(jdx)) {
        DBG_ERR("invalid parameters (%p, %d, %d)",
                job.loaded ? static_cast<const void*>(job.steps.data()) : nullptr, jdx,
                int(job.jobs.size()));
        return -1;
    }
    // An index that points at another job would overwrite that job's file.
    JobSlot& slot = job.jobs[size_t(jdx)];
    if (job.loadedFile.empty() || slot.file != job.loadedFile) {
        DBG_ERR("job %d is %s, not the loaded job (%s)", jdx, slot.file.c_str(),
                job.loadedFile.c_str());
        return -1;
    }
    JobListEntry& h = job.header.entry;
    h.steps = uint32_t(job.steps.size());
    h.total_screws = 0;
    for (auto& c : h.counters)
        c = 0;
    for (const auto& s : job.steps) {
        uint32_t t = step_type(s);
        if (t < STEP_TYPE_COUNT) ++h.counters[t];
        if (t == STEP_FASTENING) h.total_screws += job_get_u32(s.b + SF_SCREWS);
    }
    // The job is stored under its list position and its current name.
    h.jdx = uint32_t(jdx);
    memcpy(h.name, slot.e.name, JOB_NAME_SIZE);
    memcpy(job.header.sign, "zqc.job.", 8);
    std::string image(JOB_HEADER_SIZE + STEP_RECORD_SIZE * job.steps.size(), '\0');
    auto* p = reinterpret_cast<uint8_t*>(image.data());
    job_encode_header(job.header, p);
    for (size_t i = 0; i < job.steps.size(); ++i)
        memcpy(p + JOB_HEADER_SIZE + STEP_RECORD_SIZE * i, job.steps[i].b, STEP_RECORD_SIZE);
    if (storeFile(__func__, slot.file, image) != 0) return -1;
    slot.e = h; // the list shows only what the file holds
    return 0;
}

void job_free() {
    job.steps.clear();
    job.steps.shrink_to_fit();
    job.loaded = false;
    job.loadedFile.clear();
}

int step_new(uint32_t type) {
    if (type >= STEP_TYPE_COUNT) {
        DBG_ERR("invalid step type (%d)", int(type));
        return -1;
    }
    if (!job.loaded) {
        DBG_ERR("no job loaded");
        return -1;
    }
    StepRecord r;
    uint32_t n = ++job.header.entry.counters[type];
    char name[JOB_NAME_SIZE];
    snprintf(name, sizeof name, kStepNameFmt[type], int(n));
    job_put_u32(r.b + SR_TYPE, type);
    step_set_name(&r, name);
    if (type == STEP_OUTPUT) job_put_u32(r.b + SO_WIDTH, 100);
    job.steps.push_back(r);
    ++job.header.entry.steps;
    return 0;
}

int step_move_up(int sdx) {
    if (sdx < 1 || !validSdx(sdx)) {
        DBG_ERR("invalid parameters (%p, %d, %d)", static_cast<const void*>(job.steps.data()), sdx,
                int(job.steps.size()));
        return -1;
    }
    std::swap(job.steps[size_t(sdx) - 1], job.steps[size_t(sdx)]);
    return 0;
}

int step_move_down(int sdx) {
    if (!validSdx(sdx) || !validSdx(sdx + 1)) {
        DBG_ERR("invalid parameters (%p, %d, %d)", static_cast<const void*>(job.steps.data()), sdx,
                int(job.steps.size()));
        return -1;
    }
    std::swap(job.steps[size_t(sdx)], job.steps[size_t(sdx) + 1]);
    return 0;
}

int step_delete(int sdx) {
    if (!validSdx(sdx)) {
        DBG_ERR("invalid parameters (%p, %d, %d)", static_cast<const void*>(job.steps.data()), sdx,
                int(job.steps.size()));
        return -1;
    }
    uint32_t t = step_type(job.steps[size_t(sdx)]);
    if (t < STEP_TYPE_COUNT && job.header.entry.counters[t] > 0) --job.header.entry.counters[t];
    job.steps.erase(job.steps.begin() + sdx);
    if (job.header.entry.steps > 0) --job.header.entry.steps;
    return 0;
}

int step_copy(int sdx) {
    if (!validSdx(sdx)) {
        DBG_ERR("invalid parameters (%p, %d, %d)", static_cast<const void*>(job.steps.data()), sdx,
                int(job.steps.size()));
        return -1;
    }
    StepRecord r = job.steps[size_t(sdx)];
    char src[JOB_NAME_SIZE];
    step_name(r, src);
    std::string name = std::string(src) + "-copy";
    step_set_name(&r, name.c_str());
    uint32_t t = step_type(r);
    if (t < STEP_TYPE_COUNT) ++job.header.entry.counters[t];
    job.steps.push_back(r);
    ++job.header.entry.steps;
    return 0;
}

const char* get_jobname_jdx(int jdx) {
    if (!validJdx(jdx)) {
        DBG_ERR("invalid job index (%d)", jdx);
        return nullptr;
    }
    memcpy(job.nameBuf, job.jobs[size_t(jdx)].e.name, JOB_NAME_SIZE);
    return job.nameBuf;
}

int set_jobname_jdx(int jdx, const char* name) {
    if (!validJdx(jdx) || !name) {
        DBG_ERR("invalid parameters (%d, %p)", jdx, static_cast<const void*>(name));
        return -1;
    }
    char newName[JOB_NAME_SIZE];
    cutName(name, newName);
    if (!nameUsable(newName)) {
        DBG_ERR("invalid job name (%s)", newName);
        return -1;
    }
    if (nameTaken(newName, jdx)) {
        DBG_ERR("job name already used (%s)", newName);
        return JOB_ERR_NAME_EXISTS;
    }
    JobSlot& j = job.jobs[size_t(jdx)];
    std::string newPath = job_file_path(newName);
    // The renamed file is complete before the old one goes: a power cut leaves the job
    // under the old name, or under both, never under neither.
    std::string image;
    int r1 = readJobFile(__func__, j.file, image);
    int r2 = -1;
    if (r1 == 0) {
        putHeaderName(image, newName);
        r2 = storeFile(__func__, newPath, image);
        if (r2 == 0 && newPath != j.file && unlink(j.file.c_str()) != 0) {
            DBG_ERR("g_rename fail (%s -> %s) : %s", j.file.c_str(), newPath.c_str(),
                    strerror(errno));
            r2 = -1;
        }
    }
    if (r1 != 0 || r2 != 0) {
        DBG_ERR("job rename fail (%d, %d, %d)", r1, r2, jdx);
        return -1;
    }
    if (job.loadedFile == j.file) job.loadedFile = newPath;
    memcpy(j.e.name, newName, JOB_NAME_SIZE);
    j.file = newPath;
    return 0;
}

const char* get_stepname_sdx(int sdx) {
    if (!validSdx(sdx)) {
        DBG_ERR("invalid sdx (%d,%d)", sdx, int(job.steps.size()));
        return nullptr;
    }
    step_name(job.steps[size_t(sdx)], job.stepNameBuf);
    return job.stepNameBuf;
}

int set_stepname_sdx(int sdx, const char* name) {
    if (!validSdx(sdx) || !name) {
        DBG_ERR("invalid sdx (%d,%d)", sdx, int(job.steps.size()));
        return -1;
    }
    step_set_name(&job.steps[size_t(sdx)], name);
    return 0;
}

int find_jdx_by_name(const char* name) {
    if (!name) return -1;
    for (size_t i = 0; i < job.jobs.size(); ++i)
        if (strcmp(job.jobs[i].e.name, name) == 0) return int(i);
    return -1;
}

int job_list_len() {
    return int(job.jobs.size());
}
const JobListEntry* job_list_entry(int jdx) {
    return validJdx(jdx) ? &job.jobs[size_t(jdx)].e : nullptr;
}
bool job_is_loaded() {
    return job.loaded;
}
int job_steps_len() {
    return job.loaded ? int(job.steps.size()) : 0;
}
JobHeader* job_loaded_header() {
    return &job.header;
}
StepRecord* job_step(int sdx) {
    return validSdx(sdx) ? &job.steps[size_t(sdx)] : nullptr;
}
