// Process spine without Qt: console keys, the touch reader thread, the framebuffer
// checks and the system information block. The GUI runtime (EwInit, EwProcess, EwDone)
// builds on these.
#pragma once

#include <cstdint>
#include <string>

// Framework key codes delivered to the root object.
enum EwKey {
    EW_KEY_NONE = 0,
    EW_KEY_OK = 1,
    EW_KEY_EXIT = 2,
    EW_KEY_MENU = 3,
    EW_KEY_UP = 4,
    EW_KEY_DOWN = 5,
    EW_KEY_LEFT = 6,
    EW_KEY_RIGHT = 7,
    EW_KEY_QUIT = -1
};

// Console: non-canonical mode without echo (only when standard input is a terminal).
void Console_Init();
void Console_Restore();
// Decoder of console bytes into keys. Feed bytes one at a time; returns the key that a
// byte completes, EW_KEY_NONE while a sequence is pending or the byte is ignored.
struct ConsoleDecoder {
    int state = 0;             // 0 idle, 1 after escape, 2 after escape '['
    int pending = EW_KEY_NONE; // a key that came right after a lone escape, due after its Exit
    int feed(int ch);
    // The key held back by `feed` (EW_KEY_NONE when none); ask after every key fed.
    int take() {
        int k = pending;
        pending = EW_KEY_NONE;
        return k;
    }
    // An escape with nothing after it within the read is Exit: call at the end of input.
    int flush();
};
// Reads one key from standard input without waiting (EW_KEY_NONE when nothing).
int Console_ReadKey();
// File descriptor the GUI loop watches for console input.
int Console_Fd();
// Standard input has ended (a closed pipe): nothing more will come.
bool Console_AtEof();

// Touch reader on "/dev/input/event0" (under the sysroot).
struct TouchPoint {
    int32_t x, y;
};
int Touch_Start(); // starts the reader thread; 0 (a missing device is reported on the thread)
void Touch_Stop(); // sets the quit flag
// GUI side: returns true with the position while a touch is reported.
bool Touch_Query(TouchPoint* out);
// An eventfd signalled after every read of the reader thread (-1 before Touch_Start).
int Touch_WakeFd();
// Pure part of the reader, used by the thread and by tests: apply one input record of
// `size` bytes. Type, code and value are its last 8 bytes, after the time stamp: 16-byte
// records on a 32-bit board and on simulated nodes, 24 bytes on a 64-bit kernel.
struct TouchState {
    int32_t x = 0, y = 0;
    int32_t state = 0;          // 0 idle, 1 pressed unseen, 2 held, 3 released unseen
    bool releasedEarly = false; // contact broken while still in state 1
};
void Touch_ApplyRecord(TouchState& st, const unsigned char* rec, size_t size = 16);
bool Touch_QueryState(TouchState& st, TouchPoint* out);
// Test hook: reset the shared state.
void Touch_Reset();

// Framebuffer: the colour-format rule and the device check.
bool Fb_FormatFits(uint32_t bitsPerPixel);
struct FbInfo {
    int fd = -1;
    uint32_t width = 0, height = 0, bpp = 0, lineLength = 0;
    void* addr = nullptr;
    size_t size = 0;
};
// Opens KEST_FBDEV or "/dev/fb0" (under the sysroot), checks and maps it. Prints the
// panel's error message and returns -1 on failure.
int Fb_Open(FbInfo* info);
void Fb_Close(FbInfo* info);
std::string Fb_DevicePath();

// The configuration block printed at start.
std::string EwSystemInfoText(uintptr_t fbAddr, uint32_t width, uint32_t height);
// Label padded to 45 characters, as every start-up step is announced.
std::string EwStepLabel(const char* label);
