// Command-line options of toolsim, shared by the program and by tests that run the
// virtual tools inside their own process.
#include "sim.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sstream>

namespace toolsim {

namespace {

int parseToolDef(const std::string& def, ToolIdentity* id, std::string* err) {
    std::istringstream in(def);
    std::string part;
    bool first = true;
    while (std::getline(in, part, ',')) {
        if (first) {
            first = false;
            const int type = std::atoi(part.c_str());
            if (type < 1 || type > 4) return *err = "type must be 1 to 4", -1;
            id->type = static_cast<uint8_t>(type);
            continue;
        }
        const size_t eq = part.find('=');
        if (eq == std::string::npos) return *err = "expected key=value: " + part, -1;
        const std::string k = part.substr(0, eq), v = part.substr(eq + 1);
        if (k == "ip") {
            if (parseIp(v, &id->ip) != 0) return *err = "bad ip " + v, -1;
        } else if (k == "port") {
            const long p = std::atol(v.c_str());
            if (p < 1 || p > 65534) return *err = "bad port " + v, -1;
            id->port = static_cast<uint16_t>(p);
        } else if (k == "serial") {
            id->serial = v.substr(0, 15);
        } else if (k == "mac") {
            if (parseMac(v, id->mac) != 0) return *err = "bad mac " + v, -1;
        } else if (k == "model") {
            id->model = static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 0));
        } else if (k == "version") {
            id->version = static_cast<uint16_t>(std::atoi(v.c_str()));
        } else if (k == "busy") {
            id->busy = std::atoi(v.c_str()) != 0;
        } else {
            return *err = "unknown key " + k, -1;
        }
    }
    return first ? (*err = "empty tool definition", -1) : 0;
}

ToolIdentity defaultTool(int i, uint8_t type) {
    static const uint32_t models[5] = {0, 1200, 3020, 3030, 1400};
    ToolIdentity id;
    id.type = type;
    id.serial = "KS2607" + std::to_string(type) + std::to_string(100 + i + 1).substr(1);
    id.model = models[type];
    const uint8_t mac[6] = {0x02, 0x4b, 0x53, 0x00, type, static_cast<uint8_t>(i + 1)};
    std::memcpy(id.mac, mac, 6);
    id.version = 1203;
    return id;
}

std::string ifaceAddress(const std::string& name) {
    ifaddrs* list = nullptr;
    std::string out;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && name == a->ifa_name) {
            out = ipText(ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr));
            break;
        }
    freeifaddrs(list);
    return out;
}

// "ADDR:PORT" (either part may be left out: ":5000", "10.0.0.1").
int parseEndpoint(const std::string& text, uint32_t* ip, uint16_t* port) {
    const size_t colon = text.find(':');
    const std::string a = text.substr(0, colon);
    if (!a.empty() && parseIp(a, ip) != 0) return -1;
    if (colon == std::string::npos) return 0;
    const long p = std::atol(text.c_str() + colon + 1);
    if (p < 1 || p > 65535) return -1;
    *port = static_cast<uint16_t>(p);
    return 0;
}

} // namespace

