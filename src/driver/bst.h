// Bit socket tray: a USB Modbus RTU accessory polled every 200 ms on the tray worker;
// changes of its preset, alarm and mode and communication failures go to the GUI.
#pragma once

#include <cstdint>

enum BstStatus {
    BST_STATUS_NONE = 0,
    BST_STATUS_ARRIVED = 1,
    BST_STATUS_OPEN = 2,
    BST_STATUS_LEFT = 3
};

enum BstRegister {
    BST_REG_SOCKET_REQUEST = 3200, // holding register, written by the panel
    BST_REG_ALARM = 3201,
    BST_REG_OPMODE = 3202,
    BST_REG_PRESET = 3203,
    BST_REG_NO_SOCKET = 3204
};

enum BstChangeMask { BST_CHANGE_PRESET = 1, BST_CHANGE_ALARM = 2, BST_CHANGE_OPMODE = 4 };

constexpr uint16_t BST_USB_VENDOR = 0x0403;
constexpr uint16_t BST_USB_PRODUCT = 0x6001;
constexpr int BST_TICK_MS = 200;
constexpr uint32_t BST_COMMFAIL_COUNT = 6;

// The bus search used at start-up: 1 when a device with that vendor and product is
// present. Defaults to a libusb device-list walk; tests install their own.
using BstUsbSearch = int (*)(uint16_t vendor, uint16_t product);
void bst_set_usb_search(BstUsbSearch search);
int bst_usb_search_default(uint16_t vendor, uint16_t product);

// Registers the tray worker's set-up (bst_init) and its 200 ms bst_main timer.
void Bst_Start();

int bst_init();
int bst_main(); // one tick; always 1
void bst_arrive_proc();
void bst_left_proc();
int bst_open();
int bst_read(int address);
int bst_write(int address, int value);

uint32_t get_bst_status();
void set_bst_status(uint32_t status);
int32_t get_bst_preset();
int32_t get_bst_alarm();
int32_t get_bst_opmode();
int32_t get_bst_no_socket();
void set_bst_alarm(int32_t value);
uint32_t get_bst_read_fail_cnt();
