// Torque-curve capture: the raw trigger request on a tool's data connection, the curve
// watch on that connection (loop 5, "E"), the check of received curve frames and the copy
// the screens read.
#pragma once

#include <atomic>
#include <cstdint>

#define GRAPH_HEADER_SIZE 40  // fields before the samples
#define GRAPH_SAMPLES_MAX 511 // samples per channel
#define GRAPH_ACK_LEN 12      // echo of the trigger request
// Largest curve frame kept: 40 + 4 x 511 bytes would do for every layout, but libmodbus
// never hands over more than one Modbus/TCP frame (260 bytes), so nothing longer arrives.
#define GRAPH_FRAME_MAX 260

// Offsets of the frame's fields (big-endian registers).
enum GraphFrameOffset {
    GRAPH_OFF_CH1 = 10,
    GRAPH_OFF_CH2 = 12,
    GRAPH_OFF_N = 18,
    GRAPH_OFF_TIME = 20,
    GRAPH_OFF_TARGET = 22,
    GRAPH_OFF_CONV = 24,
    GRAPH_OFF_SPEED = 26,
    GRAPH_OFF_A1 = 28,
    GRAPH_OFF_A2 = 30,
    GRAPH_OFF_SNUG = 32,
    GRAPH_OFF_ERROR = 34,
    GRAPH_OFF_COUNT = 36,
    GRAPH_OFF_STATUS = 38
};

// What a received frame is.
enum GraphFrameVerdict {
    GRAPH_FRAME_OK = 0,          // a curve: copy it and tell the screens
    GRAPH_FRAME_TRIGGER_ACK = 1, // the 12-byte answer to a trigger request
    GRAPH_FRAME_SHORT = 2,       // below 40 bytes
    GRAPH_FRAME_TOO_BIG = 3,     // n of 512 or more
    GRAPH_FRAME_MISMATCH = 4,    // length is not 40 + 2n (one channel) or 40 + 4n (two)
    GRAPH_FRAME_OVERSIZE = 5     // a sound curve longer than the buffer that would keep it
};

struct GraphFrameInfo {
    int n = 0;        // samples per channel
    int channels = 0; // 1 or 2
    uint16_t ch1 = 0, ch2 = 0;
};

// Pure check of one received frame (no lock, no socket). `info` (may be null) is filled
// for frames of 40 bytes or more. `cap` is the size of the buffer the frame goes to.
GraphFrameVerdict Graph_CheckFrame(const uint8_t* frame, int len, GraphFrameInfo* info = nullptr,
                                   int cap = GRAPH_FRAME_MAX);

// Trigger requests sent and not answered yet, one count for all tools. Written by the GUI
// thread and by loop 5.
extern std::atomic<int> Graph_EnableTrigger_RefCnt;

// Sends the raw trigger request (register 4100 := 1) on the data connection without
// waiting for its answer. 2 invalid index, 3 data connection not up, 0 otherwise; with more
// than two requests unanswered the tool is dismissed instead (also 0).
int Modbus_WriteRaw_EnableGraphTrigger(int tdx);
// Puts the curve watch in the tool's receive-watch slot (an event watch found there is
// parked and comes back when the curve watch goes). 2 invalid index, 3 data connection
// not up, 0 done.
int Graph_EnableCB_ByTdx(int tdx);
// Removes the tool's curve watch, if any, and brings back a parked event watch.
// 2 invalid index, 3 data connection not up, 0 done.
int Graph_DisableCB_ByTdx(int tdx);
// The same for every registered tool (event watches stay).
void Graph_DisableCB_All();

// The last curve of a tool with its torque unit and torque minimum, copied under the
// registered-table lock.
struct GraphFrameCopy {
    uint8_t bytes[GRAPH_FRAME_MAX] = {};
    int32_t len = 0;
    uint16_t torqueUnit = 0;
    uint16_t torqueMin = 0;
    GraphFrameInfo info; // from the frame's header
};
// 0 and a copy, or -1 (out->len 0) for a bad index or a tool without a curve.
int Graph_GetFrame(int tdx, GraphFrameCopy* out);

// Readers of a copied frame: a header field at `offset`, and sample i of channel 1 or 2
// (signed). Both return 0 outside the frame.
uint16_t Graph_Field(const GraphFrameCopy* f, int offset);
int16_t Graph_Sample(const GraphFrameCopy* f, int channel, int i);
