// MQTT publisher: every result of the store goes to the plant's broker as one JSON object
// on "<topic>/results" (QoS 1), in ID order, and the store's cursor "mqtt" moves only on
// the broker's PUBACK. A persistent session per panel, "<topic>/status" retained "online"
// with "offline" as the will, reconnects with back-off. All of it runs on loop "Q".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct StoredResult;

// What the publisher needs of the result store (tests and benches hand rows of their own).
struct MqttStore {
    std::function<int(int64_t afterId, size_t max, std::vector<StoredResult>* out)> read;
    std::function<int64_t(const char* peer)> cursor;
    std::function<int(const char* peer, int64_t id)> ack;
    std::function<size_t(const char* peer)> backlog;
    // `fn` may run on any thread; returns a handle for `unwatch`.
    std::function<int(std::function<void(int64_t lastId)> fn)> watch;
    std::function<void(int handle)> unwatch;
};

constexpr const char* MQTT_PEER = "mqtt"; // the store cursor of this peer
constexpr size_t MQTT_WINDOW = 100;       // results published and not acknowledged yet
constexpr int MQTT_KEEPALIVE_SECONDS = 30;
constexpr unsigned MQTT_RETRY_FIRST_MS = 1000;      // doubled at every failed attempt ...
constexpr unsigned MQTT_RETRY_MAX_MS = 60000;       // ... up to this
constexpr unsigned MQTT_CONNECT_TIMEOUT_MS = 10000; // no CONNACK by then: next attempt

enum MqttStateCode { MQTT_OFF = 0, MQTT_CONNECTING = 1, MQTT_CONNECTED = 2, MQTT_REFUSED = 3 };

// Pure: one result as the JSON object published for it (no line end).
std::string Mqtt_ResultJson(const StoredResult& r);
// Pure: the session's client id from the panel's vendor text (its serial): "kest-" and
// the text's letters, digits, '-', '_' and '.', at most 23 characters in all; `fallback`
// (the host name) stands in for an empty serial.
std::string Mqtt_ClientId(const char* serial, const char* fallback);
// The name of a tool's torque unit code as the panel shows it, nullptr when unknown (-1).
const char* Mqtt_UnitName(int code);

// Driver start-up: Mqtt_Start over the result store. A broker switched on for the first
// time is sent the results from then on, not the store's history.
int Mqtt_Init();
// Start-up with a store: on loop "Q", watches the store and connects when "mqtt enable"
// is on. Returns 0.
int Mqtt_Start(const MqttStore& store);
// From the share settings: stores changed values and restarts the session on loop "Q"
// (without waiting for it). 0 when nothing changed, 1 otherwise.
int Mqtt_ApplySetting(uint32_t enable, uint32_t broker, uint32_t port, const char* topic,
                      const char* user, const char* password);
// Publishes "offline", disconnects, forgets the store (tests). Waits for loop "Q".
void Mqtt_Stop();

// 0 off, 1 connecting, 2 connected, 3 refused by the broker (any thread).
int Mqtt_State();
// "Off", "Connecting", "Connected", or why the broker refused ("Not authorised" ...).
std::string Mqtt_StateText();
// Results after the cursor "mqtt" (the store's count).
size_t Mqtt_Backlog();
