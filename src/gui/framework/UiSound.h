// The three sounds of the screens (tap, OK, NG) behind one hook, so framework dialogs
// can play them without knowing the sound module; the application installs the sink.
#pragma once

#include <functional>

enum class UiSoundKind { Tap, Ok, Ng };
using UiSoundSink = std::function<void(UiSoundKind)>;

void UiSound_SetSink(UiSoundSink sink);
void UiSound_Play(UiSoundKind kind);
inline void UiSound_Tap() {
    UiSound_Play(UiSoundKind::Tap);
}
inline void UiSound_Ok() {
    UiSound_Play(UiSoundKind::Ok);
}
inline void UiSound_Ng() {
    UiSound_Play(UiSoundKind::Ng);
}
