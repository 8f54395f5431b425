// toolsim: virtual tools for the panel's tests and demo. See --help.
#include "sim.h"

#include <cstdio>
#include <signal.h>
#include <string>

using namespace toolsim;

static const char kHelp[] = R"(Usage: toolsim [options]
Serves 1 to 8 virtual tools: discovery on 239.66.77.43:53256, a Modbus/TCP server on
each tool's port and its event connection on port + 1.

Options:
  --tools N            number of tools (default 1 unless --tool is given)
  --types LIST         types of those tools, e.g. 2,3,1,4 (default cycles 2,3,1,4);
                       1 XWC (controller), 2 ZQ (driver), 3 ZQT, 4 XWTC
  --tool DEF           one tool: TYPE[,ip=A][,port=P][,serial=S][,mac=M][,model=N]
                       [,version=V][,busy=1]; repeatable, appended after --tools
  --bind ADDR          address of the tools and of the multicast interface
                       (default 127.0.0.1)
  --iface NAME         take the bind address from this interface
  --mcast-if ADDR      multicast interface address (default: the bind address)
  --port-base P        port of tool i is P + 2*i (default 5020)
  --control PATH       also read commands on this Unix stream socket
  --no-stdin           do not read commands on standard input
  --exit-on-eof        quit when standard input ends
  --ack-wait MS        after sending an event wait up to MS ms for 4016 := 1 before
                       the next one (default 1000; 0 sends without waiting)
  --reply-unicast      send scan and search acks to the requester, not the group
  --group-only         as a tool on a real network: discovery only through the joined
                       group, acks and advertises to it (refuses unicast options)
  --disco ADDR:PORT    where the tools take discovery requests (default
                       239.66.77.43:53256; a unicast address is bound, not joined)
  --reply-to ADDR:PORT where acks and advertises go (default: the --disco endpoint)
  --auto MS            every tool fastens every MS ms while unlocked (demo)
  --auto-ng N          in automatic mode every N-th fastening is NG
  --write-regtools PATH
                       write the panel's "./regtools" file (80-byte records) naming
                       these tools, so a panel started on it connects them at once
  --stamp              put the send time (CLOCK_MONOTONIC microseconds, 48 bits) in
                       A1 (high), A2, A3 (low) of every event frame (benchmarks)
  -v, -vv              log connections (-v) and every request (-vv) on stderr
  --help               this text

Commands (one per line; each gets one answer line "ok ..." or "err ..."). T is a
tool index from 0, or "all" for auto and burst:
  list                         tools, addresses, lock, event output, pending events
  stats T                      counters: produced, sent, acked, pending, connections
  fasten T ok|ng [k=v ...]     one fastening; keys: time preset target torque speed
                               a1 a2 a3 screw error dir snug status barcode=TEXT;
                               an NG reports error 334, 330, 332 in turn (torque
                               short, seated early, turned too far), or error=CODE
                               (refused with "err locked" while 4001 = 1)
  barcode T TEXT               a barcode read at the tool (status 7)
  count T [DELTA]              screw-count event (status 8), DELTA screws given back
  event T STATUS [k=v ...]     any other event kind (0 other, 3 FL, 4 preset change...)
  error T CODE                 error CODE enters the list 341..348, status 6 event
  raw T KIND [LEN]             malformed frame on the event connection: short (36
                               bytes), long, huge (260 bytes), badlen (wrong length
                               field), badcount (byte count beyond the frame),
                               garbage [LEN] (random bytes); raw T hex HEXBYTES
  silent T / back T            fall silent (no discovery, no Modbus, no events) / come back
  die T / revive T             power off (connections and listeners closed) / on
  drop T                       close the tool's connections (listeners stay)
  readdress T [ip=A] [port=P] [cause=C]
                               move to a new address or port, then advertise (cause 1)
  advertise T CAUSE            send an advertise with any cause (0..255)
  busy T 0|1                   the busy flag of the discovery answers
  auto T|all on|off [MS] [NG]  automatic fastening every MS ms while unlocked
  burst T|all N INTERVAL_US    N OK fastenings, one every INTERVAL_US microseconds
  set T REG VALUE              write a holding register as the panel would (effects run)
  setin T REG VALUE            write an input register
  get T REG [N]                read registers (3000..3999 from the input table)
  temp T TENTHS                temperature in register 3313
  lock T 0|1                   the tool's own lock (register 4001)
  drip T MS                    answer Modbus requests one byte every MS ms (0: at once)
  trace T                      requests on the data connections since the last trace:
                               "3:260" read (function:address), "4001=1" write,
                               "!" refused, "~" ignored
  ignore T N                   the next N data requests get no answer
  evport T on|off              open / close the event listener (and connection)
  triggers T on|off            off: writes of 4100 (curve trigger) get no answer and
                               change nothing, as a tool that lost its trigger
  refuse T REG|off             every later write of REG answered with an exception;
                               off: all writes taken again
  ackwait T MS                 this tool's --ack-wait
  raw T cut LEN                an OK result cut to LEN bytes, header made to match
  wait T COND.. [ms=N]         answer "ok" once every COND holds, "err timeout ..."
                               after N ms (default 5000); COND is KEY=V or KEY>=V over
                               the keys of stats, or rREG for a holding register
  quit                         end the program

Registers: presets (p-1)*15+1.., advanced 500.., settings 238..266, network 267..320,
limits at +1000/+2000 (writes outside them are refused with exception 3), counters
2900/2901, errors 341..348, status 3303..3313, lock 4001, remote run 4003, preset
4004, direction 4005, event output 4015 (0 off and stored, 1 on with stored first,
2 on and stored skipped), acknowledge 4016, curve 4100..4104, barcode window
5000..5038, 252 := 77 initialises a driver's parameters and restarts its link.
)";

int main(int argc, char** argv) {
    Options o;
    std::string err;
    const int rc = parseArgs(std::vector<std::string>(argv + 1, argv + argc), &o, &err);
    if (rc == 1) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (rc != 0) {
        std::fprintf(stderr, "toolsim: %s\n", err.c_str());
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    Sim sim(o);
    if (sim.start() != 0) return 1;
    return sim.run();
}
