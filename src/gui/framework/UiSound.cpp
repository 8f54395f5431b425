#include "UiSound.h"

namespace {
UiSoundSink& sink() {
    static UiSoundSink s;
    return s;
}
} // namespace

void UiSound_SetSink(UiSoundSink s) {
    sink() = std::move(s);
}

void UiSound_Play(UiSoundKind kind) {
    if (sink()) sink()(kind);
}
