// Tool discovery (Disco): UDP multicast scan, search and advertise on the Ethernet and
// Wi-Fi networks; answers feed the tool registry (tools.h).
#pragma once

#include "tools.h"

#include <cstddef>
#include <cstdint>

#define DISCO_HDR_LEN 4
#define DISCO_TOOLINFO_LEN 36
#define DISCO_SCAN_REQ_LEN 4
#define DISCO_SEARCH_REQ_LEN 20
#define DISCO_ACK_LEN 40
#define DISCO_ADVERTISE_LEN 41
#define DISCO_MAX_DGRAM 1024

enum DiscoMsgType {
    DISCO_SCAN_REQ = 0x0001,
    DISCO_SEARCH_REQ = 0x0002,
    DISCO_ADVERTISE = 0x0081,
    DISCO_SCAN_ACK = 0x0082,
    DISCO_SEARCH_ACK = 0x0083
};

// Where the endpoints bind and send, all in host order. Defaults: group 239.66.77.43,
// port 53256 for both binding and sending, Ethernet bound to 0.0.0.0, Wi-Fi bound to
// 192.168.131.1 (the access point's address). Tests and the simulated cell override them
// before Disco_Init, with Disco_SetConfig or the environment:
//   KEST_DISCO_GROUP      destination address (dotted; a unicast address works too)
//   KEST_DISCO_PORT       local port of both endpoints
//   KEST_DISCO_DEST_PORT  destination port (default: KEST_DISCO_PORT)
//   KEST_DISCO_ETH_ADDR   Ethernet bind address
//   KEST_DISCO_WLAN_ADDR  Wi-Fi bind address
struct DiscoConfig {
    uint32_t group;
    uint16_t port;
    uint16_t destPort;
    uint32_t ethAddr;
    uint32_t wlanAddr;
};
void Disco_DefaultConfig(DiscoConfig* out);
// Defaults, then the environment variables above.
void Disco_ConfigFromEnv(DiscoConfig* out);
// Used by the next Disco_Init instead of the environment.
void Disco_SetConfig(const DiscoConfig* config);

// Opens both endpoints and attaches their watches to loops 1 (Ethernet) and 2 (Wi-Fi);
// call after Threads_Init. Returns 0 (a degraded endpoint is logged, not fatal).
int Disco_Init();
// Closes both endpoints (tests; the board keeps them for the life of the program).
void Disco_Deinit();
int Disco_GetSocket_Eth();
int Disco_GetSocket_Wlan();

// Runs the keep-alive passes first when `keepAlive` is nonzero, then sends a scan request
// on both endpoints. 0 when both sends wrote 4 bytes, else -1.
int Disco_Send_ScanReq(int keepAlive);
// Search request with `text` (at most 15 characters) on both endpoints; 0 or -1; a null
// text sends nothing and returns 0.
int Disco_Send_SearchReq(const char* text);
// `ifaddr` in host order. Sets the outgoing interface, joins the group on it and records
// the membership for that socket (each socket has its own record; a membership the socket
// already had is dropped first); 0 when both steps succeed.
int Disco_Join_McGroup(int sock, uint32_t ifaddr);
// Drops the membership recorded for that socket (0 when none; -1 when the drop failed,
// the record is cleared either way).
int Disco_Leave_McGroup(int sock);

// Handles one received datagram from interface `netif` (1 Ethernet, 2 Wi-Fi). Never reads
// beyond `len`; a datagram shorter than its type's length is dropped. Returns 0 when it
// was used, -1 when dropped.
int Disco_Proc(const uint8_t* buf, size_t len, uint32_t netif);

// ---- pure wire helpers (also used by the tool simulator and tests) ----
// Reads the 36-byte block at `p` (big-endian fields to host order).
void Disco_DecodeToolInfo(const uint8_t* p, ToolInfo* out);
void Disco_EncodeToolInfo(const ToolInfo* in, uint8_t* p);
// Each writes the datagram and returns its length.
size_t Disco_EncodeHeader(uint16_t type, uint8_t* out);
size_t Disco_EncodeSearchReq(const char* text, uint8_t out[DISCO_SEARCH_REQ_LEN]);
size_t Disco_EncodeAck(uint16_t type, const ToolInfo* info, uint8_t out[DISCO_ACK_LEN]);
size_t Disco_EncodeAdvertise(uint8_t cause, const ToolInfo* info, uint8_t out[DISCO_ADVERTISE_LEN]);
