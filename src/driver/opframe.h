// Open Protocol telegrams: the framer of the byte stream, the parsers of the request data
// the server takes and the builders of every telegram it sends. Pure: no socket, no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct StoredResult;

constexpr size_t OP_HEADER_LEN = 20;
constexpr size_t OP_LENGTH_MAX = 9999; // four digits, header and data counted
constexpr int OP_IDENT_MAX = 25;       // identifier (VIN) field

// MIDs the server takes or sends.
enum OpMid {
    OP_MID_START = 1,
    OP_MID_START_ACK = 2,
    OP_MID_STOP = 3,
    OP_MID_ERROR = 4,
    OP_MID_ACCEPTED = 5,
    OP_MID_PSET_SELECT = 18,
    OP_MID_JOB_SELECT = 38,
    OP_MID_TOOL_DISABLE = 42,
    OP_MID_TOOL_ENABLE = 43,
    OP_MID_IDENT_DOWNLOAD = 50,
    OP_MID_IDENT_SUBSCRIBE = 51,
    OP_MID_IDENT = 52,
    OP_MID_IDENT_ACK = 53,
    OP_MID_IDENT_UNSUBSCRIBE = 54,
    OP_MID_RESULT_SUBSCRIBE = 60,
    OP_MID_RESULT = 61,
    OP_MID_RESULT_ACK = 62,
    OP_MID_RESULT_UNSUBSCRIBE = 63,
    OP_MID_OLD_RESULT_REQUEST = 64,
    OP_MID_OLD_RESULT = 65,
    OP_MID_ALARM_SUBSCRIBE = 70,
    OP_MID_ALARM = 71,
    OP_MID_ALARM_ACK = 72,
    OP_MID_ALARM_UNSUBSCRIBE = 73,
    OP_MID_KEEP_ALIVE = 9999
};

// Error codes of 0004.
enum OpError {
    OP_ERR_INVALID_DATA = 1,
    OP_ERR_PSET_NOT_PRESENT = 2,
    OP_ERR_PSET_CANNOT_SET = 3,
    OP_ERR_IDENT_SUB_EXISTS = 6,
    OP_ERR_IDENT_SUB_MISSING = 7,
    OP_ERR_IDENT_NOT_GRANTED = 8,
    OP_ERR_RESULT_SUB_EXISTS = 9,
    OP_ERR_RESULT_SUB_MISSING = 10,
    OP_ERR_ALARM_SUB_EXISTS = 11,
    OP_ERR_ALARM_SUB_MISSING = 12,
    OP_ERR_ID_NOT_FOUND = 15,
    OP_ERR_JOB_NOT_PRESENT = 17,
    OP_ERR_JOB_CANNOT_SET = 20,
    OP_ERR_TOOL_INACCESSIBLE = 27,
    OP_ERR_COMMAND_FAILED = 79, // also the answer before the session is started
    OP_ERR_CLIENT_CONNECTED = 96,
    OP_ERR_REVISION = 97,
    OP_ERR_TIMEOUT = 98,
    OP_ERR_UNKNOWN_MID = 99
};

// One telegram as received. Blank fields read as their "not used" value: revision 1,
// no-ack off, the others 0.
struct OpTelegram {
    int mid = 0;
    int revision = 1;
    bool noAck = false;
    int station = 0, spindle = 0, sequence = 0, parts = 0, partNumber = 0;
    std::string data;
};

enum OpFrameStatus {
    OP_FRAME_OK = 0,        // `telegram` holds one telegram of `consumed` bytes
    OP_FRAME_NEED_MORE = 1, // nothing to drop yet
    OP_FRAME_ERROR = 2,     // answer 0004 (replyMid, error), then drop `consumed`
    OP_FRAME_SKIP = 3       // drop `consumed` bytes (stray NULs, garbage) without an answer
};

struct OpFrameResult {
    int status = OP_FRAME_NEED_MORE;
    size_t consumed = 0;
    OpTelegram telegram;
    int replyMid = 0; // the MID the header named, 0 when none could be read
    int error = 0;
};

// Takes the front of a received stream. A length that does not match the telegram is
// answered, never read across: the stream resynchronises after the next NUL, or at once
// where a header follows a telegram whose NUL is missing.
void OpFrame_Parse(const uint8_t* buf, size_t len, OpFrameResult* out);

// Request data. Each returns the value, or -1 for data the MID cannot take.
int64_t OpParse_TighteningId(const std::string& data);    // 0064: ten digits
int OpParse_JobId(int revision, const std::string& data); // 0038: 2 digits (rev 1), else 4
int OpParse_ParameterSet(const std::string& data);        // 0018: three digits
// 0050: 1 to 25 printable characters, trailing blanks dropped. 0, or -1.
int OpParse_Identifier(const std::string& data, std::string* out);

// Revisions served per MID: 0 for a MID the server does not take.
int OpFrame_MaxRevision(int mid);

// Who answers: the panel in 0002, the tool of a result in 0061 and 0071.
struct OpIdentity {
    int cellId = 0;
    int channelId = 0;
    std::string controllerName;
    std::string supplierCode;
    std::string protocolVersion, softwareVersion, toolVersion;
};

// Builders: header (length, MID, revision; the other fields blank), data, one NUL.
std::string OpBuild(int mid, int revision, const std::string& data);
std::string OpBuild_Error(int mid, int error);
std::string OpBuild_Accepted(int mid);
std::string OpBuild_KeepAlive();
std::string OpBuild_StartAck(int revision, const OpIdentity& id); // revisions 1..3
// 0061 revisions 1..3 and 0065 revision 1 from a stored row.
std::string OpBuild_Result(int revision, const StoredResult& r);
std::string OpBuild_OldResult(const StoredResult& r);
std::string OpBuild_Identifier(int revision, const std::string& text); // 0052 rev 1..2
// 0071 revision 1: the alarm's code, the ready flags and "YYYY-MM-DD HH:MM:SS" local time.
std::string OpBuild_Alarm(int code, bool controllerReady, bool toolReady, const std::string& time);

// The job number of a result: its position in the job list counting from 1, 0 for none.
int OpFrame_JobNumber(const StoredResult& r);
