// A Modbus RTU slave (address 1) on a pseudo-terminal, served by its own thread: holding
// registers from `first` on, and every single-register write recorded in arrival order.
// The slave side of the pty is linked where the panel looks for the device.
#pragma once

#include <cstdint>
#include <fcntl.h>
#include <modbus.h>
#include <mutex>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

class RtuPeer {
  public:
    RtuPeer(const std::string& link, int first, int count) : link_(link) {
        map_ = modbus_mapping_new_start_address(0, 0, 0, 0, first, count, 0, 0);
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        std::string slave = ptsname(master_);
        // Our own raw handle on the slave keeps the line raw while the panel has it closed.
        slave_ = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio;
        tcgetattr(slave_, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
        unlink(link.c_str());
        (void)!symlink(slave.c_str(), link.c_str());
        ctx_ = modbus_new_rtu(slave.c_str(), 115200, 'N', 8, 1);
        modbus_set_slave(ctx_, 1);
        modbus_set_socket(ctx_, master_);
        (void)!pipe2(stop_, O_CLOEXEC);
        thread_ = std::thread([this] { serve(); });
    }
    ~RtuPeer() {
        (void)!write(stop_[1], "x", 1);
        thread_.join();
        unlink(link_.c_str());
        modbus_free(ctx_);
        modbus_mapping_free(map_);
        close(slave_);
        close(master_);
        close(stop_[0]);
        close(stop_[1]);
    }
    void set(int address, uint16_t value) {
        std::lock_guard<std::mutex> g(lock_);
        map_->tab_registers[address - map_->start_registers] = value;
    }
    uint16_t get(int address) {
        std::lock_guard<std::mutex> g(lock_);
        return map_->tab_registers[address - map_->start_registers];
    }
    void clearWrites() {
        std::lock_guard<std::mutex> g(lock_);
        writes_.clear();
    }
    // Stops answering write requests once `n` more were answered (a tool that goes silent).
    void answerWrites(size_t n) {
        std::lock_guard<std::mutex> g(lock_);
        writesLeft_ = writes_.size() + n;
    }
    // (address, value) of each write-single-register request, in order.
    std::vector<std::pair<int, uint16_t>> writes() {
        std::lock_guard<std::mutex> g(lock_);
        return writes_;
    }

  private:
    void serve() {
        for (;;) {
            pollfd p[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0) continue;
            if (p[1].revents) return;
            uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
            int len = modbus_receive(ctx_, req);
            if (len <= 0) continue;
            std::lock_guard<std::mutex> g(lock_);
            if (req[1] == 0x06) {
                const bool silent = writes_.size() >= writesLeft_;
                writes_.push_back({req[2] << 8 | req[3], uint16_t(req[4] << 8 | req[5])});
                if (silent) continue;
            }
            modbus_reply(ctx_, req, len, map_);
        }
    }
    std::string link_;
    modbus_mapping_t* map_;
    modbus_t* ctx_;
    int master_ = -1, slave_ = -1, stop_[2] = {-1, -1};
    std::thread thread_;
    std::mutex lock_;
    std::vector<std::pair<int, uint16_t>> writes_;
    size_t writesLeft_ = SIZE_MAX;
};
