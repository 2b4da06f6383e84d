// Creation and disposal of packets, and the base of every module that takes
// packets in.
#pragma once

#include <memory>

#include "format/settings.h"
#include "framework/bit_stream.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// A packet at position 0 that owns the size bytes given (one packet's bytes
// as read from a file), ready for the decoder's input queue.
std::unique_ptr<da_BinRWBase> packet_from_bytes(std::unique_ptr<unsigned char[]> bytes, int size);

// Keeps `packets_ahead` empty packets of `packet_bytes` bytes waiting on its
// output, so the first coder never waits for one.
class da_PacketCreator final : public da_Module {
  public:
    explicit da_PacketCreator(const da_EPacketCreatorSetup& setup);
    void work() override;

    int packet_bytes;
    int packets_ahead;
    // Not a plain put face: the creator reads its fill level.
    LevelFace<da_BinRWBase> output;
};

// Base of the modules that take packets in. Packets still waiting on the
// input when the module goes are disposed of with it.
class da_PacketInProcess : public da_Module {
  public:
    GetFace<da_BinRWBase> packet_input;

    // Disposes of every packet waiting on the input; returns the sum of
    // their bit positions.
    int destroy_input_packerts();

  protected:
    da_PacketInProcess() = default;
    ~da_PacketInProcess();

    // destroy_input_packerts that also counts the packets whose reading ran
    // past their end into *overran, and into *under_read those whose reading
    // stopped before their last byte (a whole byte or more never read).
    int dispose_input_packets(int* overran, int* under_read = nullptr);
};

// The decoder's last packet module: disposes of spent packets and keeps
// count of the bits they held and of those that were damaged.
class da_PacketsGarbage final : public da_PacketInProcess {
  public:
    da_PacketsGarbage();
    ~da_PacketsGarbage();
    void work() override;

    int damaged_packets() const { return damaged_; }
    // Packets that kept at least one whole unread byte: intact files never
    // have them, since the encoder writes a packet's bits and nothing more.
    int under_read_packets() const { return under_read_; }

    // 64-bit: the bits of a long file overflow an int.
    long long total_bits = 0;

  private:
    int damaged_ = 0;
    int under_read_ = 0;
};

}  // namespace x91
