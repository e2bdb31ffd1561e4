#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class VirtualMixer;
typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

// Puts the virtual mixer on a mocked USB bus for libusb: under umockdev's
// preload library the device appears in sysfs and udev, and the kernel's
// usbdevfs calls on its device node (control, bulk and interrupt URBs,
// discards, reaps, claims, resets, halts) are answered here from the model.
// Bulk and interrupt URBs run on threads of their own, since the model
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
    bool plugged() const { return m_plugged; }
    // A second device with the same ids on another port (never answered for).
    void plugBystander();
    void unplugBystander();
    QString devicePath() const { return m_devnode; }
    // Counts of what the harness answered, for tests.
    int submitted() const { return m_submitted.load(); }
    int discarded() const { return m_discarded.load(); }
    int resets() const { return m_resets.load(); }

private:
    struct Urb;
    static int onIoctl(UMockdevIoctlBase *handler, UMockdevIoctlClient *client, void *self);
    bool handleIoctl(UMockdevIoctlClient *client);
    void submit(UMockdevIoctlClient *client);
    void answerControl(Urb &urb, const std::uint8_t *setupAndData);
    void endpointLoop(int slot);
    void runTransfer(Urb &urb);
    void addToBus();
    void removeFromBus();
    QByteArray description(int port, int devnum) const;
    bool addDevice(const QString &devnode, int port, int devnum, bool announce);
    void removeDevice(const QString &devnode, int port);
    static QString sysPath(int port);

    VirtualMixer &m_mixer;
    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_handler = nullptr;
    QString m_devnode;
    std::atomic<bool> m_plugged{false};
    bool m_bystander = false;
    int m_listenerId = 0;

    // One worker per data endpoint runs that endpoint's URBs in order.
    struct EndpointWorker
    {
        std::uint8_t address = 0;
        std::list<std::shared_ptr<Urb>> queue;
        std::shared_ptr<Urb> running;
        std::thread thread;
    };

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
    std::vector<std::unique_ptr<EndpointWorker>> m_workers;
    std::list<std::shared_ptr<Urb>> m_done;
    std::atomic<int> m_submitted{0};
    std::atomic<int> m_discarded{0};
    std::atomic<int> m_resets{0};
};
