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
