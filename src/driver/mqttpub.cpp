// MQTT publisher on loop "Q". The libmosquitto client, its socket watch and its timers
// belong to that loop's thread: the socket is watched by a GLib fd source that calls
// mosquitto_loop_read/write, and a 1 s timer runs mosquitto_loop_misc (keep-alive) while a
// socket is open, so the library needs no thread of its own. Other threads reach the loop
// only by posting to it (the store's wake-up, new settings). Every attempt starts from a
// fresh client: what was in flight is published again from the store's cursor.
#include "mqttpub.h"

#include "debug.h"
#include "ew_driver.h"
#include "resultstore.h"
#include "setting.h"
#include "threads.h"

#include <arpa/inet.h>
#include <atomic>
#include <deque>
#include <glib-unix.h>
#include <glib.h>
#include <mosquitto.h>
#include <mutex>
#include <unistd.h>

#define MQTT_LOG(fmt, ...) DBG_LOG(DEBUG_FLAG_BEF, "mqtt: " fmt __VA_OPT__(, ) __VA_ARGS__)

namespace {
struct InFlight {
    int64_t id;
    int mid;
    bool acked;
};

struct MqttCtx {
    MqttStore store;
    bool haveStore = false;
    int watchHandle = -1;
    std::atomic<bool> wakePosted{false};
    // The session's settings, taken when an attempt starts.
    std::string host, topic, user, password, clientId;
    int port = 0;
    bool enabled = false;
    // The client.
    struct mosquitto* mosq = nullptr;
    GSource* io = nullptr;
    GIOCondition ioCond = GIOCondition(0);
    GSource* tick = nullptr;
    GSource* retry = nullptr;
    gint64 attemptStart = 0;
    unsigned retryMs = MQTT_RETRY_FIRST_MS;
    bool up = false; // CONNACK accepted
    // Set by libmosquitto's callbacks, acted on once the library call returned.
    bool lost = false, refused = false, pump = false;
    std::deque<InFlight> window;
    int64_t publishedUpTo = 0;
    std::atomic<int> state{MQTT_OFF};
    std::mutex textLock;
    std::string refusedText;
};
// Never destroyed: the loop may still run while the process exits.
MqttCtx& mq = *new MqttCtx;

GMainContext* loopContext() {
    return Threads_GetContext(LOOP_MQTT);
}

void dropSource(GSource*& s) {
    if (!s) return;
    g_source_destroy(s);
    g_source_unref(s);
    s = nullptr;
}

const char* refusalText(int rc) {
    switch (rc) {
    case 1:
        return "Protocol version refused";
    case 2:
        return "Client id refused";
    case 3:
        return "Broker unavailable";
    case 4:
        return "Bad user name or password";
    case 5:
        return "Not authorised";
    default:
        return "Refused";
    }
}

void setState(int s) {
    if (mq.state.exchange(s) == s) return;
    MQTT_LOG("state %d", s);
    EwDriver_PushMsgQ_MqttState(s);
}

void settle();
void connectNow();

gboolean ioReady(gint, GIOCondition cond, gpointer) {
    if (!mq.mosq) return G_SOURCE_CONTINUE;
    int rc = MOSQ_ERR_SUCCESS;
    if (cond & (G_IO_IN | G_IO_HUP | G_IO_ERR)) rc = mosquitto_loop_read(mq.mosq, 64);
    if (rc == MOSQ_ERR_SUCCESS && mq.mosq && (cond & G_IO_OUT))
        rc = mosquitto_loop_write(mq.mosq, 64);
    if (rc != MOSQ_ERR_SUCCESS && !mq.refused) {
        DBG_ERR("broker %s:%d : %s", mq.host.c_str(), mq.port, mosquitto_strerror(rc));
        mq.lost = true;
    }
    settle();
    return G_SOURCE_CONTINUE;
}

// The socket watch follows what the client wants: reading always, writing while it has
// bytes queued (the CONNECT waits there while the TCP connect is in progress).
void watchSocket() {
    int fd = mq.mosq ? mosquitto_socket(mq.mosq) : -1;
    if (fd < 0) {
        dropSource(mq.io);
        return;
    }
    bool wantOut = mosquitto_want_write(mq.mosq);
    GIOCondition c = GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR | (wantOut ? G_IO_OUT : 0));
    if (mq.io && c == mq.ioCond) return;
    dropSource(mq.io);
    mq.ioCond = c;
    mq.io = g_unix_fd_source_new(fd, c);
    g_source_set_callback(mq.io, G_SOURCE_FUNC(ioReady), nullptr, nullptr);
    g_source_attach(mq.io, loopContext());
}

