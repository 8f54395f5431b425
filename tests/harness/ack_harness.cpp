// A panel without screens for the process tests of the result log: the driver layer in
// the data home given as argument, whose "./regtools" names the tools. Every connected
// tool is unlocked with its events on; every result is logged and acknowledged through
// the log writer, as the job screen does. Prints "connected T" per tool; runs until killed.
#include "RecordingSink.h"
#include "common.h"
#include "disco.h"
#include "eventlog.h"
#include "ew_driver.h"
#include "mbus.h"
#include "operation.h"
#include "tools.h"

#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace {
class AckSink : public RecordingSink {
  public:
    void UpdateRegtools(int32_t tdx, int32_t state) override {
        if (state != TOOL_STATE_CONNECTED) return;
        Modbus_Write(tdx, MBUS_REG_TOOL_LOCK, 0, 1);
        fastening_event_enable(tdx, 1);
        std::printf("connected %d\n", tdx);
        std::fflush(stdout);
    }
    void TriggerFastenEvent(int32_t tdx) override {
        FastenResult r{};
        if (Operation_TakeEvent(tdx, &r) != 0) return;
        struct tm now;
        Common_LocalTime(&now);
        std::string name = EventLog_ToolName(tdx);
        EventLog_Queue(EventLog_FormatLine(now, "", "", "-", name.c_str(), r), tdx);
    }
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || Common_SetHome(argv[1]) != 0) {
        std::fprintf(stderr, "usage: ack_harness HOME\n");
        return 2;
    }
    static AckSink sink;
    if (EwDriver_Initialize(&sink) != 0) return 1;
    Disco_Send_ScanReq(0);
    const int fd = EwDriver_GetWakeFd();
    for (int idle = 0;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 500) > 0) {
            uint64_t v;
            (void)!read(fd, &v, sizeof v);
        } else if (++idle % 4 == 0) {
            Disco_Send_ScanReq(1); // keep-alive scan, as the panel's timer sends
        }
        EwDriver_ProcessData();
    }
}
