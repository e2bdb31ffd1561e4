#pragma once

#include <cstdint>

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

    // The transfer itself, on the side's worker thread.
    void Execute();

private:
    TThreadReadWrite(DeviceLink &link, PipeChannel &pipe, TransferSide &side, std::uint8_t *buffer,
                     std::uint32_t size);

    // The worker uses only the pipe (whose transfer is safe on any thread)
    // and the buffer; it hands back to the side, which ends the worker thread
    // before it goes. The link is used in the finish step only, on the side's
    // thread: the side is part of the link.
    DeviceLink *m_link;
    PipeChannel *m_pipe;
    TransferSide *m_side;
    std::uint8_t *m_buffer;
    std::uint32_t m_size;
    int m_pieceTimeoutMs;
};