gboolean tickFired(gpointer) {
    if (!mq.mosq) return G_SOURCE_CONTINUE;
    if (!mq.up &&
        g_get_monotonic_time() - mq.attemptStart > gint64(MQTT_CONNECT_TIMEOUT_MS) * 1000) {
        DBG_ERR("broker %s:%d : no answer to the connect", mq.host.c_str(), mq.port);
        mq.lost = true;
    } else {
        int rc = mosquitto_loop_misc(mq.mosq);
        if (rc != MOSQ_ERR_SUCCESS && !mq.lost) {
            DBG_ERR("broker %s:%d : %s", mq.host.c_str(), mq.port, mosquitto_strerror(rc));
            mq.lost = true;
        }
    }
    settle();
    return G_SOURCE_CONTINUE;
}

// Forgets the client and everything in flight (the store still holds it).
void dropClient() {
    dropSource(mq.io);
    dropSource(mq.tick);
    if (mq.mosq) mosquitto_destroy(mq.mosq);
    mq.mosq = nullptr;
    mq.up = false;
    mq.lost = mq.refused = mq.pump = false;
    mq.window.clear();
}

gboolean retryFired(gpointer) {
    dropSource(mq.retry);
    connectNow();
    return G_SOURCE_REMOVE;
}

void scheduleRetry() {
    dropSource(mq.retry);
    MQTT_LOG("next attempt in %u ms", mq.retryMs);
    mq.retry = g_timeout_source_new(mq.retryMs);
    g_source_set_callback(mq.retry, retryFired, nullptr, nullptr);
    g_source_attach(mq.retry, loopContext());
    mq.retryMs = std::min(mq.retryMs * 2, MQTT_RETRY_MAX_MS);
}

// Publishes in ID order from after the last one published, while the window has room.
void pumpResults() {
    if (!mq.up || !mq.haveStore) return;
    std::string topic = mq.topic + "/results";
    while (mq.window.size() < MQTT_WINDOW) {
        std::vector<StoredResult> rows;
        size_t room = MQTT_WINDOW - mq.window.size();
        int n = mq.store.read(mq.publishedUpTo, room, &rows);
        if (n < 0) {
            DBG_ERR("results after %lld cannot be read", (long long)mq.publishedUpTo);
            return;
        }
        for (const StoredResult& r : rows) {
            std::string json = Mqtt_ResultJson(r);
            int mid = 0;
            int rc = mosquitto_publish(mq.mosq, &mid, topic.c_str(), int(json.size()), json.data(),
                                       1, false);
            if (rc != MOSQ_ERR_SUCCESS) {
                DBG_ERR("result %lld not published : %s", (long long)r.id, mosquitto_strerror(rc));
                mq.lost = true;
                return;
            }
            mq.window.push_back({r.id, mid, false});
            mq.publishedUpTo = r.id;
            MQTT_LOG("result %lld published", (long long)r.id);
        }
        if (size_t(n) < room) return;
    }
}

// What the callbacks asked for, once libmosquitto is out of its call.
void settle() {
    if (mq.refused || mq.lost) {
        bool refused = mq.refused;
        dropClient();
        if (!refused) setState(mq.state == MQTT_REFUSED ? MQTT_REFUSED : MQTT_CONNECTING);
        scheduleRetry();
        return;
    }
    if (mq.pump) {
        mq.pump = false;
        pumpResults();
        if (mq.lost) return settle();
    }
    watchSocket();
}

