// Backup event forwarding: every fastening event frame, with the sending tool's index
// inserted, is queued and sent in order to a server over one TCP client connection.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t BEF_FRAME_MAX = 70; // largest event frame accepted
constexpr size_t BEF_MSG_MAX = BEF_FRAME_MAX + 2;
constexpr size_t BEF_FRAME_MIN = 9;      // header up to the byte count
constexpr size_t BEF_QUEUE_MAX = 100000; // beyond this the oldest message is dropped
constexpr unsigned BEF_RECONNECT_SECONDS = 5;
constexpr unsigned BEF_CONNECT_TIMEOUT_MS = 3000;
// The server is not expected to send anything; beyond this many bytes on one link the
// panel stops discarding, closes and reconnects at the next timer tick.
constexpr size_t BEF_RECV_LIMIT = 4096;

// Builds the forwarded message from an event frame: length fields + 2, the tool index
// (16-bit little-endian) inserted at offset 9. Returns the message length (len + 2) or -1
// for a frame shorter than 9 or longer than 70 bytes.
int Bef_BuildMsg(int tdx, const uint8_t* frame, size_t len, uint8_t out[BEF_MSG_MAX]);

// Start-up: clears the connection state and registers the forwarding worker's set-up
// (which arms the reconnect timer when forwarding is enabled).
int Bef_init();
// Called by the fastening event channel for each valid frame while forwarding is on.
// Returns 0 when queued, -1 when refused (no frame, empty, too short or too long).
int Bef_PushMsgQ(int tdx, const uint8_t* frame, size_t len);
// Sends (or goes on sending) the message at the head of the queue when connected, without
// waiting: a server that takes nothing is waited for on the forwarding loop, at most 3 s
// twice, then the link is closed with "Send error". Always returns 1.
int Bef_ProcMsgQ();
void Bef_ConnectTimerAdd();
void Bef_ConnectTimerDel();
// One connection attempt (what the 5 s timer runs). Returns 1 when connected afterwards.
int Bef_ConnectTimerCallback();
void Bef_CloseServerStream(const char* reason);
// From the share settings screen: stores changed values and closes with "Change
// setting" (reconnecting when enabled). Returns 0 when nothing changed, 1 otherwise.
int Bef_ApplySetting(uint32_t enable, uint32_t serverIp, uint32_t port);

int Bef_IsConnected();
bool Bef_TimerArmed();
size_t Bef_QueueLen();
