// Processor identification through CPUID: vendor, SIMD level, L2 cache size and the leaf-2
// descriptor fallback.
#include "shell/cpu.h"

#include "platform/sys/sys.h"

#include <cstring>

namespace shell {

namespace {

void store_le(std::uint32_t value, unsigned char* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

int l2_kb_of_descriptor(unsigned char d) {
    struct Entry {
        unsigned char code;
        int kb;
    };
    static const Entry table[] = {
        {0x39, 128},  {0x3B, 128},  {0x3C, 256},  {0x41, 128}, {0x42, 256}, {0x43, 512},
        {0x44, 1024}, {0x45, 2048}, {0x78, 1024}, {0x79, 128}, {0x7A, 256}, {0x7B, 512},
        {0x7C, 1024}, {0x7D, 2048}, {0x7F, 512},  {0x82, 256}, {0x83, 512}, {0x84, 1024},
        {0x85, 2048}, {0x86, 512},  {0x87, 1024},
    };
    for (const Entry& e : table)
        if (e.code == d) return e.kb;
    return 0;
}

} // namespace

int l2_cache_from_descriptors(const unsigned char descriptors[16]) {
    int kb = 0;
    for (int i = 0; i < 16; ++i) {
        if (descriptors[i] == 0) continue;
        int found = l2_kb_of_descriptor(descriptors[i]);
        if (found != 0) kb = found;
    }
    return kb;
}

void cpu_info(const CpuidQuery& cpuid, char* vendor, int* level, int* l2_kb,
              unsigned char* descriptors) {
    std::uint32_t r[4] = {0, 0, 0, 0};
    cpuid(0, r);
    unsigned char text[12];
    store_le(r[1], text);
    store_le(r[3], text + 4);
    store_le(r[2], text + 8);
    std::memcpy(vendor, text, 12);
    vendor[12] = '\0';

    cpuid(1, r);
    const std::uint32_t edx = r[3];
    int simd = 0;
    if (edx & (1u << 25)) {
        simd = 1;
        if (edx & (1u << 26)) simd = (edx & 1u) ? 3 : 2;
    }
    *level = simd;

    // The highest extended leaf is only meaningful with the top bit set: processors without
    // extended leaves answer 0x80000000 with basic-leaf data, which a signed comparison would
    // take for support and then read a cache size out of unrelated registers.
    cpuid(0x80000000u, r);
    const std::uint32_t max_extended = r[0];
    *l2_kb = 0;
    if (max_extended >= 0x80000006u) {
        cpuid(0x80000006u, r);
        *l2_kb = static_cast<int>(r[2] >> 16);
    }

    cpuid(2, r);
    for (int i = 0; i < 4; ++i)
        store_le(r[i], descriptors + 4 * i);
}

} // namespace shell

void cpu_info(char* vendor, int* level, int* l2_kb, unsigned char* descriptors) {
    shell::cpu_info([](std::uint32_t leaf, std::uint32_t regs[4]) { sys::cpuid(leaf, 0, regs); },
                    vendor, level, l2_kb, descriptors);
}
