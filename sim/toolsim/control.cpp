// Line commands of the control interface (standard input and the Unix socket).
#include "regmap.h"
#include "sim.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace toolsim {

namespace {

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> w;
    std::istringstream in(line);
    std::string s;
    while (in >> s)
        w.push_back(s);
    return w;
}

bool toLong(const std::string& s, long* v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *v = std::strtol(s.c_str(), &end, 0);
    return errno == 0 && end && *end == 0;
}

// key=value words from position `from`; text values go to `texts`.
bool keyValues(const std::vector<std::string>& w, size_t from, std::map<std::string, long>* kv,
               std::map<std::string, std::string>* texts) {
    for (size_t i = from; i < w.size(); i++) {
        const size_t eq = w[i].find('=');
        if (eq == std::string::npos || eq == 0) return false;
        const std::string k = w[i].substr(0, eq), v = w[i].substr(eq + 1);
        long n;
        if (k == "barcode" || k == "ip" || k == "mac" || k == "serial")
            (*texts)[k] = v;
        else if (toLong(v, &n) && n >= 0 && n <= 65535)
            (*kv)[k] = n;
        else
            return false;
    }
    return true;
}

} // namespace

std::string Sim::command(const std::string& line) {
    const auto w = split(line);
    if (w.empty()) return "err empty command";
    return doCommand(w);
}

std::string Sim::listTools() const {
    std::ostringstream o;
    o << "ok " << tools_.size();
    for (const auto& tp : tools_) {
        const VirtualTool& t = *tp;
        o << " | " << t.index << " " << familyName(t.id.type) << " serial=" << t.id.serial
          << " mac=" << macText(t.id.mac) << " ip=" << ipText(t.id.ip) << " port=" << t.id.port
          << " lock=" << t.holding()[kRegLock] << " output=" << t.holding()[kRegEventOutput]
          << " pending=" << t.pending() << (t.silent ? " silent" : "") << (t.dead ? " dead" : "")
          << (t.id.busy ? " busy" : "") << (t.autoOn ? " auto" : "");
    }
    return o.str();
}

std::string Sim::stats(int t) const {
    const VirtualTool& tool = *tools_[static_cast<size_t>(t)];
    const Link& l = links_[static_cast<size_t>(t)];
    std::ostringstream o;
    o << "ok produced=" << tool.produced << " sent=" << tool.sent << " acked=" << tool.acked
      << " ackTimeouts=" << tool.ackTimeouts << " pending=" << tool.pending()
      << " newest=" << tool.newest << " delivered=" << tool.delivered
      << " filtered=" << tool.filtered << " overflowed=" << tool.overflowed
      << " data=" << l.dataFds.size() << " event=" << (l.evFd >= 0 ? 1 : 0)
      << " lock=" << tool.holding()[kRegLock] << " output=" << tool.holding()[kRegEventOutput]
      << " remaining=" << tool.remaining << " preset=" << tool.holding()[kRegPreset]
      << " scans=" << tool.scans << " ignore=" << l.ignore << " requests=" << discoRequests_
      << " curves=" << tool.curves << " triggers=" << tool.triggers;
    return o.str();
}

