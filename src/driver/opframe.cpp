// Open Protocol framer, request parsers and telegram builders. Everything is ASCII: numbers
// are fixed-width zero-padded decimals, texts fixed-width and blank-padded.
#include "opframe.h"

#include "resultstore.h"

#include <cstdio>
#include <cstring>

namespace {
bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Digits in buf[0..n): the value, or -1.
long digitsOf(const uint8_t* buf, size_t n) {
    long v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!isDigit(buf[i])) return -1;
        v = v * 10 + (buf[i] - '0');
    }
    return v;
}

// A header field that may be blank: digits with blanks around them, or blanks only
// (`blank`). The value, or -1 for anything else.
long fieldOf(const uint8_t* buf, size_t n, long blank) {
    size_t b = 0, e = n;
    while (b < e && buf[b] == ' ')
        ++b;
    while (e > b && buf[e - 1] == ' ')
        --e;
    if (b == e) return blank;
    return digitsOf(buf + b, e - b);
}

// The header's fields after length and MID (bytes 8..19). False when one cannot be read.
bool headerFields(const uint8_t* h, OpTelegram* t) {
    long rev = fieldOf(h + 8, 3, 1);
    if (rev < 0) return false;
    t->revision = rev == 0 ? 1 : int(rev);
    if (h[11] == '1')
        t->noAck = true;
    else if (h[11] == '0' || h[11] == ' ')
        t->noAck = false;
    else
        return false;
    long station = fieldOf(h + 12, 2, 0), spindle = fieldOf(h + 14, 2, 0),
         seq = fieldOf(h + 16, 2, 0), parts = fieldOf(h + 18, 1, 0), part = fieldOf(h + 19, 1, 0);
    if (station < 0 || spindle < 0 || seq < 0 || parts < 0 || part < 0) return false;
    t->station = int(station);
    t->spindle = int(spindle);
    t->sequence = int(seq);
    t->parts = int(parts);
    t->partNumber = int(part);
    return true;
}

const uint8_t* findNul(const uint8_t* b, const uint8_t* e) {
    return static_cast<const uint8_t*>(memchr(b, 0, size_t(e - b)));
}

void fail(OpFrameResult* out, int mid, size_t consumed) {
    out->status = OP_FRAME_ERROR;
    out->replyMid = mid;
    out->error = OP_ERR_INVALID_DATA;
    out->consumed = consumed;
}

// Drops through the next NUL at or after `from`, or everything when none has come.
size_t throughNul(const uint8_t* buf, size_t len, size_t from) {
    if (from >= len) return len;
    const uint8_t* nul = findNul(buf + from, buf + len);
    return nul ? size_t(nul - buf) + 1 : len;
}

void num(std::string& s, long long v, int width) {
    long long max = 1;
    for (int i = 0; i < width; ++i)
        max *= 10;
    if (v < 0) v = 0;
    if (v >= max) v = max - 1;
    char b[24];
    snprintf(b, sizeof b, "%0*lld", width, v);
    s += b;
}

void text(std::string& s, const std::string& v, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        unsigned char c = i < v.size() ? static_cast<unsigned char>(v[i]) : ' ';
        s += (c >= 0x20 && c < 0x7f) ? char(c) : ' ';
    }
}

// Parameter fields: a two-digit id, then the value.
void pnum(std::string& s, int id, long long v, int width) {
    num(s, id, 2);
    num(s, v, width);
}
void ptext(std::string& s, int id, const std::string& v, size_t width) {
    num(s, id, 2);
    text(s, v, width);
}

// "YYYY-MM-DD HH:MM:SS" as the telegrams write it, "YYYY-MM-DD:HH:MM:SS".
std::string stamp(const std::string& t) {
    std::string s = t.substr(0, 19);
    if (s.size() > 10 && s[10] == ' ') s[10] = ':';
    return s;
}

int okFlag(const StoredResult& r) {
    return r.status == 1 ? 1 : 0;
}

// Batch status: 1 when the step's count reached its size, 0 before, 2 without a step.
int batchStatus(const StoredResult& r) {
    if (r.extra.batchSize <= 0 || r.extra.batchCount < 0) return 2;
    return r.extra.batchCount >= r.extra.batchSize ? 1 : 0;
}

int channelOf(const StoredResult& r) {
    return r.extra.tdx >= 0 ? r.extra.tdx + 1 : 0;
}
} // namespace

