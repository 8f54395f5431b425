#include "sim.h"

#include "regmap.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace toolsim {

Sim::Sim(Options opts) : opts_(std::move(opts)) {
    for (size_t i = 0; i < opts_.tools.size(); i++) {
        tools_.push_back(std::make_unique<VirtualTool>(static_cast<int>(i), opts_.tools[i]));
        VirtualTool& t = *tools_.back();
        if (opts_.autoPeriodMs > 0) {
            t.autoOn = true;
            t.autoPeriodMs = opts_.autoPeriodMs;
            t.autoNgEvery = opts_.autoNgEvery;
            // Spread the tools over the period so their results do not come in lumps.
            t.autoNext = Clock::now() +
                         std::chrono::milliseconds(opts_.autoPeriodMs * (static_cast<int>(i) + 1) /
                                                   static_cast<int>(opts_.tools.size()));
        }
    }
    links_.resize(tools_.size());
    for (auto& l : links_)
        l.ackWaitMs = opts_.ackWaitMs;
}

Sim::~Sim() {
    for (size_t t = 0; t < links_.size(); t++) {
        closeLinks(static_cast<int>(t), true);
        if (links_[t].ctx) modbus_free(links_[t].ctx);
    }
    if (discoFd_ >= 0) close(discoFd_);
    for (int fd : capture_)
        if (fd >= 0) close(fd);
    for (auto& c : clients_)
        close(c.fd);
    if (controlFd_ >= 0) {
        close(controlFd_);
        unlink(opts_.control.c_str());
    }
}

void Sim::log(int level, const char* fmt, ...) {
    if (level > opts_.verbose) return;
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    fprintf(stderr, "toolsim: %s\n", buf);
}

static sockaddr_in inet(uint32_t hostIp, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(hostIp);
    a.sin_port = htons(port);
    return a;
}

