// Open Protocol telegrams both ways: the bytes a client sends and what the framer makes of
// them, and the records the server sends with the exact bytes they become.
#include "opframe.h"
#include "resultstore.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Z(const char* s) { // a literal with its NUL kept
    return std::string(s, strlen(s) + 1);
}

struct InCase {
    const char* name;
    std::string bytes;
    int status;
    size_t consumed;
    int mid, revision; // OK: the telegram; ERROR: the MID 0004 quotes (revision unused)
    std::string data;
    bool noAck = false;
    int sequence = 0;
};

const InCase kIn[] = {
    {"start, blank fields", Z("00200001001         "), OP_FRAME_OK, 21, 1, 1, ""},
    {"blank revision is 1", Z("00200060            "), OP_FRAME_OK, 21, 60, 1, ""},
    {"revision 000 is 1", Z("00200060000         "), OP_FRAME_OK, 21, 60, 1, ""},
    {"digits in the last fields", Z("00200060003101020311"), OP_FRAME_OK, 21, 60, 3, "", true, 3},
    {"blanks around digits", Z("00200060  2 0 1  5  "), OP_FRAME_OK, 21, 60, 2, "", false, 5},
    {"data", Z("00300064001         0000000042"), OP_FRAME_OK, 31, 64, 1, "0000000042"},
    {"half a header", "0020000100", OP_FRAME_NEED_MORE, 0, 0, 0, ""},
    {"NUL still to come", "00200001001         ", OP_FRAME_NEED_MORE, 0, 0, 0, ""},
    {"garbage before a telegram", "ab\r\n" + Z("00209999001         "), OP_FRAME_SKIP, 4, 0, 0, ""},
    {"stray NULs", std::string(3, '\0') + "0020", OP_FRAME_SKIP, 3, 0, 0, ""},
    {"digits then garbage", "12x4", OP_FRAME_SKIP, 2, 0, 0, ""},
    {"length too long: NUL early", Z("00250001001         ") + "xyz", OP_FRAME_ERROR, 21, 1, 0, ""},
    {"length too short", Z("00220064001         0000000042"), OP_FRAME_ERROR, 22, 64, 0, ""},
    {"missing NUL, next header follows", "00200001001         " + Z("00209999001         "),
     OP_FRAME_ERROR, 20, 1, 0, ""},
    {"missing NUL, garbage follows", "00200001001         x" + Z("yz"), OP_FRAME_ERROR, 24, 1, 0,
     ""},
    {"length below a header", Z("00100001001         "), OP_FRAME_ERROR, 21, 1, 0, ""},
    {"bad no-ack flag", Z("00200060001x        "), OP_FRAME_ERROR, 21, 60, 0, ""},
    {"letters in the revision", Z("00200060a01         "), OP_FRAME_ERROR, 21, 60, 0, ""},
    {"unknown MID is framed", Z("00200123001         "), OP_FRAME_OK, 21, 123, 1, ""},
};

TEST(OpFrame, TelegramsBothWays) {
    for (const InCase& c : kIn) {
        SCOPED_TRACE(c.name);
        OpFrameResult r;
        OpFrame_Parse(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &r);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.consumed, c.consumed);
        const OpTelegram& t = r.telegram;
        if (c.status == OP_FRAME_OK) {
            EXPECT_EQ(std::tuple(t.mid, t.revision, t.data, t.noAck, t.sequence),
                      std::tuple(c.mid, c.revision, c.data, c.noAck, c.sequence));
        }
        if (c.status == OP_FRAME_ERROR) {
            EXPECT_EQ(std::tuple(r.replyMid, r.error), std::tuple(c.mid, OP_ERR_INVALID_DATA));
        }
    }

    StoredResult row;
    row.id = 42;
    row.time = "2026-03-04 05:06:07";
    row.barcode = "VIN-7";
    row.tool = "ZQ-1";
    row.preset = 3;
    row.targetTorque = 1250;
    row.torque = 1234;
    row.a1 = 270;
    row.status = 1;
    row.error = 0;
    row.extra = {.tdx = 1, .jobIndex = 4, .batchSize = 6, .batchCount = 6, .frame = {}};
    StoredResult ng = row;
    ng.status = 2;
    ng.error = 331;
    ng.extra = ResultExtra{}; // a row taken back from the log: extras unknown
    OpIdentity panel;
    panel.controllerName = "zqcapp";
    panel.supplierCode = "KST";

    // Each record: its name, the bytes built, the bytes wanted.
    const std::tuple<const char*, std::string, std::string> out[] = {
        {"accepted", OpBuild_Accepted(60), Z("00240005001         0060")},
        {"error", OpBuild_Error(38, OP_ERR_REVISION), Z("00260004001         003897")},
        {"keep-alive", OpBuild_KeepAlive(), Z("00209999001         ")},
        {"start ack rev 1", OpBuild_StartAck(1, panel),
         Z("00570002001         010000020003zqcapp                   ")},
        {"start ack rev 2", OpBuild_StartAck(2, panel),
         Z("00620002002         010000020003zqcapp                   04KST")},
        {"result rev 1", OpBuild_Result(1, row),
         Z("02310061001         010000020203ZQ-1                     04VIN-7                    "
           "0505060030700060800060911011111200000013000000140012501500123416000001700000180000019"
           "00270202026-03-04:05:06:07212026-03-04:05:06:0722123000000004"
           "2")},
        {"result rev 1, NG, extras unknown", OpBuild_Result(1, ng),
         Z("02310061001         010000020003ZQ-1                     04VIN-7                    "
           "05000600307000008000009010011012000000130000001400125015001234160000017000001800000"
           "1900270202026-03-04:05:06:07212026-03-04:05:06:0722223000000004"
           "2")},
        {"old result", OpBuild_OldResult(row),
         Z("01180065001         01000000004202VIN-7                    0300304000605106107108001"
           "2340900270102026-03-04:05:06:07111")},
        {"identifier rev 1", OpBuild_Identifier(1, "VIN-7"),
         Z("00450052001         VIN-7                    ")},
        {"alarm", OpBuild_Alarm(331, true, false, "2026-03-04 05:06:07"),
         Z("00530071001         01033102103004"
           "2026-03-04:05:06:07")},
    };
    for (const auto& [name, built, bytes] : out) {
        SCOPED_TRACE(name);
        EXPECT_EQ(built, bytes);
    }
    // Revision 3 grows by its added fields only (revision 2 and the start ack's revision 3
    // are checked by size on the server's link).
    EXPECT_EQ(OpBuild_Result(3, row).size(), 419u + 1u);

    // Request data.
    EXPECT_EQ((std::vector<int64_t>{OpParse_TighteningId("0000000042"), OpParse_TighteningId("42"),
                                    OpParse_TighteningId("00000000x2"), OpParse_JobId(1, "07"),
                                    OpParse_JobId(2, "0107"), OpParse_JobId(2, "07"),
                                    OpParse_ParameterSet("012"), OpParse_ParameterSet("12")}),
              (std::vector<int64_t>{42, -1, -1, 7, 107, -1, 12, -1}));
    std::string ident;
    EXPECT_EQ(OpParse_Identifier("VIN-7   ", &ident), 0);
    EXPECT_EQ(ident, "VIN-7");
    EXPECT_EQ(OpParse_Identifier("", &ident), -1);
    EXPECT_EQ(OpParse_Identifier(std::string(26, 'A'), &ident), -1);
    EXPECT_EQ(OpParse_Identifier("A\tB", &ident), -1);
    EXPECT_EQ(OpFrame_MaxRevision(123), 0); // answered 0004 99
}
} // namespace