int parseArgs(const std::vector<std::string>& args, Options* o, std::string* err) {
    int count = -1, portBase = 5020;
    std::vector<int> types;
    std::vector<std::string> defs;
    parseIp(kDiscoGroup, &o->discoIp);
    o->discoPort = kDiscoPort;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto next = [&]() { return hasValue ? args[++i] : std::string(); };
        if (a == "--help" || a == "-h") return 1;
        static const char* const valued[] = {
            "--tools",    "--types",          "--tool",    "--bind",     "--iface",
            "--mcast-if", "--port-base",      "--control", "--ack-wait", "--auto",
            "--auto-ng",  "--write-regtools", "--disco",   "--reply-to"};
        bool needs = false;
        for (const char* v : valued)
            needs = needs || a == v;
        if (needs && !hasValue) return *err = a + " needs a value", -1;
        if (a == "--tools") {
            count = std::atoi(next().c_str());
        } else if (a == "--types") {
            std::istringstream in(next());
            std::string t;
            while (std::getline(in, t, ','))
                types.push_back(std::atoi(t.c_str()));
        } else if (a == "--tool") {
            defs.push_back(next());
        } else if (a == "--bind") {
            o->bind = next();
        } else if (a == "--iface") {
            o->iface = next();
        } else if (a == "--mcast-if") {
            o->mcastIf = next();
        } else if (a == "--port-base") {
            portBase = std::atoi(next().c_str());
        } else if (a == "--control") {
            o->control = next();
        } else if (a == "--no-stdin") {
            o->useStdin = false;
        } else if (a == "--exit-on-eof") {
            o->exitOnEof = true;
        } else if (a == "--ack-wait") {
            o->ackWaitMs = std::atoi(next().c_str());
        } else if (a == "--reply-unicast") {
            o->replyUnicast = true;
        } else if (a == "--group-only") {
            o->groupOnly = true;
        } else if (a == "--disco") {
            if (parseEndpoint(next(), &o->discoIp, &o->discoPort) != 0)
                return *err = "bad --disco " + args[i], -1;
        } else if (a == "--reply-to") {
            if (parseEndpoint(next(), &o->replyIp, &o->replyPort) != 0)
                return *err = "bad --reply-to " + args[i], -1;
        } else if (a == "--auto") {
            o->autoPeriodMs = std::atoi(next().c_str());
        } else if (a == "--auto-ng") {
            o->autoNgEvery = std::atoi(next().c_str());
        } else if (a == "--write-regtools") {
            o->regtools = next();
        } else if (a == "--stamp") {
            o->stamp = true;
        } else if (a == "-v") {
            o->verbose = 1;
        } else if (a == "-vv") {
            o->verbose = 2;
        } else {
            return *err = "unknown option " + a + " (see --help)", -1;
        }
    }
    if (!o->iface.empty()) {
        o->bind = ifaceAddress(o->iface);
        if (o->bind.empty()) return *err = "no IPv4 address on " + o->iface, -1;
    }
    uint32_t bindIp = 0;
    if (parseIp(o->bind, &bindIp) != 0) return *err = "bad bind address " + o->bind, -1;
    if (count < 0) count = defs.empty() ? 1 : 0;
    for (int i = 0; i < count; i++) {
        static const int cycle[4] = {2, 3, 1, 4};
        const int type =
            i < static_cast<int>(types.size()) ? types[static_cast<size_t>(i)] : cycle[i % 4];
        if (type < 1 || type > 4) return *err = "type must be 1 to 4", -1;
        o->tools.push_back(defaultTool(i, static_cast<uint8_t>(type)));
    }
    for (const auto& s : defs) {
        const int i = static_cast<int>(o->tools.size());
        ToolIdentity id = defaultTool(i, 2);
        if (parseToolDef(s, &id, err) != 0) return *err = "--tool " + s + ": " + *err, -1;
        const ToolIdentity def = defaultTool(i, id.type); // defaults follow the type
        if (s.find("serial=") == std::string::npos) id.serial = def.serial;
        if (s.find("model=") == std::string::npos) id.model = def.model;
        if (s.find("mac=") == std::string::npos) std::memcpy(id.mac, def.mac, 6);
        o->tools.push_back(id);
    }
    if (o->tools.empty() || o->tools.size() > 8) return *err = "1 to 8 tools", -1;
    for (size_t i = 0; i < o->tools.size(); i++) {
        if (!o->tools[i].ip) o->tools[i].ip = bindIp;
        if (!o->tools[i].port) o->tools[i].port = static_cast<uint16_t>(portBase + 2 * i);
    }
    if (!o->replyIp) o->replyIp = o->discoIp;
    if (!o->replyPort) o->replyPort = o->discoPort;
    if (o->groupOnly && (!IN_MULTICAST(o->discoIp) || o->replyIp != o->discoIp || o->replyUnicast))
        return *err = "--group-only takes no unicast --disco, --reply-to or --reply-unicast", -1;
    return 0;
}

int writeRegtools(const std::string& path, const std::vector<ToolIdentity>& tools) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return -1;
    bool ok = true;
    for (const auto& t : tools) {
        const auto rec = encodeRegtoolsRecord(t);
        ok = ok && std::fwrite(rec.data(), 1, rec.size(), f) == rec.size();
    }
    ok = (std::fclose(f) == 0) && ok;
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0 ? 0 : -1;
}

} // namespace toolsim
