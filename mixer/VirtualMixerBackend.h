#pragma once

#include "device/UsbBackend.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class MixerStateFile;
class VirtualMixer;

// The USB seam served by a VirtualMixer in the same process (the GUI's
// `--virtual-mixer`, the CLI, the tests). It only translates: handles and
// pipes are bookkeeping here, every answer comes from the model. The mixer
// must outlive the backend.
class VirtualMixerBackend : public UsbBackend
{
    Q_OBJECT

public:
    explicit VirtualMixerBackend(VirtualMixer &mixer, QObject *parent = nullptr);
    // The backend owns the mixer (the GUI's and the CLI's `--virtual-mixer`).
    explicit VirtualMixerBackend(std::unique_ptr<VirtualMixer> mixer, QObject *parent = nullptr);
    ~VirtualMixerBackend() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    QString devicePath() const override;
    bool devicePresent() override;

    int getDescriptor(int selector, std::uint8_t *buffer, int length) override;
    bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                  std::uint8_t *buffer, std::uint16_t length) override;
    bool vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                   const std::uint8_t *data, std::uint16_t length) override;
    bool resetDevice() override;

    bool openPipe(int interfaceNumber, std::uint8_t endpoint) override;
    bool closePipe(std::uint8_t endpoint) override;
    bool abortPipe(std::uint8_t endpoint) override;
    bool resetPipe(std::uint8_t endpoint) override;
    // A time-out of 0 or less waits without limit, as libusb does.
    TransferResult transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                            int timeoutMilliseconds) override;

    // The model behind the backend, for its control surface.
    VirtualMixer &mixer() const { return m_mixer; }
    // The file the mixer's memory is kept in, written back when the backend goes.
    void keepStateFile(std::unique_ptr<MixerStateFile> file);

private:
    // The handle is alive while it is open and the device has not left the
    // bus since (a re-plugged device needs a fresh open, as with hardware).
    bool handleAlive() const;
    int pipeBit(std::uint8_t endpoint) const;

    std::unique_ptr<VirtualMixer> m_owned; // declared first: destroyed after everything else
    VirtualMixer &m_mixer;
    std::unique_ptr<MixerStateFile> m_stateFile; // goes before the mixer it saves
    int m_listenerId = 0;
    using Lock = std::unique_lock<std::mutex>;
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    bool m_open = false;
    std::uint64_t m_generation = 0;
    int m_openPipes = 0; // one bit per endpoint
    int m_inFlight = 0;
};
