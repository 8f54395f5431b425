#include "sound.h"

#include "common.h"
#include "debug.h"
#include "threads.h"
#include "wire_util.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
struct SoundEntry {
    uint8_t* data = nullptr; // file bytes plus 2048 spare, null when silent
    size_t length = 0;
};

struct SoundState {
    SoundEntry table[SOUND_COUNT];
    snd_pcm_t* pcm = nullptr;
    std::atomic<WorkQueue*> msgQ{nullptr};
};
SoundState soundCtx;

const char* const soundFiles[SOUND_COUNT] = {"tab.wav", "ok.wav", "ng.wav"};
constexpr const char* kSoundDir = "./sound";
constexpr size_t kSpare = 2048;

uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

void loadOne(int number) {
    char path[256];
    snprintf(path, sizeof path, "%s/%s", kSoundDir, soundFiles[number]);
    std::string whole;
    if (Common_ReadFile(path, whole) != 0) {
        DBG_ERR("%s read fail. ", path);
        return;
    }
    size_t length = whole.size();
    auto* buf = static_cast<uint8_t*>(calloc(1, length + kSpare));
    if (!buf) {
        DBG_ERR("%s read fail. ", path);
        return;
    }
    FILE* f = fopen(path, "rb");
    size_t got = f ? fread(buf, 1, length, f) : 0;
    if (f) fclose(f);
    if (got < length) {
        DBG_ERR("%s read fail. ", path);
        free(buf);
        return;
    }
    soundCtx.table[number].data = buf;
    soundCtx.table[number].length = length;
}

// Worker side of the queue: one request played to the end per dispatch.
void procMsg(void* item) {
    auto* number = static_cast<int32_t*>(item);
    Sound_Play(*number);
    delete number;
}

void report(const char* fmt, int err) {
    printf(fmt, snd_strerror(err));
    fflush(stdout);
}
} // namespace

