#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class DeviceLink;
class PipeChannel;
class TransferSide;

// Moves one block through one bulk pipe on its side's worker thread, in
// 4096-byte pieces with a 3-second time-out per piece. Progress (every 20
// pieces) and the finish step (three log lines, Busy and Transferred) are
// handed to the side's user-interface thread as queued calls. Use Run() to
// move a block: it waits for the finish step with the event loop running.
class TThreadReadWrite
{
public:
    static constexpr std::uint32_t ModeRead = 0x80000000u;
    static constexpr std::uint32_t ModeWrite = 0x40000000u;
    static constexpr int kPieceSize = 4096;
    static constexpr int kPieceTimeoutMs = 3000;
    static constexpr int kProgressEvery = 20;

    // Moves the block through pipe (one of link's pipes) for side (one of
    // link's sides; the direction is the pipe's) and returns the bytes moved
    // (Transferred). The buffer must stay until Run returns.
    static std::uint32_t Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                             std::uint8_t *buffer, std::uint32_t size, std::uint32_t mode);
    // As above for a block the worker shares: it keeps the buffer until it
    // ends. The wait also ends as soon as giveUp() holds (an abort that could
    // not be delivered); Run then returns 0 at once while the side stays busy
    // until the worker hands back, so the next block on the side still waits.
    static std::uint32_t Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                             std::shared_ptr<std::vector<std::uint8_t>> buffer,
                             const std::function<bool()> &giveUp);

    // The transfer itself, on the side's worker thread.
    void Execute();

private:
    TThreadReadWrite(DeviceLink &link, PipeChannel &pipe, TransferSide &side, std::uint8_t *buffer,
                     std::uint32_t size);
    static std::uint32_t run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                             std::uint8_t *buffer, std::uint32_t size,
                             std::shared_ptr<std::vector<std::uint8_t>> shared,
                             const std::function<bool()> &giveUp);

    // The worker uses only the pipe (whose transfer is safe on any thread)
    // and the buffer; it hands back to the side, which ends the worker thread
    // before it goes. The link is used in the finish step only, on the side's
    // thread: the side is part of the link.
    DeviceLink *m_link;
    PipeChannel *m_pipe;
    TransferSide *m_side;
    std::uint8_t *m_buffer;
    std::shared_ptr<std::vector<std::uint8_t>> m_shared; // keeps m_buffer when shared
    std::uint32_t m_size;
    int m_pieceTimeoutMs;
};
