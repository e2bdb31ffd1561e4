#pragma once

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

class VirtualMixer;
typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

// Puts the virtual mixer on a mocked USB bus for libusb: under umockdev's
// preload library the device appears in sysfs and udev, and the kernel's
// usbdevfs calls on its device node (control, bulk and interrupt URBs,
// discards, reaps, claims, resets, halts) are answered here from the model.
// Each bulk or interrupt URB runs on a thread of its own, since the model
// blocks a transfer until data is due; control URBs are answered at once.
class UsbdevfsMixerHarness
{
public:
    explicit UsbdevfsMixerHarness(VirtualMixer &mixer);
    ~UsbdevfsMixerHarness();

    // Whether the process runs under umockdev's preload library.
    static bool mockEnvironment();

    // The device appears on the bus (an "add" uevent) / leaves it ("remove").
    void plug();
    void unplug();
    // A second device with the same ids on another port (never answered for).
    void plugBystander();
    void unplugBystander();

private:
    struct Urb;
    bool handleIoctl(UMockdevIoctlClient *client);
    void submit(UMockdevIoctlClient *client);
    void discard(UMockdevIoctlClient *client);
    void reap(UMockdevIoctlClient *client);
    void answerControl(Urb &urb);
    void runTransfer(Urb &urb);
    bool addDevice(int port);
    void removeDevice(int port);
    void removeFromBus();

    VirtualMixer &m_mixer;
    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_handler = nullptr;
    std::atomic<bool> m_plugged{false};
    bool m_bystander = false;
    int m_listenerId = 0;

    std::mutex m_mutex;
    std::atomic<bool> m_stopping{false};
    std::list<std::shared_ptr<Urb>> m_running;
    std::list<std::shared_ptr<Urb>> m_done;
    int m_transfers = 0; // threads running a URB
    std::condition_variable m_transfersEnded;
};
