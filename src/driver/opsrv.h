// Open Protocol server: one plant client at a time on TCP (default port 4545) takes the
// numbered results in order with acknowledgement, asks for old ones, selects jobs and
// presets, locks tools, sets the identifier and subscribes to identifiers and alarms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct StoredResult;

// What the server needs of the result store (OpSrv_Init wires the store itself; tests may
// hand another).
struct OpSrvStore {
    std::function<int(int64_t afterId, size_t max, std::vector<StoredResult>* out)> read;
    std::function<int(int64_t id, StoredResult* out)> get;
    std::function<int64_t(const char* peer)> cursor;
    std::function<int(const char* peer, int64_t id)> ack;
    // `fn` may run on any thread; returns a handle for `unwatch`.
    std::function<int(std::function<void(int64_t lastId)> fn)> watch;
    std::function<void(int handle)> unwatch;
};

// How long the server waits: a session with no telegram, an acknowledgement of a result,
// identifier or alarm (three resends follow, then the session is closed), the GUI's answer
// to a command.
struct OpSrvTimeouts {
    unsigned idleMs = 15000;
    unsigned ackMs = 10000;
    unsigned commandMs = 5000;
};

constexpr const char* OP_PEER = "op"; // the store cursor of this peer
constexpr int OP_ACK_RESENDS = 3;
constexpr size_t OP_TX_LIMIT = 1 << 20; // a client that reads nothing is dropped beyond this
constexpr int OP_ALARM_LINK_LOST = 9000; // + the tool's number (1..8)

// Start-up with a store: installs the hooks of the barcode reader, the fastening channel
// and the tool registry and, on loop "P", watches the store and listens when "open
// protocol" is on. Returns 0.
int OpSrv_Start(const OpSrvStore& store);
// From the share settings: stores changed values and restarts the listener (closing the
// session). Port 0 takes any free port (tests). 0 when nothing changed, 1 otherwise.
int OpSrv_ApplySetting(uint32_t enable, uint32_t port);
// Closes the session and the listener, forgets the store and the hooks and puts the
// timeouts back (tests). Waits for loop "P".
void OpSrv_Stop();
void OpSrv_SetTimeouts(const OpSrvTimeouts& t);

// The port listened on, 0 when not listening.
int OpSrv_BoundPort();
// 1 while a client is in a session (after its 0001).
int OpSrv_Connected();
// The GUI's answer to a posted plant command: 0 done, else the error code to report.
void OpSrv_CommandDone(int32_t requestId, int error);

// Hooks (any thread): a new current identifier, a tool error, a tool's link lost.
void OpSrv_IdentifierRead(const char* code);
void OpSrv_ToolError(int tdx, int error);
void OpSrv_ToolLinkLost(int tdx);
