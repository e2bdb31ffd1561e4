#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// One bulk endpoint of the mixer: the transfer its last begin request
// announced, the faults armed for that transfer, and the endpoint's halt and
// abort state. It moves bytes; waiting and locking are its owner's business.
class MixerBulkPipe
{
public:
    enum class Kind {
        None,
        MemoryMap,
        FrameRead,
        FrameWrite,
        TestRead,
        TestWrite,
        SetupRead,
        SetupWrite
    };

    // Byte counts after which an armed fault strikes (-1 = not armed).
    struct Faults
    {
        int stallAfter = -1;  // stops answering
        int shortAfter = -1;  // ends the transfer: a short packet in, a halt out
        int unplugAfter = -1; // leaves the bus
    };

    struct Job
    {
        Kind kind = Kind::None;
        QByteArray data;        // the stream to send, or the bytes received so far
        qsizetype expected = 0; // bytes announced
        qsizetype moved = 0;
        std::uint16_t memoryNo = 0;
        int frame = 0;
        Faults faults;
    };

    enum class Outcome {
        Moved,    // bytes moved; the job goes on
        Finished, // the job's last byte moved
        Idle,     // nothing to move now: the endpoint NAKs
        Short,    // the job ended early (an armed fault)
        Unplug,   // the device must leave the bus now (an armed fault)
    };

    struct Step
    {
        Outcome outcome = Outcome::Idle;
        int bytes = 0;
        std::optional<Job> finished; // the completed job (bulk out only)
    };

    explicit MixerBulkPipe(bool inbound) : m_inbound(inbound) {}

    // A begin request: replaces whatever was announced before. Nothing is
    // announced for an empty transfer.
    void announce(Kind kind, const QByteArray &data, qsizetype expected, const Faults &faults,
                  std::uint16_t memoryNo = 0, int frame = 0);
    void drop() { m_job = Job(); }
    const Job &job() const { return m_job; }
    bool active() const { return m_job.kind != Kind::None; }

    bool halted() const { return m_halted; }
    void clearHalt() { m_halted = false; }
    std::uint64_t abortGeneration() const { return m_abortGeneration; }
    void abort() { ++m_abortGeneration; }
    void disarmFaults() { m_job.faults = Faults(); }

    // Moves up to `want` bytes into `in` (bulk in) or from `out` (bulk out).
    Step step(std::uint8_t *in, const std::uint8_t *out, int want);

private:
    bool m_inbound;
    Job m_job;
    bool m_halted = false;
    std::uint64_t m_abortGeneration = 0;
};
