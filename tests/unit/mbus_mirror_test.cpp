// The register mirror's block reads: what one read stored comes back whole, never mixed
// with the next read's values, while a writer keeps storing blocks on another thread.
#include "mbus.h"
#include "unit_common.h"

namespace {

TEST(MbusMirror, BlockReadsBackWhatOneReadStoredZerosClearAndReadersNeverSeeAMix) {
    struct Case {
        int tdx, addr, count, want;
    } cases[] = {
        {0, 287, 16, 0},  {7, 2900, 2, 0}, {3, 0, 6000, 0}, {3, 5999, 1, 0},
        {3, 5999, 2, -1}, {3, -1, 2, -1},  {8, 10, 2, -1},  {-2, 10, 2, -1},
    };
    for (const auto& c : cases) {
        LogCapture log;
        std::vector<uint16_t> in(size_t(c.count > 0 ? c.count : 1)), out(in.size(), 0xdead);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = uint16_t(0x1000 + i * 3 + c.addr);
        Modbus_StoreBlock(c.tdx, c.addr, c.count, in.data());
        EXPECT_EQ(Modbus_GetBlock(c.tdx, c.addr, c.count, out.data()), c.want)
            << c.tdx << "." << c.addr << "-" << c.count;
        if (c.want == 0) {
            EXPECT_EQ(out, in) << c.tdx << "." << c.addr;
            EXPECT_EQ(Modbus_GetData(c.tdx, c.addr + c.count - 1), in.back());
        } else if (c.tdx >= 0 && c.tdx < 8) {
            EXPECT_TRUE(log.contains("addr out of range")) << c.addr << "-" << c.count;
        }
    }
    uint16_t none[2] = {7, 7};
    EXPECT_EQ(Modbus_GetBlock(-1, 2900, 2, none), 0); // no current tool: zeros
    EXPECT_EQ(none[0] | none[1], 0);
    // Stored zeros clear a block.
    const uint16_t v[3] = {1, 2, 3};
    Modbus_StoreBlock(2, 100, 3, v);
    Modbus_StoreBlock(2, 101, 1, nullptr);
    uint16_t out[3];
    ASSERT_EQ(Modbus_GetBlock(2, 100, 3, out), 0);
    EXPECT_EQ(std::tuple(out[0], out[1], out[2]), std::tuple(1, 0, 3));
    // Readers never see a mix of two reads.
    struct Block {
        int addr, count;
    } const blocks[] = {{287, 16}, {MBUS_REG_EVENT_NEWEST, 2}, {1000, 600}};
    const int tdx = 5, generations = 20000;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0}, started{0};
    std::thread writer([&] {
        // Both readers copy while the writer writes, however the threads get scheduled.
        while (started.load() < 2)
            std::this_thread::yield();
        std::vector<uint16_t> v(600);
        for (int g = 1; g <= generations; ++g) {
            for (const auto& b : blocks) {
                std::fill(v.begin(), v.begin() + b.count, uint16_t(g));
                Modbus_StoreBlock(tdx, b.addr, b.count, v.data());
            }
        }
        done = true;
    });
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            std::vector<uint16_t> out(600);
            uint16_t last[3] = {0, 0, 0};
            ++started;
            while (!done) {
                for (int k = 0; k < 3; ++k) {
                    const auto& b = blocks[k];
                    Modbus_GetBlock(tdx, b.addr, b.count, out.data());
                    const auto end = out.begin() + b.count;
                    const bool mixed =
                        std::adjacent_find(out.begin(), end, std::not_equal_to<>()) != end;
                    // A later copy never goes back to an older generation.
                    if (mixed || out[0] < last[k]) ++torn;
                    last[k] = out[0];
                    ++reads;
                }
            }
        });
    }
    writer.join();
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " block reads";
    uint16_t counters[2];
    ASSERT_EQ(Modbus_GetBlock(tdx, MBUS_REG_EVENT_NEWEST, 2, counters), 0);
    EXPECT_EQ(std::tuple(int(counters[0]), int(counters[1])), std::tuple(generations, generations));
}

// One writer stores generation g into every register of a block (a text of 16 registers,
// the two event counters, a large value block) while readers copy the blocks; a copy
// holding two generations is a torn read. The writer runs a fixed number of generations.

} // namespace
