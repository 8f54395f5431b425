#include "wire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

namespace toolsim {

const char* familyName(uint8_t type) {
    switch (type) {
    case 1:
        return "XWC";
    case 2:
        return "ZQ";
    case 3:
        return "ZQT";
    case 4:
        return "XWTC";
    default:
        return "";
    }
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v >> 16));
    put16(p + 2, static_cast<uint16_t>(v));
}

uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void encodeToolInfo(const ToolIdentity& id, uint8_t* out) {
    std::memset(out, 0, kToolInfoSize);
    std::memcpy(out, id.serial.data(), std::min<size_t>(id.serial.size(), 15));
    put32(out + 16, id.model);
    put32(out + 20, id.ip);
    put16(out + 24, id.port);
    std::memcpy(out + 26, id.mac, 6);
    out[32] = id.busy ? 1 : 0;
    put16(out + 33, id.version);
    out[35] = id.type;
}

static void putHeader(uint8_t* p, uint16_t type) {
    p[0] = 0x34;
    p[1] = 0x12;
    put16(p + 2, type);
}

std::vector<uint8_t> encodeAck(uint16_t type, const ToolIdentity& id) {
    std::vector<uint8_t> out(4 + kToolInfoSize);
    putHeader(out.data(), type);
    encodeToolInfo(id, out.data() + 4);
    return out;
}

std::vector<uint8_t> encodeAdvertise(uint8_t cause, const ToolIdentity& id) {
    std::vector<uint8_t> out(5 + kToolInfoSize);
    putHeader(out.data(), kAdvertise);
    out[4] = cause;
    encodeToolInfo(id, out.data() + 5);
    return out;
}

int decodeDiscoRequest(const uint8_t* data, size_t len, DiscoRequest* out) {
    if (!data || len < 4) return -1;
    out->type = get16(data + 2);
    out->text.clear();
    if (out->type == kSearchReq) {
        if (len < 20) return -1;
        size_t n = 0;
        while (n < 16 && data[4 + n] != 0)
            n++;
        out->text.assign(reinterpret_cast<const char*>(data + 4), n);
    }
    return 0;
}

bool searchMatches(const std::string& text, const ToolIdentity& id) {
    if (text.empty()) return true;
    if (id.serial.compare(0, text.size(), text) == 0) return true;
    return text == std::string(familyName(id.type)) + std::to_string(id.model);
}

std::vector<uint8_t> encodeEventFrame(uint8_t type, uint16_t transaction, const EventRecord& r) {
    const bool ctl = isController(type);
    const size_t size = ctl ? kControllerFrameSize : kDriverFrameSize;
    std::vector<uint8_t> f(size, 0);
    put16(&f[0], transaction);
    put16(&f[2], 0);
    put16(&f[4], static_cast<uint16_t>(size - 6));
    f[6] = 0xFF;
    f[7] = 0x03;
    f[8] = static_cast<uint8_t>(size - 9);
    const uint16_t regs[14] = {r.number, r.fastenTime, r.preset, r.targetTorque, r.convTorque,
                               r.speed,  r.a1,         r.a2,     r.a3,           r.screwNo,
                               r.error,  r.direction,  r.status, r.snug};
    for (int i = 0; i < 14; i++)
        put16(&f[9 + 2 * i], regs[i]);
    const size_t n = std::min<size_t>(r.barcode.size(), 32);
    for (size_t i = 0; i < n; i++) {
        const uint8_t c = static_cast<uint8_t>(r.barcode[i]);
        if (ctl)
            put16(&f[37 + 2 * i], c); // one character in the low byte of each register
        else
            f[37 + i] = c; // the 33rd byte stays the terminator
    }
    return f;
}

std::vector<uint8_t> cutFrame(std::vector<uint8_t> f, size_t size) {
    f.resize(std::max<size_t>(size, 9), 0);
    put16(&f[4], static_cast<uint16_t>(f.size() - 6));
    f[8] = static_cast<uint8_t>(f.size() - 9);
    return f;
}