std::string Sim::doCommand(const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    if (cmd == "quit" || cmd == "exit") {
        quit_ = true;
        return "ok bye";
    }
    if (cmd == "help") return "ok see toolsim --help";
    if (cmd == "list") return listTools();

    static const char* const kToolCommands[] = {
        "auto",      "burst",   "stats", "fasten",   "barcode", "count", "event", "error",
        "raw",       "silent",  "back",  "die",      "revive",  "drop",  "busy",  "advertise",
        "readdress", "set",     "setin", "get",      "temp",    "lock",  "trace", "ignore",
        "evport",    "ackwait", "drip",  "triggers", "refuse"};
    if (std::find(std::begin(kToolCommands), std::end(kToolCommands), cmd) ==
        std::end(kToolCommands))
        return "err unknown command " + cmd;
    // Every other command names a tool (or "all" where that makes sense).
    if (w.size() < 2) return "err missing tool";
    std::vector<int> targets;
    long ti = -1;
    if (w[1] == "all") {
        for (size_t i = 0; i < tools_.size(); i++)
            targets.push_back(static_cast<int>(i));
    } else if (toLong(w[1], &ti) && ti >= 0 && ti < static_cast<long>(tools_.size())) {
        targets.push_back(static_cast<int>(ti));
    } else {
        return "err bad tool " + w[1];
    }
    const int t = targets[0];
    VirtualTool& tool = *tools_[static_cast<size_t>(t)];
    std::map<std::string, long> kv;
    std::map<std::string, std::string> texts;
    long a = 0, b = 0;

    if (cmd == "auto") {
        if (w.size() < 3 || (w[2] != "on" && w[2] != "off")) return "err usage: auto T on|off";
        long period = 3000, ngEvery = 0;
        if (w.size() > 3 && (!toLong(w[3], &period) || period < 10)) return "err bad period";
        if (w.size() > 4 && (!toLong(w[4], &ngEvery) || ngEvery < 0)) return "err bad ng";
        for (int i : targets) {
            VirtualTool& x = *tools_[static_cast<size_t>(i)];
            x.autoOn = w[2] == "on";
            x.autoPeriodMs = static_cast<int>(period);
            x.autoNgEvery = static_cast<int>(ngEvery);
            x.autoNext = Clock::now() + std::chrono::milliseconds(period);
        }
        return "ok";
    }
    if (cmd == "burst") {
        if (w.size() < 4 || !toLong(w[2], &a) || !toLong(w[3], &b) || a < 0 || b < 0)
            return "err usage: burst T N INTERVAL_US";
        for (int i : targets) {
            VirtualTool& x = *tools_[static_cast<size_t>(i)];
            x.burstLeft = static_cast<int>(a);
            x.burstIntervalUs = static_cast<int>(b);
            x.burstNext = Clock::now();
        }
        timers();
        return "ok";
    }
    if (targets.size() != 1) return "err one tool only for " + cmd;

    if (cmd == "stats") return stats(t);
    Link& link = links_[static_cast<size_t>(t)];
    if (cmd == "trace") {
        std::string out = "ok" + link.trace;
        link.trace.clear();
        return out;
    }
    if (cmd == "ignore") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0) return "err usage: ignore T N";
        link.ignore = static_cast<int>(a);
        return "ok";
    }
    if (cmd == "triggers") {
        if (w.size() < 3 || (w[2] != "on" && w[2] != "off")) return "err usage: triggers T on|off";
        link.ignoreTrigger = w[2] == "off";
        return "ok";
    }
    if (cmd == "ackwait") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0) return "err usage: ackwait T MS";
        link.ackWaitMs = static_cast<int>(a);
        pump(t);
        return "ok";
    }
    if (cmd == "evport") {
        if (w.size() < 3 || (w[2] != "on" && w[2] != "off")) return "err usage: evport T on|off";
        link.eventPort = w[2] == "on";
        if (!link.eventPort) {
            closeEvent(t);
            if (link.evListenFd >= 0) close(link.evListenFd);
            link.evListenFd = -1;
        } else if (link.evListenFd < 0 && !tool.dead) {
            closeLinks(t, true);
            if (openListeners(t) != 0) return "err cannot listen";
        }
        return "ok";
    }
    if (cmd == "fasten") {
        if (w.size() < 3 || (w[2] != "ok" && w[2] != "ng")) return "err usage: fasten T ok|ng";
        if (!keyValues(w, 3, &kv, &texts)) return "err bad key=value";
        if (tool.dead) return "err dead";
        if (texts.count("barcode")) tool.lastBarcode = texts["barcode"].substr(0, 32);
        const int rc = tool.fasten(w[2] == "ok", kv);
        if (rc < 0) return "err locked";
        afterProduce(t);
        return rc ? "ok filtered" : "ok " + std::to_string(tool.newest);
    }
    if (cmd == "barcode") {
        if (w.size() < 3) return "err usage: barcode T TEXT";
        const int rc = tool.barcodeRead(w[2]);
        afterProduce(t);
        return rc ? "ok filtered" : "ok " + std::to_string(tool.newest);
    }
    if (cmd == "count") {
        if (w.size() > 2 && !toLong(w[2], &a)) return "err bad count";
        const int rc = tool.screwCountEvent(w.size() > 2 ? static_cast<int>(a) : 1);
        afterProduce(t);
        return rc ? "ok filtered" : "ok " + std::to_string(tool.newest);
    }
    if (cmd == "event") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 65535) return "err bad status";
        if (!keyValues(w, 3, &kv, &texts)) return "err bad key=value";
        const int rc = tool.otherEvent(static_cast<uint16_t>(a), kv);
        afterProduce(t);
        return rc ? "ok filtered" : "ok " + std::to_string(tool.newest);
    }
    if (cmd == "error") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 65535) return "err bad code";
        tool.raiseError(static_cast<uint16_t>(a));
        tool.otherEvent(6, {{"error", a}});
        afterProduce(t);
        return "ok";
    }
    if (cmd == "raw") {
        if (w.size() < 3) return "err usage: raw T KIND";
        if (links_[static_cast<size_t>(t)].evFd < 0) return "err no event connection";
        std::vector<uint8_t> frame;
        Malformed kind;
        if (w[2] == "hex") {
            if (w.size() < 4 || w[3].size() % 2) return "err bad hex";
            for (size_t i = 0; i < w[3].size(); i += 2) {
                long v;
                if (!toLong("0x" + w[3].substr(i, 2), &v)) return "err bad hex";
                frame.push_back(static_cast<uint8_t>(v));
            }
        } else if (w[2] == "cut") {
            if (w.size() < 4 || !toLong(w[3], &a) || a < 9 || a > 260) return "err bad length";
            EventRecord r;
            r.status = 1;
            r.barcode = tool.lastBarcode;
            frame = cutFrame(encodeEventFrame(tool.id.type, ++link.tid, r), static_cast<size_t>(a));
        } else if (parseMalformed(w[2], &kind) == 0) {
            if (w.size() > 3 && (!toLong(w[3], &a) || a < 1 || a > 4096)) return "err bad length";
            frame = encodeMalformed(kind, tool.id.type, ++links_[static_cast<size_t>(t)].tid,
                                    static_cast<size_t>(a), tool.rng);
        } else {
            return "err unknown frame kind " + w[2];
        }
        if (sendRaw(t, frame) != 0) return "err send failed";
        return "ok " + std::to_string(frame.size());
    }
    if (cmd == "silent" || cmd == "back") {
        tool.silent = cmd == "silent";
        if (!tool.silent) pump(t);
        return "ok";
    }
    if (cmd == "die") {
        closeLinks(t, true);
        tool.dead = true;
        return "ok";
    }
    if (cmd == "revive") {
        if (!tool.dead) return "ok";
        if (openListeners(t) != 0) return "err cannot listen";
        tool.dead = tool.silent = false;
        return "ok";
    }
    if (cmd == "drop") {
        closeLinks(t, false);
        return "ok";
    }
    if (cmd == "busy") {
        if (w.size() < 3 || !toLong(w[2], &a)) return "err usage: busy T 0|1";
        tool.id.busy = a != 0;
        return "ok";
    }
    if (cmd == "advertise") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 255) return "err bad cause";
        advertise(t, static_cast<uint8_t>(a));
        return "ok";
    }
    if (cmd == "readdress") {
        if (!keyValues(w, 2, &kv, &texts)) return "err bad key=value";
        uint32_t ip = tool.id.ip;
        if (texts.count("ip") && parseIp(texts["ip"], &ip) != 0) return "err bad ip";
        const long port = kv.count("port") ? kv["port"] : tool.id.port;
        const long cause = kv.count("cause") ? kv["cause"] : 1;
        if (port < 1 || port > 65534 || cause > 255) return "err bad port or cause";
        closeLinks(t, true);
        const uint32_t oldIp = tool.id.ip;
        const uint16_t oldPort = tool.id.port;
        tool.id.ip = ip;
        tool.id.port = static_cast<uint16_t>(port);
        if (openListeners(t) != 0) {
            tool.id.ip = oldIp;
            tool.id.port = oldPort;
            openListeners(t);
            return "err cannot listen on the new address";
        }
        for (int i = 0; i < 4; i++)
            tool.holding()[kRegNetIp + i] = static_cast<uint16_t>((ip >> (24 - 8 * i)) & 255);
        tool.holding()[kRegNetPort] = static_cast<uint16_t>(port);
        tool.dead = false;
        advertise(t, static_cast<uint8_t>(cause));
        return "ok";
    }
    if (cmd == "set" || cmd == "setin") {
        if (w.size() < 4 || !toLong(w[2], &a) || !toLong(w[3], &b) || a < 0 || a >= kRegCount ||
            b < 0 || b > 65535)
            return "err usage: set T REG VALUE";
        if (cmd == "setin") {
            tool.input()[a] = static_cast<uint16_t>(b);
            return "ok";
        }
        tool.holding()[a] = static_cast<uint16_t>(b);
        handleEffect(t, -1, tool.applyWrite(static_cast<int>(a), static_cast<uint16_t>(b)));
        return "ok";
    }
    if (cmd == "get") {
        long n = 1;
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a >= kRegCount ||
            (w.size() > 3 && !toLong(w[3], &n)) || n < 1 || a + n > kRegCount)
            return "err usage: get T REG [COUNT]";
        tool.sync();
        std::string out = "ok";
        for (long r = a; r < a + n; r++) {
            const bool in = r >= 3000 && r < 4000;
            out += " " + std::to_string(in ? tool.input()[r] : tool.holding()[r]);
        }
        return out;
    }
    if (cmd == "temp") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 65535) return "err bad value";
        tool.input()[kRegTemperature] = static_cast<uint16_t>(a);
        return "ok";
    }
    if (cmd == "drip") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 60000) return "err usage: drip T MS";
        links_[static_cast<size_t>(t)].dripMs = static_cast<int>(a);
        return "ok";
    }
    if (cmd == "refuse") {
        if (w.size() > 2 && w[2] == "off") {
            tool.refused.clear();
            return "ok";
        }
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 65535)
            return "err usage: refuse T REG|off";
        tool.refused.insert(static_cast<int>(a));
        return "ok";
    }
    if (cmd == "lock") {
        if (w.size() < 3 || !toLong(w[2], &a) || a < 0 || a > 1) return "err usage: lock T 0|1";
        tool.holding()[kRegLock] = static_cast<uint16_t>(a);
        tool.sync();
        return "ok";
    }
    return "err unknown command " + cmd; // listed above but not handled
}

