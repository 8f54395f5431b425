// Device-object family "settings", its properties: the accessors of every row of
// DeviceSettingsTable.h. A getter reads the field of the settings record into the shadow
// field and returns it; a setter writes the field, applies and saves where the row says
// so, and notifies where the row says so.
#include "ApplicationDeviceClass.h"
#include "setting.h"

#include <type_traits>

namespace {
template <class T> T fromField(const uint32_t& word) {
    if constexpr (std::is_same_v<T, bool>)
        return word == 1; // "true" is exactly 1, as the file writer reads it
    else
        return T(word);
}

template <class T> T fromField(const int32_t& word) {
    return T(word);
}

template <class T, size_t N> T fromField(const char (&text)[N]) {
    return ApplicationDeviceClass::FromNative(setting_get_str(text).c_str());
}

void toField(uint32_t& word, bool value) {
    word = value ? 1 : 0;
}
void toField(uint32_t& word, int value) {
    word = uint32_t(value);
}
void toField(int32_t& word, int value) {
    word = value;
}
void toField(uint32_t& word, uint value) {
    word = value;
}
template <size_t N> void toField(char (&text)[N], const QString& value) {
    QByteArray native = ApplicationDeviceClass::ToNative(value);
    setting_set_str(text, N, native.constData());
}

void applyAndSave(int (*apply)()) {
    if (!apply) return;
    apply();
    save_setting();
}
} // namespace

#define KEST_SETTING_NOTIFY_NOTIFY(Name) emit Name##Changed();
#define KEST_SETTING_NOTIFY_SILENT(Name)
#define KEST_SETTING_DEFINE(Kind, Name, Field, Observers, Apply)                                   \
    KEST_SETTING_TYPE_##Kind ApplicationDeviceClass::OnGet##Name() {                               \
        Name##_ = fromField<KEST_SETTING_TYPE_##Kind>(get_setting()->Field);                       \
        return Name##_;                                                                            \
    }                                                                                              \
    void ApplicationDeviceClass::OnSet##Name(KEST_SETTING_ARG_##Kind value) {                      \
        toField(get_setting()->Field, value);                                                      \
        applyAndSave(Apply);                                                                       \
        KEST_SETTING_NOTIFY_##Observers(Name)                                                      \
    }
KEST_SETTING_PROPERTIES(KEST_SETTING_DEFINE)
#undef KEST_SETTING_DEFINE
