// Byte layouts a virtual tool puts on the wire: discovery datagrams, fastening event
// frames and torque-curve frames. Pure functions, written independently of the panel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace toolsim {

constexpr const char* kDiscoGroup = "239.66.77.43";
constexpr uint16_t kDiscoPort = 53256;

enum DiscoType : uint16_t {
    kScanReq = 0x0001,
    kSearchReq = 0x0002,
    kAdvertise = 0x0081,
    kScanAck = 0x0082,
    kSearchAck = 0x0083,
};

// Tool types: 1 "XWC" and 4 "XWTC" are drive controllers, 2 "ZQ" and 3 "ZQT" drivers.
inline bool isController(uint8_t type) {
    return type == 1 || type == 4;
}
const char* familyName(uint8_t type);

struct ToolIdentity {
    std::string serial; // at most 15 characters go on the wire
    uint32_t model = 0;
    uint32_t ip = 0; // host order
    uint16_t port = 0;
    uint8_t mac[6] = {};
    bool busy = false;
    uint16_t version = 0;
    uint8_t type = 2;
};

void put16(uint8_t* p, uint16_t v);
void put32(uint8_t* p, uint32_t v);
uint16_t get16(const uint8_t* p);

constexpr size_t kToolInfoSize = 36;
void encodeToolInfo(const ToolIdentity& id, uint8_t* out);
// Scan ack (0x82) or search ack (0x83): 40 bytes.
std::vector<uint8_t> encodeAck(uint16_t type, const ToolIdentity& id);
// Advertise: 41 bytes, cause at byte 4 (any value, so tests can send invalid ones).
std::vector<uint8_t> encodeAdvertise(uint8_t cause, const ToolIdentity& id);

struct DiscoRequest {
    uint16_t type = 0;
    std::string text; // search text (type 2 only)
};
// 0 on success; -1 for a datagram shorter than the 4-byte header or a search request
// shorter than its 20 bytes. The two leading bytes are not checked.
int decodeDiscoRequest(const uint8_t* data, size_t len, DiscoRequest* out);
// A search names a tool by a prefix of its serial number or by its model text
// ("ZQ3020"); an empty text finds every tool.
bool searchMatches(const std::string& text, const ToolIdentity& id);

// One event of the tool: registers 0 to 13 of the frame and the barcode text.
struct EventRecord {
    uint16_t number = 0; // register 0: the tool's event number
    uint16_t fastenTime = 0, preset = 0, targetTorque = 0, convTorque = 0, speed = 0;
    uint16_t a1 = 0, a2 = 0, a3 = 0, screwNo = 0, error = 0, direction = 0, status = 0, snug = 0;
    std::string barcode; // at most 32 characters go on the wire
};

constexpr size_t kDriverFrameSize = 70;      // 37 + 33-byte NUL-terminated text
constexpr size_t kControllerFrameSize = 101; // 37 + 32 registers, one character each
// The event frame in the layout of the tool type.
std::vector<uint8_t> encodeEventFrame(uint8_t type, uint16_t transaction, const EventRecord& r);
// The frame cut to `size` bytes (at least 9), its length field and byte count made to
// match: 37 bytes is a result without barcode, less is short, more cuts the barcode.
std::vector<uint8_t> cutFrame(std::vector<uint8_t> frame, size_t size);

// Curve frame (sent on the data connection when armed): 40 bytes of header and result
// values, then n samples of channel 1 and, with a nonzero channel-2 code, n of channel 2.
struct CurveRecord {
    uint16_t channel1 = 1, channel2 = 0;
    uint16_t fastenTime = 0, targetTorque = 0, convTorque = 0, speed = 0, angle1 = 0, angle2 = 0,
             snugAngle = 0, error = 0, count = 0, status = 0;
    std::vector<int16_t> samples1, samples2;
};
std::vector<uint8_t> encodeCurveFrame(uint16_t transaction, const CurveRecord& c);

// Malformed event frames for robustness tests of the receiver.
enum class Malformed { Short, Long, Huge, BadLength, BadCount, Garbage };
int parseMalformed(const std::string& name, Malformed* out);
std::vector<uint8_t> encodeMalformed(Malformed kind, uint8_t type, uint16_t transaction,
                                     size_t garbageLen, uint32_t seed);

// The panel's 80-byte registered-tool record for this tool, as the panel would save it
// after registering the tool under its initial name (family prefix and serial number).
constexpr size_t kRegtoolsRecordSize = 80;
std::vector<uint8_t> encodeRegtoolsRecord(const ToolIdentity& id);

std::string macText(const uint8_t mac[6]);
int parseMac(const std::string& text, uint8_t mac[6]);
std::string ipText(uint32_t hostOrder);
int parseIp(const std::string& text, uint32_t* hostOrder);

} // namespace toolsim