void OpFrame_Parse(const uint8_t* buf, size_t len, OpFrameResult* out) {
    *out = OpFrameResult{};
    if (len == 0) return;
    // Length and MID must be digits; anything else before them is not a telegram.
    size_t lead = len < 8 ? len : 8;
    for (size_t i = 0; i < lead; ++i) {
        if (isDigit(buf[i])) continue;
        size_t skip = i;
        if (skip == 0)
            while (skip < len && !isDigit(buf[skip]))
                ++skip;
        out->status = OP_FRAME_SKIP;
        out->consumed = skip;
        return;
    }
    if (len < OP_HEADER_LEN) {
        const uint8_t* nul = findNul(buf, buf + len);
        if (nul) fail(out, int(digitsOf(buf + 4, 4)), size_t(nul - buf) + 1);
        return;
    }
    size_t length = size_t(digitsOf(buf, 4));
    int mid = int(digitsOf(buf + 4, 4));
    OpTelegram t;
    t.mid = mid;
    const uint8_t* early = findNul(buf, buf + (length < len ? length : len));
    if (early) { // the NUL came before the length said
        fail(out, mid, size_t(early - buf) + 1);
        return;
    }
    if (length < OP_HEADER_LEN || !headerFields(buf, &t)) {
        fail(out, mid, throughNul(buf, len, 8));
        return;
    }
    if (len <= length) return; // the data or the NUL is still to come
    if (buf[length] != 0) {
        // A digit where the NUL belongs is taken as the next telegram's header.
        fail(out, mid, isDigit(buf[length]) ? length : throughNul(buf, len, length));
        return;
    }
    t.data.assign(reinterpret_cast<const char*>(buf) + OP_HEADER_LEN, length - OP_HEADER_LEN);
    out->status = OP_FRAME_OK;
    out->consumed = length + 1;
    out->telegram = std::move(t);
}

