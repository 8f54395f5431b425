// Fuzz target: a spool or day file as a power cut or a torn mark can leave it. Taking it
// over never reads outside it, starts right after its mark or at a record, and cuts off
// at most one trailing partial record; the day file scan agrees.
#include "eventlog_private.h"
#include "scratch_home.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz_EnterScratchHome("files/log");
    const std::string path = "files/log/spool.csv";
    const std::string text(reinterpret_cast<const char*>(data), size > 4096 ? 4096 : size);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) __builtin_trap();
    EventLogScan scan;
    if (EventLog_ScanRecords(fd, 0, &scan) != 0) __builtin_trap();
    close(fd);
    if (scan.size != off_t(text.size()) || scan.end > scan.size) __builtin_trap();
    if (scan.end > 0 && text[size_t(scan.end) - 1] != '\n') __builtin_trap();
    // One partial record at most: no line in the cut part begins as a record does.
    for (size_t i = size_t(scan.end); i < text.size(); ++i)
        if (text[i] == '\n' && EventLog_IsRecordStart(text.data() + i + 1, text.size() - i - 1))
            __builtin_trap();
    EventLogSpoolFile f;
    const int rc = EventLog_SpoolAdopt(path, &f);
    if (rc < 0 || f.from < 0 || f.from > off_t(text.size())) __builtin_trap();
    // From the mark or a record's start; the end when no whole record follows.
    if (rc > 0 && f.from > 0 && text[size_t(f.from) - 1] != '\n') __builtin_trap();
    if (rc > 0) {
        std::vector<std::string> out;
        off_t next = 0;
        if (EventLog_SpoolReadSlice(f, out, &next) == 0 && (next <= f.from || out.empty()))
            __builtin_trap();
    }
    unlink(path.c_str());
    return 0;
}
