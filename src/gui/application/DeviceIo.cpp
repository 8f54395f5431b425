// Device-object family "digital I/O": outputs by position or by function, input levels
// and edges.
#include "ApplicationDeviceClass.h"
#include "debug.h"
#include "io.h"
#include "setting.h"

void ApplicationDeviceClass::SetGpioOutVal(int32_t i, int32_t level) {
    set_gpio_out_val(((i % IO_PORT_COUNT) + IO_PORT_COUNT) % IO_PORT_COUNT, level);
}

int32_t ApplicationDeviceClass::SetSysOutLevel(int32_t f, int32_t level) {
    if (f < 1 || f >= IO_OUTPUT_FUNC_COUNT) return 0;
    const SettingIo* io = get_setting_io();
    int32_t count = 0;
    for (int i = 0; i < IO_PORT_COUNT; ++i) {
        if (io->output[i] != uint32_t(f)) continue;
        set_gpio_out_val(i, level);
        ++count;
    }
    return count;
}

void ApplicationDeviceClass::OutputOffAll() {
    for (int i = 0; i < IO_PORT_COUNT; ++i)
        set_gpio_out_val(i, 0);
}

void ApplicationDeviceClass::SetInputEdge(int32_t i, int32_t edge) {
    if (i < 0 || i >= IO_PORT_COUNT) {
        DBG_ERR("invalid input %d", i);
        return;
    }
    set_gpio_edge(gpio_in_no[i], edge);
}

int32_t ApplicationDeviceClass::GetInputStatus(int32_t i) {
    return get_gpio_in_val(i);
}

int32_t ApplicationDeviceClass::GetOutputStatus(int32_t i) {
    return get_gpio_out_val(i);
}