void Sim::onControlAccept() {
    const int fd = accept4(controlFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) clients_.push_back({fd, {}});
}

void Sim::addClient(int fd) {
    clients_.push_back({fd, {}});
}

static void answer(int fd, const std::string& reply) {
    if (fd < 0) {
        printf("%s\n", reply.c_str());
        fflush(stdout);
        return;
    }
    const std::string line = reply + "\n";
    size_t off = 0;
    while (off < line.size()) {
        const ssize_t n = send(fd, line.data() + off, line.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return;
        off += static_cast<size_t>(n);
    }
}

void Sim::lines(int fd, std::string& buf, bool* waiting) {
    size_t nl;
    while (!quit_ && !*waiting && (nl = buf.find('\n')) != std::string::npos) {
        const std::string line = buf.substr(0, nl);
        buf.erase(0, nl + 1);
        if (line.compare(0, 5, "wait ") == 0)
            *waiting = startWait(fd, line);
        else
            answer(fd, command(line));
    }
}

// wait T COND.. [ms=N]: COND is KEY=V or KEY>=V over the keys of "stats T", or rREG for
// a holding register. Answers "ok" once all hold, "err timeout ..." at the deadline.
bool Sim::startWait(int fd, const std::string& line) {
    const auto w = split(line);
    long t = -1, ms = 5000;
    if (w.size() < 3 || !toLong(w[1], &t) || t < 0 || t >= static_cast<long>(tools_.size())) {
        answer(fd, "err usage: wait T KEY=V|KEY>=V.. [ms=N]");
        return false;
    }
    Waiter wt{fd, static_cast<int>(t), {}, {}};
    for (size_t i = 2; i < w.size(); i++) {
        if (w[i].compare(0, 3, "ms=") == 0 && toLong(w[i].substr(3), &ms) && ms >= 0) continue;
        wt.conds.push_back(w[i]);
    }
    wt.deadline = Clock::now() + std::chrono::milliseconds(ms);
    const int h = holds(wt);
    if (h != 0) {
        answer(fd, h > 0 ? "ok" : "err bad condition");
        return false;
    }
    waiters_.push_back(wt);
    return true;
}

int Sim::holds(const Waiter& w) const {
    std::map<std::string, long> st;
    std::istringstream in(stats(w.tool));
    std::string kv;
    while (in >> kv) {
        const size_t eq = kv.find('=');
        long v;
        if (eq != std::string::npos && toLong(kv.substr(eq + 1), &v)) st[kv.substr(0, eq)] = v;
    }
    for (const auto& c : w.conds) {
        const size_t eq = c.find('=');
        if (eq == std::string::npos || eq == 0) return -1;
        const bool ge = c[eq - 1] == '>';
        const std::string key = c.substr(0, ge ? eq - 1 : eq);
        long want, have, reg;
        if (!toLong(c.substr(eq + 1), &want)) return -1;
        if (key.size() > 1 && key[0] == 'r' && toLong(key.substr(1), &reg) && reg >= 0 &&
            reg < kRegCount)
            have = tools_[static_cast<size_t>(w.tool)]->holding()[reg];
        else if (st.count(key))
            have = st[key];
        else
            return -1;
        if (ge ? have < want : have != want) return 0;
    }
    return 1;
}

void Sim::checkWaiters() {
    const auto now = Clock::now();
    std::vector<int> done;
    for (size_t i = 0; i < waiters_.size();) {
        const int h = holds(waiters_[i]);
        if (h == 0 && now < waiters_[i].deadline) {
            i++;
            continue;
        }
        answer(waiters_[i].fd, h > 0 ? "ok" : "err timeout " + stats(waiters_[i].tool).substr(3));
        done.push_back(waiters_[i].fd);
        waiters_.erase(waiters_.begin() + static_cast<long>(i));
    }
    // Lines that came while the answer was held back.
    for (int fd : done) {
        if (fd < 0) {
            stdinWaiting_ = false;
            lines(-1, stdinBuf_, &stdinWaiting_);
            continue;
        }
        for (auto& c : clients_)
            if (c.fd == fd) {
                c.waiting = false;
                lines(fd, c.buf, &c.waiting);
            }
    }
}

void Sim::onClient(size_t i) {
    char buf[1024];
    const ssize_t n = recv(clients_[i].fd, buf, sizeof buf, 0);
    if (n <= 0) {
        const int fd = clients_[i].fd;
        waiters_.erase(std::remove_if(waiters_.begin(), waiters_.end(),
                                      [fd](const Waiter& w) { return w.fd == fd; }),
                       waiters_.end());
        close(fd);
        clients_.erase(clients_.begin() + static_cast<long>(i));
        return;
    }
    clients_[i].buf.append(buf, static_cast<size_t>(n));
    lines(clients_[i].fd, clients_[i].buf, &clients_[i].waiting);
}

void Sim::onStdin() {
    char buf[1024];
    const ssize_t n = read(0, buf, sizeof buf);
    if (n <= 0) {
        stdinOpen_ = false;
        if (opts_.exitOnEof) quit_ = true;
        return;
    }
    stdinBuf_.append(buf, static_cast<size_t>(n));
    lines(-1, stdinBuf_, &stdinWaiting_);
}

} // namespace toolsim
