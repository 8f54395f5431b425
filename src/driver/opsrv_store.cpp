// The Open Protocol server's store at start-up: the panel's result store.
#include "opsrv.h"
#include "resultstore.h"

int OpSrv_Init() {
    OpSrvStore s;
    s.read = ResultStore_Read;
    s.get = ResultStore_Get;
    s.cursor = ResultStore_Cursor;
    s.ack = ResultStore_Ack;
    s.watch = ResultStore_Watch;
    s.unwatch = ResultStore_Unwatch;
    return OpSrv_Start(s);
}
