#include "toollink_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace toollink_test {

namespace {
bool bindable(int type, int port) {
    int s = socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}
unsigned seed() {
    return unsigned(getpid()) * 2654435761u ^ unsigned(time(nullptr));
}
} // namespace

int freeTcpPortPair() {
    unsigned r = seed();
    for (int i = 0; i < 500; ++i) {
        r = r * 1103515245u + 12345u;
        int p = 20000 + int(r % 30000);
        if (bindable(SOCK_STREAM, p) && bindable(SOCK_STREAM, p + 1)) return p;
    }
    return -1;
}

int freeUdpPort() {
    unsigned r = seed() ^ 0x5bd1e995u;
    for (int i = 0; i < 500; ++i) {
        r = r * 1103515245u + 12345u;
        int p = 20000 + int(r % 30000);
        if (bindable(SOCK_DGRAM, p)) return p;
    }
    return -1;
}

void setLoopbackDisco(const char* wlanAddr) {
    int port = freeUdpPort();
    int dest = freeUdpPort();
    while (dest == port)
        dest = freeUdpPort();
    setenv("KEST_DISCO_PORT", std::to_string(port).c_str(), 1);
    setenv("KEST_DISCO_DEST_PORT", std::to_string(dest).c_str(), 1);
    setenv("KEST_DISCO_GROUP", "127.0.0.1", 1);
    setenv("KEST_DISCO_ETH_ADDR", "0.0.0.0", 1);
    setenv("KEST_DISCO_WLAN_ADDR", wlanAddr, 1);
}

void DriverFixture::startDriver(bool recordConnects) {
    setLoopbackDisco();
    EwDriver_Initialize(&sink);
    Threads_RunSync(LOOP_MODBUS, [] {}); // the loop's own queue is installed by now
    if (recordConnects) {
        idleCtx = g_main_context_new();
        recordQ = WorkQueue_New(idleCtx, [this](void* item) {
            const uint32_t* w = static_cast<const uint32_t*>(item);
            popped.push_back(int(w[1]));
            free(item);
        });
        // The loop's own queue lives for the whole process, as in the program.
        static std::vector<WorkQueue*> replaced;
        replaced.push_back(Modbus_GetMsgQ());
        Modbus_SetMsgQ(recordQ);
    }
    sink.drain();
}

size_t DriverFixture::pendingConnects() const {
    return recordQ ? WorkQueue_Length(recordQ) : 0;
}

std::vector<int> DriverFixture::takeConnects() {
    popped.clear();
    while (idleCtx && g_main_context_iteration(idleCtx, FALSE)) {
    }
    return popped;
}

void quiesceLoops() {
    // Every loop, not only ours: a loop that is still starting up reads the thread table,
    // which the process destroys at exit.
    for (int loop = 0; loop < LOOP_COUNT; ++loop)
        Threads_RunSync(loop, [] {});
}

void DriverFixture::TearDown() {
    ToolManager_DismissTool_All();
    Disco_Deinit();
    quiesceLoops();
    sink.drain();
}

DriverFixture::~DriverFixture() {
    EwDriver_Deinitialize();
}

ToolInfo makeInfo(uint8_t macLast, uint8_t type, uint32_t ip, uint16_t port, const char* serial) {
    ToolInfo i;
    memset(&i, 0, sizeof i);
    memcpy(i.serial, serial, strnlen(serial, sizeof i.serial));
    i.model = 7000;
    i.ip = ip;
    i.port = port;
    const uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, macLast};
    memcpy(i.mac, mac, 6);
    i.version = 1234;
    i.type = type;
    return i;
}

void feedAck(const ToolInfo& info, uint32_t netif, uint8_t busy) {
    ToolInfo copy = info;
    copy.busy = busy;
    uint8_t buf[DISCO_ACK_LEN];
    Disco_EncodeAck(DISCO_SCAN_ACK, &copy, buf);
    Disco_Proc(buf, sizeof buf, netif);
}