void onConnect(struct mosquitto* m, void*, int rc) {
    if (rc != 0) {
        {
            std::lock_guard<std::mutex> g(mq.textLock);
            mq.refusedText = refusalText(rc);
        }
        DBG_ERR("broker %s:%d refused the connection (code %d) : %s", mq.host.c_str(), mq.port, rc,
                refusalText(rc));
        mq.refused = true;
        setState(MQTT_REFUSED);
        return;
    }
    mq.up = true;
    mq.retryMs = MQTT_RETRY_FIRST_MS;
    std::string status = mq.topic + "/status";
    mosquitto_publish(m, nullptr, status.c_str(), 6, "online", 1, true);
    // Whatever was in flight before is published again: the broker may have lost it.
    mq.publishedUpTo = mq.haveStore ? mq.store.cursor(MQTT_PEER) : 0;
    MQTT_LOG("connected to %s:%d as %s, from result %lld", mq.host.c_str(), mq.port,
             mq.clientId.c_str(), (long long)mq.publishedUpTo);
    setState(MQTT_CONNECTED);
    mq.pump = true;
}

void onDisconnect(struct mosquitto*, void*, int rc) {
    if (rc != 0) mq.lost = true;
}

// PUBACKs come in order from a conforming broker; the cursor still moves only over the
// unbroken run of acknowledged results at the head.
void onPublish(struct mosquitto*, void*, int mid) {
    bool found = false;
    for (InFlight& f : mq.window)
        if (f.mid == mid) f.acked = found = true;
    if (!found) return; // the status message
    int64_t upTo = 0;
    while (!mq.window.empty() && mq.window.front().acked) {
        upTo = mq.window.front().id;
        mq.window.pop_front();
    }
    if (upTo && mq.store.ack(MQTT_PEER, upTo) != 0)
        DBG_ERR("cursor %s cannot move to %lld", MQTT_PEER, (long long)upTo);
    mq.pump = true;
}

void connectNow() {
    dropClient();
    mq.mosq = mosquitto_new(mq.clientId.c_str(), false, nullptr);
    if (!mq.mosq) {
        DBG_ERR("mqtt client cannot be made : %s", strerror(errno));
        scheduleRetry();
        return;
    }
    mosquitto_int_option(mq.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(mq.mosq, MQTT_WINDOW);
    mosquitto_connect_callback_set(mq.mosq, onConnect);
    mosquitto_disconnect_callback_set(mq.mosq, onDisconnect);
    mosquitto_publish_callback_set(mq.mosq, onPublish);
    std::string status = mq.topic + "/status";
    mosquitto_will_set(mq.mosq, status.c_str(), 7, "offline", 1, true);
    if (!mq.user.empty())
        mosquitto_username_pw_set(mq.mosq, mq.user.c_str(),
                                  mq.password.empty() ? nullptr : mq.password.c_str());
    mq.attemptStart = g_get_monotonic_time();
    int rc = mosquitto_connect_async(mq.mosq, mq.host.c_str(), mq.port, MQTT_KEEPALIVE_SECONDS);
    if (rc != MOSQ_ERR_SUCCESS) {
        DBG_ERR("connect to %s:%d fail : %s", mq.host.c_str(), mq.port,
                rc == MOSQ_ERR_ERRNO ? strerror(errno) : mosquitto_strerror(rc));
        mq.lost = true;
        settle();
        return;
    }
    mq.tick = g_timeout_source_new(1000);
    g_source_set_callback(mq.tick, tickFired, nullptr, nullptr);
    g_source_attach(mq.tick, loopContext());
    settle();
}

// An orderly end: "offline" (the will is not sent on a disconnect asked for) and the
// DISCONNECT, written at once since no callback is running.
void closeSession() {
    dropSource(mq.retry);
    if (mq.mosq && mq.up) {
        std::string status = mq.topic + "/status";
        mosquitto_publish(mq.mosq, nullptr, status.c_str(), 7, "offline", 1, true);
        mosquitto_disconnect(mq.mosq);
    }
    dropClient();
}

void applyOnLoop() {
    closeSession();
    const SettingPlant* pl = get_setting_plant();
    mq.enabled = pl->mqtt_enable != 0;
    struct in_addr a;
    a.s_addr = htonl(pl->mqtt_broker);
    char host[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a, host, sizeof host);
    mq.host = host;
    mq.port = int(pl->mqtt_port);
    mq.topic = setting_get_str(pl->mqtt_topic);
    mq.user = setting_get_str(pl->mqtt_user);
    mq.password = setting_get_str(pl->mqtt_password);
    char hostName[64] = "";
    gethostname(hostName, sizeof hostName - 1);
    mq.clientId = Mqtt_ClientId(get_vendor_info(), hostName);
    mq.retryMs = MQTT_RETRY_FIRST_MS;
    if (!mq.enabled) {
        setState(MQTT_OFF);
        return;
    }
    setState(MQTT_CONNECTING);
    connectNow();
}
} // namespace