int Sim::start() {
    uint32_t ip = 0;
    if (parseIp(opts_.mcastIf.empty() ? opts_.bind : opts_.mcastIf, &ip) != 0) {
        fprintf(stderr, "toolsim: bad multicast interface address\n");
        return -1;
    }
    mcastIf_ = ip;
    if (!opts_.regtools.empty() && writeRegtools(opts_.regtools, opts_.tools) != 0) {
        fprintf(stderr, "toolsim: cannot write %s: %s\n", opts_.regtools.c_str(), strerror(errno));
        return -1;
    }
    if (openDisco() != 0) return -1;
    for (size_t t = 0; t < tools_.size(); t++) {
        links_[t].ctx = modbus_new_tcp(nullptr, 0); // only used with modbus_set_socket
        if (!links_[t].ctx || openListeners(static_cast<int>(t)) != 0) return -1;
    }
    if (!opts_.control.empty()) {
        controlFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (opts_.control.size() >= sizeof a.sun_path) return -1;
        std::strcpy(a.sun_path, opts_.control.c_str());
        unlink(a.sun_path);
        if (controlFd_ < 0 || bind(controlFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(controlFd_, 8) != 0) {
            fprintf(stderr, "toolsim: control socket %s: %s\n", a.sun_path, strerror(errno));
            return -1;
        }
    }
    stdinOpen_ = opts_.useStdin;
    return 0;
}

int Sim::openDisco() {
    discoFd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (discoFd_ < 0) return -1;
    int one = 1;
    setsockopt(discoFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const uint32_t group = opts_.discoIp;
    // Bound to the group so only discovery datagrams arrive here.
    sockaddr_in a = inet(group, opts_.discoPort);
    if (bind(discoFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        fprintf(stderr, "toolsim: discovery bind: %s\n", strerror(errno));
        return -1;
    }
    if (!IN_MULTICAST(group)) return 0; // a unicast address (loopback tests): bound, no join
    // Only the group this socket joined: not what other sockets of the host joined.
    int off = 0;
    setsockopt(discoFd_, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
    ip_mreq m{};
    m.imr_multiaddr.s_addr = htonl(group);
    m.imr_interface.s_addr = htonl(mcastIf_);
    if (setsockopt(discoFd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
        fprintf(stderr, "toolsim: join %s on %s: %s\n", kDiscoGroup, ipText(mcastIf_).c_str(),
                strerror(errno));
        return -1;
    }
    in_addr ifa{};
    ifa.s_addr = htonl(mcastIf_);
    setsockopt(discoFd_, IPPROTO_IP, IP_MULTICAST_IF, &ifa, sizeof ifa);
    unsigned char loop = 1, ttl = 1;
    setsockopt(discoFd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    setsockopt(discoFd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    return 0;
}

static int listenOn(uint32_t ip, uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = inet(ip, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int Sim::openListeners(int t) {
    VirtualTool& tool = *tools_[t];
    Link& l = links_[t];
    l.listenFd = listenOn(tool.id.ip, tool.id.port);
    if (l.eventPort) l.evListenFd = listenOn(tool.id.ip, static_cast<uint16_t>(tool.id.port + 1));
    if (l.listenFd < 0 || (l.eventPort && l.evListenFd < 0)) {
        fprintf(stderr, "toolsim: tool %d: cannot listen on %s:%u/%u: %s\n", t,
                ipText(tool.id.ip).c_str(), tool.id.port, tool.id.port + 1, strerror(errno));
        closeLinks(t, true);
        return -1;
    }
    log(1, "tool %d (%s): listening on %s:%u and :%u", t, familyName(tool.id.type),
        ipText(tool.id.ip).c_str(), tool.id.port, tool.id.port + 1);
    return 0;
}

void Sim::closeData(int t, int fd) {
    Link& l = links_[t];
    close(fd);
    l.dataFds.erase(std::remove(l.dataFds.begin(), l.dataFds.end(), fd), l.dataFds.end());
    drips_.erase(
        std::remove_if(drips_.begin(), drips_.end(), [fd](const Drip& d) { return d.fd == fd; }),
        drips_.end());
    if (tools_[t]->curveFd == fd) tools_[t]->curveFd = -1;
}

void Sim::closeEvent(int t) {
    Link& l = links_[t];
    if (l.evFd < 0) return;
    close(l.evFd);
    l.evFd = -1;
    tools_[t]->connectionLost();
}

void Sim::closeLinks(int t, bool listenersToo) {
    Link& l = links_[t];
    while (!l.dataFds.empty())
        closeData(t, l.dataFds.back());
    closeEvent(t);
    if (listenersToo) {
        if (l.listenFd >= 0) close(l.listenFd);
        if (l.evListenFd >= 0) close(l.evListenFd);
        l.listenFd = l.evListenFd = -1;
    }
}

void Sim::sendDisco(const std::vector<uint8_t>& d, const void* to) {
    sockaddr_in dst =
        to ? *static_cast<const sockaddr_in*>(to) : inet(opts_.replyIp, opts_.replyPort);
    if (sendto(discoFd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&dst), sizeof dst) !=
        static_cast<ssize_t>(d.size()))
        log(0, "discovery send failed: %s", strerror(errno));
}

void Sim::advertise(int t, uint8_t cause) {
    sendDisco(encodeAdvertise(cause, tools_[t]->id), nullptr);
    log(1, "tool %d: advertise cause %u", t, cause);
}

void Sim::onDisco() {
    // Every waiting datagram, so a command that follows requests finds them answered.
    for (;;) {
        uint8_t buf[1500];
        sockaddr_in from{};
        socklen_t fl = sizeof from;
        const ssize_t n = recvfrom(discoFd_, buf, sizeof buf, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fl);
        if (n < 0) return;
        DiscoRequest req;
        if (decodeDiscoRequest(buf, static_cast<size_t>(n), &req) != 0) continue;
        if (req.type != kScanReq && req.type != kSearchReq) continue; // our own acks, others
        discoRequests_++;
        log(2, "%s from %s", req.type == kScanReq ? "scan" : "search", inet_ntoa(from.sin_addr));
        for (size_t t = 0; t < tools_.size(); t++) {
            VirtualTool& tool = *tools_[t];
            if (tool.silent || tool.dead) continue;
            if (req.type == kSearchReq && !searchMatches(req.text, tool.id)) continue;
            const uint16_t type = req.type == kScanReq ? kScanAck : kSearchAck;
            sendDisco(encodeAck(type, tool.id), opts_.replyUnicast ? &from : nullptr);
            if (type == kScanAck) tool.scans++;
        }
    }
}

void Sim::onAccept(int t, bool event) {
    Link& l = links_[t];
    const int fd = accept4(event ? l.evListenFd : l.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (event) {
        // A peer that stops reading must not stall every tool: give up on it after 2 s.
        timeval tv{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        closeEvent(t); // one event connection per tool: the newest wins
        l.evFd = fd;
        log(1, "tool %d: event connection", t);
        pump(t);
    } else {
        l.dataFds.push_back(fd);
        log(1, "tool %d: data connection", t);
    }
}

void Sim::onData(int t, int fd) {
    Link& l = links_[t];
    uint8_t q[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(l.ctx, fd);
    const int rc = modbus_receive(l.ctx, q);
    if (rc <= 0) {
        if (rc < 0) {
            log(1, "tool %d: data connection closed (%s)", t, modbus_strerror(errno));
            closeData(t, fd);
        }
        return;
    }
    if (l.dripMs <= 0) {
        serve(t, fd, q, rc);
        return;
    }
    // A slow tool: the answer is caught whole, then leaves a byte at a time.
    if (capture_[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, capture_) != 0) {
        log(0, "socketpair: %s", strerror(errno));
        return;
    }
    modbus_set_socket(l.ctx, capture_[0]);
    serve(t, fd, q, rc);
    modbus_set_socket(l.ctx, fd);
    captureDrip(t, fd);
}

void Sim::captureDrip(int t, int fd) {
    auto it =
        std::find_if(drips_.begin(), drips_.end(), [fd](const Drip& d) { return d.fd == fd; });
    if (it == drips_.end()) {
        drips_.push_back({t, fd, {}, Clock::now()});
        it = drips_.end() - 1;
    }
    char buf[MODBUS_TCP_MAX_ADU_LENGTH];
    ssize_t n;
    while ((n = recv(capture_[1], buf, sizeof buf, MSG_DONTWAIT)) > 0)
        it->bytes.append(buf, static_cast<size_t>(n));
}

void Sim::pumpDrips() {
    const auto now = Clock::now();
    for (Drip& d : drips_) {
        if (d.bytes.empty() || now < d.next) continue;
        if (send(d.fd, d.bytes.data(), 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) d.bytes.erase(0, 1);
        d.next = now + std::chrono::milliseconds(links_[static_cast<size_t>(d.t)].dripMs);
    }
}

void Sim::serve(int t, int fd, const uint8_t* q, int rc) {
    Link& l = links_[t];
    VirtualTool& tool = *tools_[t];
    const int hl = modbus_get_header_length(l.ctx);
    const int fc = q[hl];
    // Trace: "3:260" a read (function:address), "4001=1" a write, "!" refused, "~" ignored.
    const bool single = fc == MODBUS_FC_WRITE_SINGLE_REGISTER && rc >= hl + 5;
    std::string entry =
        single ? std::to_string(get16(q + hl + 1)) + "=" + std::to_string(get16(q + hl + 3))
               : std::to_string(fc) + ":" + std::to_string(get16(q + hl + 1));
    if (l.ignore > 0 || (single && l.ignoreTrigger && get16(q + hl + 1) == kRegCurveTrigger)) {
        if (l.ignore > 0) l.ignore--;
        l.trace += " ~" + entry;
        return;
    }
    l.trace += " " + entry;
    if (single) {
        const int addr = get16(q + hl + 1);
        const uint16_t value = get16(q + hl + 3);
        const int ex = tool.checkWrite(addr, value);
        log(2, "tool %d: write %d := %u%s", t, addr, value, ex ? " refused" : "");
        if (ex) {
            l.trace += "!";
            modbus_reply_exception(l.ctx, q, static_cast<unsigned>(ex));
            return;
        }
        modbus_reply(l.ctx, q, rc, tool.map);
        if (addr == kRegCurveTrigger) tool.triggers++;
        handleEffect(t, fd, tool.applyWrite(addr, value));
        return;
    }
    if (fc == MODBUS_FC_WRITE_MULTIPLE_REGISTERS && rc >= hl + 6) {
        const int addr = get16(q + hl + 1), count = get16(q + hl + 3);
        for (int i = 0; i < count && hl + 6 + 2 * i + 1 < rc; i++) {
            const int ex = tool.checkWrite(addr + i, get16(q + hl + 6 + 2 * i));
            if (ex) {
                modbus_reply_exception(l.ctx, q, static_cast<unsigned>(ex));
                return;
            }
        }
        modbus_reply(l.ctx, q, rc, tool.map);
        WriteEffect all;
        for (int i = 0; i < count && addr + i < kRegCount; i++) {
            WriteEffect fx = tool.applyWrite(addr + i, tool.holding()[addr + i]);
            all.pump |= fx.pump;
            all.dropConnections |= fx.dropConnections;
            all.armCurve |= fx.armCurve;
            all.disarmCurve |= fx.disarmCurve;
            all.scheduleRun |= fx.scheduleRun;
            all.cancelRun |= fx.cancelRun;
        }
        handleEffect(t, fd, all);
        return;
    }
    tool.sync();
    modbus_reply(l.ctx, q, rc, tool.map);
}

void Sim::handleEffect(int t, int fd, const WriteEffect& fx) {
    VirtualTool& tool = *tools_[t];
    if (fx.armCurve) {
        tool.curveArmed = true;
        tool.curveFd = fd;
    }
    if (fx.disarmCurve) tool.curveArmed = false;
    if (fx.scheduleRun) {
        tool.runPending = true;
        tool.runAt = Clock::now() + std::chrono::milliseconds(200);
        tool.sync();
    }
    if (fx.cancelRun) {
        tool.runPending = false;
        tool.sync();
    }
    if (fx.dropConnections) {
        log(1, "tool %d: parameters initialised, link restarts", t);
        closeLinks(t, false);
        return;
    }
    if (fx.pump) pump(t);
}

void Sim::onEventFd(int t) {
    uint8_t buf[512];
    const ssize_t n = recv(links_[t].evFd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        log(1, "tool %d: event connection closed", t);
        closeEvent(t);
    }
}

int Sim::sendRaw(int t, const std::vector<uint8_t>& frame) {
    Link& l = links_[t];
    if (l.evFd < 0) return -1;
    size_t off = 0;
    while (off < frame.size()) {
        const ssize_t n = send(l.evFd, frame.data() + off, frame.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            closeEvent(t);
            return -1;
        }
        off += static_cast<size_t>(n);
    }
    return 0;
}

static uint64_t monotonicUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000;
}

void Sim::pump(int t) {
    VirtualTool& tool = *tools_[t];
    Link& l = links_[t];
    if (tool.silent || tool.dead || l.evFd < 0 || !tool.outputOn() || !tool.nextToSend()) return;
    // Waiting for acknowledges: the oldest event only. Otherwise every stored event in
    // one write, so the panel gets them back to back.
    const size_t n = l.ackWaitMs > 0 ? 1 : tool.store.size();
    std::vector<uint8_t> out;
    for (size_t i = 0; i < n; i++) {
        EventRecord r = tool.store[i];
        if (opts_.stamp) {
            const uint64_t us = monotonicUs();
            r.a1 = static_cast<uint16_t>(us >> 32);
            r.a2 = static_cast<uint16_t>(us >> 16);
            r.a3 = static_cast<uint16_t>(us);
        }
        const auto frame = encodeEventFrame(tool.id.type, ++l.tid, r);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    if (sendRaw(t, out) != 0) return;
    for (size_t i = 0; i < n; i++)
        tool.markSent(l.ackWaitMs > 0);
}

void Sim::afterProduce(int t) {
    VirtualTool& tool = *tools_[t];
    // A curve goes out on the data connection that armed the trigger, after the result of
    // the next fastening; the trigger is then spent until the panel re-arms it (the graph
    // screen does every 5 s). One write: never inside an answer.
    if (tool.curveArmed && tool.curveFd >= 0 && !tool.silent &&
        (tool.lastFastening.status == 1 || tool.lastFastening.status == 2)) {
        const auto f = encodeCurveFrame(++links_[t].tid, tool.curveFor(tool.lastFastening));
        if (send(tool.curveFd, f.data(), f.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(f.size()))
            log(0, "tool %d: curve send failed", t);
        else
            tool.curves++;
        tool.curveArmed = false;
    }
    pump(t);
}

void Sim::timers() {
    pumpDrips();
    const auto now = Clock::now();
    for (size_t i = 0; i < tools_.size(); i++) {
        const int t = static_cast<int>(i);
        VirtualTool& tool = *tools_[i];
        if (tool.dead) continue;
        if (tool.autoOn && now >= tool.autoNext) {
            tool.autoNext = now + std::chrono::milliseconds(tool.autoPeriodMs);
            if (!tool.locked()) {
                tool.autoCount++;
                const bool ng = tool.autoNgEvery > 0 && tool.autoCount % tool.autoNgEvery == 0;
                tool.fasten(!ng, {});
                afterProduce(t);
            }
        }
        if (tool.runPending && now >= tool.runAt) {
            tool.runPending = false;
            tool.holding()[kRegRemoteRun] = 0;
            if (!tool.locked()) tool.fasten(true, {});
            tool.sync();
            afterProduce(t);
        }
        while (tool.burstLeft > 0 && now >= tool.burstNext) {
            tool.burstLeft--;
            tool.burstNext += std::chrono::microseconds(tool.burstIntervalUs);
            tool.fasten(true, {});
            afterProduce(t);
        }
        const int ackWait = links_[i].ackWaitMs;
        if (tool.inFlight && ackWait > 0 &&
            now - tool.inFlightSince >= std::chrono::milliseconds(ackWait)) {
            log(1, "tool %d: no acknowledge for event %u", t, tool.store.front().number);
            tool.giveUpAck();
            pump(t);
        }
    }
}

int Sim::nextTimeoutMs() const {
    auto best = Clock::time_point::max();
    for (const auto& w : waiters_)
        best = std::min(best, w.deadline);
    for (size_t i = 0; i < tools_.size(); i++) {
        const VirtualTool& tool = *tools_[i];
        if (tool.dead) continue;
        if (tool.autoOn) best = std::min(best, tool.autoNext);
        if (tool.runPending) best = std::min(best, tool.runAt);
        if (tool.burstLeft > 0) best = std::min(best, tool.burstNext);
        if (tool.inFlight && links_[i].ackWaitMs > 0)
            best =
                std::min(best, tool.inFlightSince + std::chrono::milliseconds(links_[i].ackWaitMs));
    }
    for (const Drip& d : drips_)
        if (!d.bytes.empty()) best = std::min(best, d.next);
    if (best == Clock::time_point::max()) return -1;
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(best - Clock::now()).count();
    return us <= 0 ? 0 : static_cast<int>((us + 999) / 1000);
}

int Sim::run() {
    if (opts_.announce) {
        printf("ready %zu\n", tools_.size());
        fflush(stdout);
    }
    while (!quit_) {
        std::vector<pollfd> fds;
        std::vector<std::pair<int, int>> who; // (kind, index): see the dispatch below
        auto add = [&](int fd, int kind, int idx) {
            fds.push_back({fd, POLLIN, 0});
            who.push_back({kind, idx});
        };
        add(discoFd_, 0, 0);
        if (controlFd_ >= 0) add(controlFd_, 1, 0);
        for (size_t i = 0; i < clients_.size(); i++)
            add(clients_[i].fd, 2, static_cast<int>(i));
        if (stdinOpen_) add(0, 3, 0);
        for (size_t t = 0; t < tools_.size(); t++) {
            if (tools_[t]->silent || tools_[t]->dead) continue;
            const Link& l = links_[t];
            const int ti = static_cast<int>(t);
            if (l.listenFd >= 0) add(l.listenFd, 4, ti);
            if (l.evListenFd >= 0) add(l.evListenFd, 5, ti);
            for (int fd : l.dataFds)
                add(fd, 6 + (fd << 4), ti);
            if (l.evFd >= 0) add(l.evFd, 7, ti);
        }
        const int n = poll(fds.data(), fds.size(), nextTimeoutMs());
        if (n < 0 && errno != EINTR) return 1;
        for (size_t i = 0; n > 0 && i < fds.size() && !quit_; i++) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int kind = who[i].first & 15, idx = who[i].second;
            switch (kind) {
            case 0:
                onDisco();
                break;
            case 1:
                onControlAccept();
                break;
            case 2:
                onClient(static_cast<size_t>(idx));
                break;
            case 3:
                onStdin();
                break;
            case 4:
                onAccept(idx, false);
                break;
            case 5:
                onAccept(idx, true);
                break;
            case 6: {
                const int fd = who[i].first >> 4;
                const auto& d = links_[idx].dataFds;
                if (std::find(d.begin(), d.end(), fd) != d.end()) onData(idx, fd);
                break;
            }
            case 7:
                if (links_[idx].evFd == fds[i].fd) onEventFd(idx);
                break;
            }
            // Client list or links may have changed; the rest of this round is stale.
            if (kind == 1 || kind == 2 || kind == 3) break;
        }
        timers();
        checkWaiters();
    }
    return 0;
}

} // namespace toolsim
