// Sound: the three wave files kept in memory and played through ALSA by the sound
// worker, fed by a small request queue so no caller waits for a sound to finish.
#pragma once

#include <cstddef>
#include <cstdint>

struct WorkQueue;

enum SoundNumber { SOUND_TAB = 0, SOUND_OK = 1, SOUND_NG = 2, SOUND_COUNT = 3 };

// Requests waiting beyond this many are dropped.
constexpr size_t SOUND_QUEUE_MAX = 10;

// Copies each of the three wave files missing in "./sound" from folder `from` (the
// installed copies), never replacing one that is there. The count copied, or -1.
int Sound_InstallMissing(const char* from);
// Installs missing sounds (from $KEST_SOUND_SOURCE, else the installed copies in
// ../share/zqcapp/sound from the program's folder), loads "./sound/tab.wav", "ok.wav", "ng.wav",
// opens the "default" playback device, registers the worker's queue set-up and plays the start-up
// sound. Returns 0.
int Sound_Init();
void Sound_SetMsgQ(WorkQueue* queue);
WorkQueue* Sound_GetMsgQ();
// Any thread: queues a request; returns 0, or -1 when it was dropped (queue full or
// not created yet).
int Sound_PushMsgQ(int32_t number);
// Plays one sound to the end on the calling thread; numbers above 2 are ignored.
void Sound_Play(int32_t number);

// Wave header as the player reads it: channels at byte 22, rate at byte 24, and the
// samples of the "data" chunk. Returns 0, or -1 for a file that is not a usable wave.
struct SoundWaveInfo {
    uint32_t channels;
    uint32_t rate;
    size_t dataOffset;
    size_t dataLength;
};
int Sound_ParseWave(const uint8_t* bytes, size_t length, SoundWaveInfo* out);

// Length in bytes of a loaded sound (0 when it is silent); for tests and the monitor.
size_t Sound_GetLength(int32_t number);
