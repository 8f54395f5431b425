// Device-object family "sound": sound requests and the speaker volume.
#include "ApplicationDeviceClass.h"
#include "setting.h"
#include "sound.h"

void ApplicationDeviceClass::SoundTap() {
    Sound_PushMsgQ(SOUND_OK);
}

void ApplicationDeviceClass::SoundOk() {
    Sound_PushMsgQ(SOUND_OK);
    Sound_PushMsgQ(SOUND_OK);
}

void ApplicationDeviceClass::SoundNg() {
    Sound_PushMsgQ(SOUND_NG);
    Sound_PushMsgQ(SOUND_NG);
}

void ApplicationDeviceClass::OnSetVolume(int32_t index) {
    if (index < 0) index = 0;
    get_setting_system()->volume = uint32_t(index);
    apply_volume();
    save_setting();
    emit VolumeChanged();
}

int32_t ApplicationDeviceClass::OnGetVolume() {
    return int32_t(get_setting_system()->volume);
}
