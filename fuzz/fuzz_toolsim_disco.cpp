// Fuzz target: the discovery request decoder of the virtual tools (toolsim), built from
// its source so the target needs none of the simulator's sockets.
#include "../sim/toolsim/wire.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    toolsim::DiscoRequest req;
    if (toolsim::decodeDiscoRequest(data, size, &req) == 0) {
        if (size < 4) __builtin_trap();
        if (req.text.size() > 16) __builtin_trap();
        if (req.type == toolsim::kSearchReq && size < 20) __builtin_trap();
        toolsim::ToolIdentity id;
        id.serial = "KS2607201";
        id.model = 3020;
        (void)toolsim::searchMatches(req.text, id);
    }
    return 0;
}
