// Backup event forwarding: the event frame of every result in the result store, with the
// sending tool's index inserted, is sent in ID order to a server over one TCP client
// connection; the store's cursor "bef" moves as each send completes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t BEF_FRAME_MAX = 70; // largest event frame accepted
constexpr size_t BEF_MSG_MAX = BEF_FRAME_MAX + 2;
constexpr size_t BEF_FRAME_MIN = 9; // header up to the byte count
constexpr unsigned BEF_RECONNECT_SECONDS = 5;
constexpr const char* BEF_PEER = "bef"; // the result store cursor of forwarding
constexpr unsigned BEF_CONNECT_TIMEOUT_MS = 3000;
// The socket's send buffer (the kernel doubles it). Results count as forwarded once the
// socket took them, and a link the kernel gives up on (a server that took nothing for the
// user timeout) loses what its buffer held: left to grow (megabytes on a fast link), that
// would be tens of thousands of results; this bounds it to about two hundred.
constexpr int BEF_SEND_BUFFER = 8192;
// The server is not expected to send anything; beyond this many bytes on one link the
// panel stops discarding, closes and reconnects at the next timer tick.
constexpr size_t BEF_RECV_LIMIT = 4096;

// Builds the forwarded message from an event frame: length fields + 2, the tool index
// (16-bit little-endian) inserted at offset 9. Returns the message length (len + 2) or -1
// for a frame shorter than 9 or longer than 70 bytes.
int Bef_BuildMsg(int tdx, const uint8_t* frame, size_t len, uint8_t out[BEF_MSG_MAX]);

// Start-up: clears the connection state, watches the store's commits and registers the
// forwarding worker's set-up (which arms the reconnect timer when forwarding is enabled).
// Enabled, the forwarding keeps a cursor in the store from its first start on.
int Bef_init();
// Sends (or goes on sending) the next row after the cursor when connected, without
// waiting: a server that takes nothing is waited for on the forwarding loop, at most 3 s
// twice, then the link is closed with "Send error" (that row is not sent again). A row
// without a frame, or with one that is too short or too long, is skipped (a debug line).
// Always returns 1.
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
// Rows after the cursor (the message being sent included).
size_t Bef_QueueLen();