std::vector<uint8_t> encodeCurveFrame(uint16_t transaction, const CurveRecord& c) {
    const size_t n = c.samples1.size();
    const bool two = c.channel2 != 0;
    const size_t size = 40 + (two ? 4 : 2) * n;
    std::vector<uint8_t> f(size, 0);
    put16(&f[0], transaction);
    put16(&f[4], static_cast<uint16_t>(size - 6));
    f[6] = 0xFF;
    f[7] = 0x03;
    f[8] = static_cast<uint8_t>(size - 9 > 255 ? 255 : size - 9);
    put16(&f[10], c.channel1);
    put16(&f[12], c.channel2);
    put16(&f[18], static_cast<uint16_t>(n));
    const uint16_t vals[10] = {c.fastenTime, c.targetTorque, c.convTorque, c.speed, c.angle1,
                               c.angle2,     c.snugAngle,    c.error,      c.count, c.status};
    for (int i = 0; i < 10; i++)
        put16(&f[20 + 2 * i], vals[i]);
    for (size_t i = 0; i < n; i++)
        put16(&f[40 + 2 * i], static_cast<uint16_t>(c.samples1[i]));
    if (two)
        for (size_t i = 0; i < n; i++) {
            const int16_t s = i < c.samples2.size() ? c.samples2[i] : 0;
            put16(&f[40 + 2 * n + 2 * i], static_cast<uint16_t>(s));
        }
    return f;
}

int parseMalformed(const std::string& name, Malformed* out) {
    static const struct {
        const char* name;
        Malformed kind;
    } table[] = {{"short", Malformed::Short},       {"long", Malformed::Long},
                 {"huge", Malformed::Huge},         {"badlen", Malformed::BadLength},
                 {"badcount", Malformed::BadCount}, {"garbage", Malformed::Garbage}};
    for (const auto& e : table)
        if (name == e.name) {
            *out = e.kind;
            return 0;
        }
    return -1;
}

std::vector<uint8_t> encodeMalformed(Malformed kind, uint8_t type, uint16_t transaction,
                                     size_t garbageLen, uint32_t seed) {
    EventRecord r;
    r.number = transaction;
    r.status = 1;
    r.convTorque = 0xBAD;
    std::vector<uint8_t> f = encodeEventFrame(type, transaction, r);
    switch (kind) {
    case Malformed::Short: // 36 bytes, consistent header: one byte short of the fixed part
        f = cutFrame(f, 36);
        break;
    case Malformed::Long: // consistent header, 60 extra bytes of zeros
        f = cutFrame(f, f.size() + 60);
        break;
    case Malformed::Huge: // the largest frame a Modbus/TCP peer accepts
        f.resize(260, 0x55);
        put16(&f[4], 254);
        f[8] = 251;
        break;
    case Malformed::BadLength: // length field disagrees with the bytes sent
        put16(&f[4], 0x7FFF);
        break;
    case Malformed::BadCount: // byte count promises more than is sent
        f[8] = 200;
        break;
    case Malformed::Garbage: {
        f.assign(garbageLen ? garbageLen : 50, 0);
        uint32_t x = seed ? seed : 0x9E3779B9u;
        for (auto& b : f) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<uint8_t>(x);
        }
        break;
    }
    }
    return f;
}

std::vector<uint8_t> encodeRegtoolsRecord(const ToolIdentity& id) {
    std::vector<uint8_t> r(kRegtoolsRecordSize, 0);
    const std::string serial = id.serial.substr(0, 15);
    const std::string name = (std::string(familyName(id.type)) + serial).substr(0, 32);
    std::memcpy(&r[0], name.data(), name.size());
    std::memcpy(&r[33], serial.data(), serial.size());
    for (int i = 0; i < 4; i++)
        r[52 + static_cast<size_t>(i)] = static_cast<uint8_t>(id.model >> (8 * i));
    std::memcpy(&r[56], id.mac, 6);
    char def[32];
    std::snprintf(def, sizeof def, "%s%02x%02x%02x%02x%02x%02x", familyName(id.type), id.mac[0],
                  id.mac[1], id.mac[2], id.mac[3], id.mac[4], id.mac[5]);
    std::memcpy(&r[62], def, std::min<size_t>(std::strlen(def), 16)); // 16 characters: no NUL
    r[78] = id.type;
    return r;
}

std::string macText(const uint8_t mac[6]) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

int parseMac(const std::string& text, uint8_t mac[6]) {
    unsigned v[6];
    char tail;
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &tail) != 6)
        return -1;
    for (int i = 0; i < 6; i++) {
        if (v[i] > 255) return -1;
        mac[i] = static_cast<uint8_t>(v[i]);
    }
    return 0;
}

std::string ipText(uint32_t hostOrder) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", hostOrder >> 24, (hostOrder >> 16) & 255,
                  (hostOrder >> 8) & 255, hostOrder & 255);
    return buf;
}

int parseIp(const std::string& text, uint32_t* hostOrder) {
    in_addr a;
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return -1;
    *hostOrder = ntohl(a.s_addr);
    return 0;
}

} // namespace toolsim