int Sound_ParseWave(const uint8_t* bytes, size_t length, SoundWaveInfo* out) {
    if (!bytes || !out || length < 44) return -1;
    if (memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return -1;
    out->channels = le16(bytes + 22);
    out->rate = le32(bytes + 24);
    // Samples follow the header of the "data" chunk; walk the chunks to find it.
    size_t pos = 12;
    while (pos + 8 <= length) {
        uint32_t size = le32(bytes + pos + 4);
        if (memcmp(bytes + pos, "data", 4) == 0) {
            out->dataOffset = pos + 8;
            size_t avail = length - out->dataOffset;
            out->dataLength = size < avail ? size : avail;
            return out->channels ? 0 : -1;
        }
        size_t next = pos + 8 + size_t(size) + (size & 1);
        if (next <= pos) return -1;
        pos = next;
    }
    return -1;
}

int Sound_InstallMissing(const char* from) {
    int copied = 0;
    for (const char* name : soundFiles) {
        std::string to = std::string(kSoundDir) + "/" + name;
        std::string src = std::string(from ? from : "") + "/" + name;
        if (Common_Exists(to) || !from || !Common_Exists(src)) continue;
        std::string bytes;
        if (Common_ReadFile(src, bytes) != 0 || Common_MkdirP(kSoundDir) != 0 ||
            Common_WriteFileAtomic(to, bytes.data(), bytes.size()) != 0) {
            DBG_ERR("%s: cannot copy %s (%s)", to.c_str(), src.c_str(), strerror(errno));
            return -1;
        }
        ++copied;
    }
    return copied;
}

int Sound_Init() {
    // A new data home gets the installed copies (<prefix>/share/zqcapp/sound beside the
    // program's <prefix>/bin); a sound the site replaced stays.
    if (const char* from = getenv("KEST_SOUND_SOURCE")) {
        Sound_InstallMissing(from);
    } else {
        char exe[4096];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) {
            std::string dir(exe, size_t(n));
            dir.erase(dir.find_last_of('/') + 1);
            Sound_InstallMissing((dir + "../share/zqcapp/sound").c_str());
        }
    }
    for (int i = 0; i < SOUND_COUNT; ++i)
        loadOne(i);
    int err = snd_pcm_open(&soundCtx.pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (err < 0) {
        report("ERROR: Cannot open pcm device. %s\n", err);
        soundCtx.pcm = nullptr;
    }
    // The sound worker owns the request queue from its start.
    Threads_AddSetup(LOOP_SOUND, [] {
        Sound_SetMsgQ(WorkQueue_New(Threads_GetContext(LOOP_SOUND), procMsg, SOUND_QUEUE_MAX));
    });
    Sound_Play(SOUND_TAB);
    return 0;
}

void Sound_SetMsgQ(WorkQueue* queue) {
    soundCtx.msgQ.store(queue);
}
WorkQueue* Sound_GetMsgQ() {
    return soundCtx.msgQ.load();
}

int Sound_PushMsgQ(int32_t number) {
    WorkQueue* q = Sound_GetMsgQ();
    if (!q) return -1;
    auto* item = new int32_t(number);
    if (WorkQueue_Push(q, item) != 0) {
        delete item; // full: dropped silently
        return -1;
    }
    return 0;
}

size_t Sound_GetLength(int32_t number) {
    if (number < 0 || number >= SOUND_COUNT || !soundCtx.table[number].data) return 0;
    return soundCtx.table[number].length;
}

void Sound_Play(int32_t number) {
    if (number < 0 || number >= SOUND_COUNT) return;
    const SoundEntry& e = soundCtx.table[number];
    snd_pcm_t* pcm = soundCtx.pcm;
    if (!e.data || !pcm) return;
    SoundWaveInfo wave{};
    if (Sound_ParseWave(e.data, e.length, &wave) != 0) {
        DBG_ERR("%s is not a wave file", soundFiles[number]);
        return;
    }
    unsigned int channels = wave.channels;
    unsigned int rate = wave.rate;

    snd_pcm_hw_params_t* params = nullptr;
    int err = snd_pcm_hw_params_malloc(&params);
    if (err < 0) {
        report("ERROR: Cannot allocate hardware parameters. %s\n", err);
        return; // nothing can be configured without the set
    }
    if ((err = snd_pcm_hw_params_any(pcm, params)) < 0)
        report("ERROR: Cannot initialize hardware parameters. %s\n", err);
    if ((err = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        report("ERROR: Cannot set interleaved mode. %s\n", err);
    if ((err = snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16_LE)) < 0)
        report("ERROR: Cannot set PCM format. %s\n", err);
    if ((err = snd_pcm_hw_params_set_channels_near(pcm, params, &channels)) < 0)
        report("ERROR: Cannot set number of channels. %s\n", err);
    if ((err = snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr)) < 0)
        report("ERROR: Cannot set plyabck rate. %s\n", err);
    if ((err = snd_pcm_hw_params(pcm, params)) < 0)
        report("ERROR: Cannot set hardware parameters. %s\n", err);

    snd_pcm_uframes_t period = 0;
    if ((err = snd_pcm_hw_params_get_period_size(params, &period, nullptr)) < 0)
        report("Playback ERROR: Can't get period size. %s\n", err);
    if ((err = snd_pcm_hw_params_get_channels(params, &channels)) < 0)
        report("Playback ERROR: Can't get channel number. %s\n", err);
    if ((err = snd_pcm_hw_params_get_rate(params, &rate, nullptr)) < 0)
        report("ERROR: Cannot get rate. %s\n", err);
    snd_pcm_hw_params_free(params);
    if (period == 0 || channels == 0) return; // the device was not configured

    // Two periods per write; the frames left over go in one last short write.
    const size_t frameBytes = size_t(channels) * 2;
    const snd_pcm_uframes_t unitFrames = period * 2;
    const uint8_t* p = e.data + wave.dataOffset;
    size_t frames = wave.dataLength / frameBytes;
    bool retried = false;
    while (frames > 0) {
        snd_pcm_uframes_t n = frames >= unitFrames ? unitFrames : frames;
        snd_pcm_sframes_t r = snd_pcm_writei(pcm, p, n);
        if (r == -EPIPE) {
            fprintf(stderr, "underrun occurred\n");
            snd_pcm_prepare(pcm);
            // The chunk was not played: write it once more rather than skip it.
            if (!retried) {
                retried = true;
                continue;
            }
        } else if (r < 0) {
            report("ERROR: Cannot write to playback device. %s\n", int(r));
        }
        retried = false;
        // A short write goes on from the first frame not taken; a failed one skips the chunk.
        snd_pcm_uframes_t done = r > 0 ? snd_pcm_uframes_t(r) : n;
        p += done * frameBytes;
        frames -= done;
    }
    snd_pcm_drain(pcm);
}
