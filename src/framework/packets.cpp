#include "framework/packets.h"

#include <iostream>

#include "framework/debug_messages.h"

namespace x91 {

// The packet is made before it takes the bytes: should making it fail, they
// are still owned here and freed.
std::unique_ptr<da_BinRWBase> packet_from_bytes(std::unique_ptr<unsigned char[]> bytes, int size) {
    auto packet = std::make_unique<da_BinRWBase>(bytes.get(), size, true);
    static_cast<void>(bytes.release());
    return packet;
}

da_PacketCreator::da_PacketCreator(const da_EPacketCreatorSetup& setup)
    : packet_bytes(setup.packet_bytes), packets_ahead(setup.packets_ahead) {
    name = "da_PacketCreator";
}

void da_PacketCreator::work() {
    // The buffer is not cleared: the writer sets or clears every bit it
    // writes, and the bits above the end are cleared when a packet is done.
    const int bytes = packet_bytes > 0 ? packet_bytes : 0;
    while (output.queued() < packets_ahead) {
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[bytes]);
        output.put_data(packet_from_bytes(std::move(buffer), bytes));
    }
}

da_PacketInProcess::~da_PacketInProcess() {
    destroy_input_packerts();
}

int da_PacketInProcess::destroy_input_packerts() {
    return dispose_input_packets(nullptr);
}

int da_PacketInProcess::dispose_input_packets(int* overran, int* under_read) {
    int sum = 0;
    if (!packet_input) return sum;
    while (packet_input.queued() > 0) {
        const auto packet = packet_input.get_data();
        sum += packet->possition();
        if (overran && packet->overran()) ++*overran;
        if (under_read && !packet->overran() && packet->bytes() < packet->capacity()) ++*under_read;
    }
    return sum;
}

da_PacketsGarbage::da_PacketsGarbage() {
    name = "da_PacketsGarbage";
}

da_PacketsGarbage::~da_PacketsGarbage() {
    if (DebugMsgsOn) std::cout << "'Destroyed packets' bytesize : " << total_bits / 8 << '\n';
}

void da_PacketsGarbage::work() {
    total_bits += dispose_input_packets(&damaged_, &under_read_);
}

}  // namespace x91