int Mqtt_Start(const MqttStore& store) {
    mosquitto_lib_init();
    MqttStore copy = store;
    Threads_AddSetup(LOOP_MQTT, [copy] {
        mq.store = copy;
        mq.haveStore = bool(copy.read);
        if (mq.haveStore && copy.watch)
            mq.watchHandle = copy.watch([](int64_t) {
                // Many commits, one wake-up: the publisher reads everything new at once.
                if (mq.wakePosted.exchange(true)) return;
                Threads_Post(LOOP_MQTT, [] {
                    mq.wakePosted = false;
                    mq.pump = true;
                    if (mq.mosq) settle();
                });
            });
        applyOnLoop();
    });
    return 0;
}

int Mqtt_Init() {
    MqttStore s;
    s.read = ResultStore_Read;
    s.cursor = ResultStore_Cursor;
    s.ack = ResultStore_Ack;
    s.backlog = ResultStore_Backlog;
    // The store's first call (its start-up) comes before any result: the cursor is set then.
    s.watch = [](std::function<void(int64_t)> fn) {
        return ResultStore_Watch([fn = std::move(fn)](int64_t lastId) {
            if (get_setting_plant()->mqtt_enable) ResultStore_Join(MQTT_PEER);
            fn(lastId);
        });
    };
    s.unwatch = ResultStore_Unwatch;
    return Mqtt_Start(s);
}

int Mqtt_ApplySetting(uint32_t enable, uint32_t broker, uint32_t port, const char* topic,
                      const char* user, const char* password) {
    SettingPlant* pl = get_setting_plant();
    auto same = [](const char* field, const char* v) {
        return setting_get_str(field) == (v ? v : "");
    };
    if (pl->mqtt_enable == enable && pl->mqtt_broker == broker && pl->mqtt_port == port &&
        same(pl->mqtt_topic, topic) && same(pl->mqtt_user, user) &&
        same(pl->mqtt_password, password))
        return 0;
    pl->mqtt_enable = enable;
    if (enable) ResultStore_Join(MQTT_PEER); // from now on, results wait for the broker
    pl->mqtt_broker = broker;
    pl->mqtt_port = port;
    setting_set_str(pl->mqtt_topic, sizeof pl->mqtt_topic, topic);
    setting_set_str(pl->mqtt_user, sizeof pl->mqtt_user, user);
    setting_set_str(pl->mqtt_password, sizeof pl->mqtt_password, password);
    Threads_Post(LOOP_MQTT, applyOnLoop);
    return 1;
}

void Mqtt_Stop() {
    Threads_RunSync(LOOP_MQTT, [] {
        closeSession();
        if (mq.watchHandle >= 0 && mq.store.unwatch) mq.store.unwatch(mq.watchHandle);
        mq.watchHandle = -1;
        mq.store = MqttStore{};
        mq.haveStore = false;
        setState(MQTT_OFF);
    });
}

int Mqtt_State() {
    return mq.state.load();
}

std::string Mqtt_StateText() {
    switch (mq.state.load()) {
    case MQTT_OFF:
        return "Off";
    case MQTT_CONNECTING:
        return "Connecting";
    case MQTT_CONNECTED:
        return "Connected";
    default:
        break;
    }
    std::lock_guard<std::mutex> g(mq.textLock);
    return mq.refusedText;
}

size_t Mqtt_Backlog() {
    // The store is set on loop "Q"; reading its copy from here would race a restart.
    size_t n = 0;
    Threads_RunSync(LOOP_MQTT, [&n] {
        if (mq.store.backlog) n = mq.store.backlog(MQTT_PEER);
    });
    return n;
}
