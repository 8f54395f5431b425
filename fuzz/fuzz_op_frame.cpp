// Fuzz target: the Open Protocol framer over a stream cut at fuzzer-chosen points, and each
// request parser on the data of what it frames. The framer always makes progress once a
// telegram's worth has come, never reads past the buffer, and what it frames builds back
// to the same bytes.
#include "opframe.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the read size, the rest is the stream.
    size_t chunk = size_t(data[0] % 31) + 1;
    std::string buf;
    size_t fed = 1;
    while (fed < size || !buf.empty()) {
        size_t n = std::min(chunk, size - fed);
        buf.append(reinterpret_cast<const char*>(data) + fed, n);
        fed += n;
        OpFrameResult r;
        OpFrame_Parse(reinterpret_cast<const uint8_t*>(buf.data()), buf.size(), &r);
        if (r.status == OP_FRAME_NEED_MORE) {
            if (r.consumed != 0) __builtin_trap();
            if (fed >= size) break; // the stream ended inside a telegram
            continue;
        }
        if (r.consumed == 0 || r.consumed > buf.size()) __builtin_trap();
        if (r.status == OP_FRAME_OK) {
            const OpTelegram& t = r.telegram;
            if (t.data.size() + OP_HEADER_LEN + 1 != r.consumed) __builtin_trap();
            std::string back = OpBuild(t.mid, t.revision, t.data);
            if (back.size() != r.consumed || back.compare(0, 8, buf, 0, 8) != 0 ||
                back.compare(OP_HEADER_LEN, std::string::npos, buf, OP_HEADER_LEN,
                             r.consumed - OP_HEADER_LEN) != 0)
                __builtin_trap();
            std::string ident;
            int64_t id = OpParse_TighteningId(t.data);
            int job = OpParse_JobId(t.revision, t.data);
            int pset = OpParse_ParameterSet(t.data);
            int v = OpParse_Identifier(t.data, &ident);
            if (id < -1 || job < -1 || pset < -1 || pset > 999) __builtin_trap();
            if (v == 0 && (ident.empty() || ident.size() > size_t(OP_IDENT_MAX))) __builtin_trap();
        }
        buf.erase(0, r.consumed);
    }
    return 0;
}
