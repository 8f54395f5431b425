// Fuzz target: the wave header reader of the sound player.
#include "sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SoundWaveInfo info{};
    if (Sound_ParseWave(data, size, &info) == 0) {
        // The samples must lie inside the file.
        if (info.dataOffset > size || info.dataLength > size - info.dataOffset) __builtin_trap();
        if (info.channels == 0) __builtin_trap();
    }
    return 0;
}