int64_t OpParse_TighteningId(const std::string& data) {
    if (data.size() != 10) return -1;
    long long v = 0;
    for (char c : data) {
        if (!isDigit(uint8_t(c))) return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

int OpParse_JobId(int revision, const std::string& data) {
    size_t n = revision <= 1 ? 2 : 4;
    if (data.size() != n) return -1;
    return int(digitsOf(reinterpret_cast<const uint8_t*>(data.data()), n));
}

int OpParse_ParameterSet(const std::string& data) {
    if (data.size() != 3) return -1;
    return int(digitsOf(reinterpret_cast<const uint8_t*>(data.data()), 3));
}

int OpParse_Identifier(const std::string& data, std::string* out) {
    size_t e = data.size();
    while (e > 0 && data[e - 1] == ' ')
        --e;
    if (e == 0 || data.size() > size_t(OP_IDENT_MAX)) return -1;
    for (size_t i = 0; i < e; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 || c >= 0x7f) return -1;
    }
    if (out) out->assign(data, 0, e);
    return 0;
}

int OpFrame_MaxRevision(int mid) {
    switch (mid) {
    case OP_MID_START:
    case OP_MID_RESULT_SUBSCRIBE:
        return 3;
    case OP_MID_JOB_SELECT:
    case OP_MID_IDENT_SUBSCRIBE:
        return 2;
    case OP_MID_STOP:
    case OP_MID_ALARM_SUBSCRIBE:
    case OP_MID_PSET_SELECT:
    case OP_MID_TOOL_DISABLE:
    case OP_MID_TOOL_ENABLE:
    case OP_MID_IDENT_DOWNLOAD:
    case OP_MID_IDENT_ACK:
    case OP_MID_IDENT_UNSUBSCRIBE:
    case OP_MID_RESULT_ACK:
    case OP_MID_RESULT_UNSUBSCRIBE:
    case OP_MID_OLD_RESULT_REQUEST:
    case OP_MID_ALARM_ACK:
    case OP_MID_ALARM_UNSUBSCRIBE:
    case OP_MID_KEEP_ALIVE:
        return 1;
    default:
        return 0;
    }
}

std::string OpBuild(int mid, int revision, const std::string& data) {
    std::string s;
    s.reserve(OP_HEADER_LEN + data.size() + 1);
    num(s, long(OP_HEADER_LEN + data.size()), 4);
    num(s, mid, 4);
    num(s, revision, 3);
    s.append(9, ' '); // no-ack flag, station, spindle, sequence, parts: not used
    s += data;
    s += '\0';
    return s;
}

std::string OpBuild_Error(int mid, int error) {
    std::string d;
    num(d, mid, 4);
    num(d, error, 2);
    return OpBuild(OP_MID_ERROR, 1, d);
}

std::string OpBuild_Accepted(int mid) {
    std::string d;
    num(d, mid, 4);
    return OpBuild(OP_MID_ACCEPTED, 1, d);
}

std::string OpBuild_KeepAlive() {
    return OpBuild(OP_MID_KEEP_ALIVE, 1, "");
}

std::string OpBuild_StartAck(int revision, const OpIdentity& id) {
    std::string d;
    pnum(d, 1, id.cellId, 4);
    pnum(d, 2, id.channelId, 2);
    ptext(d, 3, id.controllerName, 25);
    if (revision >= 2) ptext(d, 4, id.supplierCode, 3);
    if (revision >= 3) {
        ptext(d, 5, id.protocolVersion, 19);
        ptext(d, 6, id.softwareVersion, 19);
        ptext(d, 7, id.toolVersion, 19);
    }
    return OpBuild(OP_MID_START_ACK, revision, d);
}

int OpFrame_JobNumber(const StoredResult& r) {
    return r.extra.jobIndex >= 0 ? r.extra.jobIndex + 1 : 0;
}

std::string OpBuild_Result(int revision, const StoredResult& r) {
    const int ok = okFlag(r);
    const int job = OpFrame_JobNumber(r);
    const int size = r.extra.batchSize > 0 ? r.extra.batchSize : 0;
    const int count = r.extra.batchCount > 0 ? r.extra.batchCount : 0;
    std::string d;
    pnum(d, 1, 0, 4); // cell
    pnum(d, 2, channelOf(r), 2);
    ptext(d, 3, r.tool, 25);
    ptext(d, 4, r.barcode, 25);
    if (revision <= 1) {
        pnum(d, 5, job <= 99 ? job : 0, 2); // a job beyond 99 has no number here
        pnum(d, 6, r.preset, 3);
        pnum(d, 7, size, 4);
        pnum(d, 8, count, 4);
        pnum(d, 9, ok, 1);
        pnum(d, 10, ok, 1); // torque status
        pnum(d, 11, ok, 1); // angle status
        pnum(d, 12, 0, 6);  // torque limits: the tool keeps them
        pnum(d, 13, 0, 6);
        pnum(d, 14, r.targetTorque, 6);
        pnum(d, 15, r.torque, 6);
        pnum(d, 16, 0, 5); // angle limits and target
        pnum(d, 17, 0, 5);
        pnum(d, 18, 0, 5);
        pnum(d, 19, r.a1, 5);
        ptext(d, 20, stamp(r.time), 19);
        ptext(d, 21, stamp(r.time), 19); // the preset's last change is not known: its use
        pnum(d, 22, batchStatus(r), 1);
        pnum(d, 23, r.id, 10);
        return OpBuild(OP_MID_RESULT, 1, d);
    }
    pnum(d, 5, job, 4);
    pnum(d, 6, r.preset, 3);
    pnum(d, 7, 0, 2); // strategy
    pnum(d, 8, 0, 5); // strategy options
    pnum(d, 9, size, 4);
    pnum(d, 10, count, 4);
    pnum(d, 11, ok, 1);
    pnum(d, 12, batchStatus(r), 1);
    pnum(d, 13, ok, 1); // torque status
    pnum(d, 14, ok, 1); // angle status
    for (int id = 15; id <= 19; ++id)
        pnum(d, id, 0, 1);    // rundown, current, self-tap, prevail
    pnum(d, 20, r.error, 10); // the tool's error code
    pnum(d, 21, 0, 6);
    pnum(d, 22, 0, 6);
    pnum(d, 23, r.targetTorque, 6);
    pnum(d, 24, r.torque, 6);
    pnum(d, 25, 0, 5);
    pnum(d, 26, 0, 5);
    pnum(d, 27, 0, 5);
    pnum(d, 28, r.a1, 5);
    for (int id = 29; id <= 31; ++id)
        pnum(d, id, 0, 5); // rundown angle
    for (int id = 32; id <= 34; ++id)
        pnum(d, id, 0, 3); // current monitoring
    for (int id = 35; id <= 40; ++id)
        pnum(d, id, 0, 6); // self-tap, prevail torque
    pnum(d, 41, r.id, 10);
    pnum(d, 42, 0, 5);    // job sequence number
    pnum(d, 43, 0, 5);    // sync tightening ID
    ptext(d, 44, "", 14); // tool serial number
    ptext(d, 45, stamp(r.time), 19);
    ptext(d, 46, stamp(r.time), 19);
    if (revision >= 3) {
        ptext(d, 47, "", 25); // preset name
        pnum(d, 48, 0, 1);    // torque unit: the tool's code has no counterpart here
        pnum(d, 49, 1, 2);    // result type: tightening
    }
    return OpBuild(OP_MID_RESULT, revision >= 3 ? 3 : 2, d);
}

std::string OpBuild_OldResult(const StoredResult& r) {
    const int ok = okFlag(r);
    std::string d;
    pnum(d, 1, r.id, 10);
    ptext(d, 2, r.barcode, 25);
    pnum(d, 3, r.preset, 3);
    pnum(d, 4, r.extra.batchCount > 0 ? r.extra.batchCount : 0, 4);
    pnum(d, 5, ok, 1);
    pnum(d, 6, ok, 1);
    pnum(d, 7, ok, 1);
    pnum(d, 8, r.torque, 6);
    pnum(d, 9, r.a1, 5);
    ptext(d, 10, stamp(r.time), 19);
    pnum(d, 11, batchStatus(r), 1);
    return OpBuild(OP_MID_OLD_RESULT, 1, d);
}

std::string OpBuild_Identifier(int revision, const std::string& code) {
    std::string d;
    if (revision <= 1) {
        text(d, code, 25);
        return OpBuild(OP_MID_IDENT, 1, d);
    }
    ptext(d, 1, code, 25);
    for (int id = 2; id <= 4; ++id)
        ptext(d, id, "", 25);
    return OpBuild(OP_MID_IDENT, 2, d);
}

std::string OpBuild_Alarm(int code, bool controllerReady, bool toolReady, const std::string& time) {
    std::string d;
    pnum(d, 1, code, 4);
    pnum(d, 2, controllerReady ? 1 : 0, 1);
    pnum(d, 3, toolReady ? 1 : 0, 1);
    ptext(d, 4, stamp(time), 19);
    return OpBuild(OP_MID_ALARM, 1, d);
}