std::string regRecord(const char* name, uint8_t macLast, uint8_t type, uint32_t model) {
    RegToolRecord rec;
    memset(&rec, 0, sizeof rec);
    strncpy(rec.name, name, TOOL_NAME_SIZE - 1);
    memcpy(rec.serial, "SER", 3);
    rec.model = model;
    const uint8_t mac[6] = {0x02, 0x00, 0x5e, 0x10, 0x20, macLast};
    memcpy(rec.mac, mac, 6);
    rec.type = type;
    uint8_t out[REGTOOLS_RECORD_SIZE];
    RegTools_EncodeRecord(&rec, out);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

} // namespace toollink_test

#include <modbus.h>
#include <poll.h>

namespace toollink_test {

namespace {
int listenOn(int port) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 4) != 0) {
        close(s);
        return -1;
    }
    return s;
}
} // namespace

TestToolServer::TestToolServer(int port, bool withEventPort) : port_(port) {
    map_ = modbus_mapping_new(0, 0, 6000, 6000);
    dataListen_ = listenOn(port);
    if (withEventPort) eventListen_ = listenOn(port + 1);
    thread_ = std::thread([this] { run(); });
}

TestToolServer::~TestToolServer() {
    stop_ = true;
    thread_.join();
    for (int fd : {dataListen_, eventListen_, dataClient_, eventClient_.load()})
        if (fd >= 0) close(fd);
    modbus_mapping_free(map_);
}

void TestToolServer::setHolding(int addr, uint16_t v) {
    std::lock_guard<std::mutex> g(lock_);
    map_->tab_registers[addr] = v;
}
void TestToolServer::setInput(int addr, uint16_t v) {
    std::lock_guard<std::mutex> g(lock_);
    map_->tab_input_registers[addr] = v;
}
uint16_t TestToolServer::holding(int addr) {
    std::lock_guard<std::mutex> g(lock_);
    return map_->tab_registers[addr];
}
std::vector<std::pair<int, int>> TestToolServer::requests() {
    std::lock_guard<std::mutex> g(lock_);
    return requests_;
}
std::vector<std::pair<int, int>> TestToolServer::writes() {
    std::lock_guard<std::mutex> g(lock_);
    return writes_;
}
void TestToolServer::clearLog() {
    std::lock_guard<std::mutex> g(lock_);
    requests_.clear();
    writes_.clear();
}
bool TestToolServer::eventConnected() {
    return eventClient_.load() >= 0;
}

bool TestToolServer::sendEvent(const std::vector<uint8_t>& bytes) {
    if (!waitFor([this] { return eventConnected(); })) return false;
    return write(eventClient_.load(), bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

void TestToolServer::run() {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port_);
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    while (!stop_) {
        pollfd p[3] = {
            {dataListen_, POLLIN, 0}, {eventListen_, POLLIN, 0}, {dataClient_, POLLIN, 0}};
        if (poll(p, 3, 20) <= 0) continue;
        if (p[0].revents & POLLIN) {
            int c = accept4(dataListen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (dataClient_ >= 0) close(dataClient_);
            dataClient_ = c;
            modbus_set_socket(ctx, c);
            continue;
        }
        if (p[1].revents & POLLIN) {
            int c = accept4(eventListen_, nullptr, nullptr, SOCK_CLOEXEC);
            int old = eventClient_.exchange(c);
            if (old >= 0) close(old);
        }
        if (dataClient_ >= 0 && (p[2].revents & (POLLIN | POLLHUP))) {
            int rc = modbus_receive(ctx, query);
            if (rc <= 0) {
                close(dataClient_);
                dataClient_ = -1;
                continue;
            }
            int fn = query[7], addr = query[8] << 8 | query[9];
            {
                std::lock_guard<std::mutex> g(lock_);
                requests_.emplace_back(fn, addr);
            }
            if (silent) continue;
            if (dropNext > 0) {
                --dropNext;
                continue;
            }
            std::lock_guard<std::mutex> g(lock_);
            if (modbus_reply(ctx, query, rc, map_) > 0 && fn == 6 && addr < 6000)
                writes_.emplace_back(addr, query[10] << 8 | query[11]);
        }
    }
    modbus_free(ctx);
}

} // namespace toollink_test
