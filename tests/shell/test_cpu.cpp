// Processor information from injected CPUID answers.
#include "shell/cpu.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>

namespace {

struct FakeCpu {
    std::map<std::uint32_t, std::array<std::uint32_t, 4>> leaves;
    shell::CpuidQuery query() const {
        return [this](std::uint32_t leaf, std::uint32_t regs[4]) {
            auto it = leaves.find(leaf);
            for (int i = 0; i < 4; ++i)
                regs[i] = it == leaves.end() ? 0 : it->second[i];
        };
    }
};

std::uint32_t text4(const char* s) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[i]);
    return v;
}

struct Result {
    char vendor[13];
    int level = -1, l2 = -1;
    unsigned char desc[16];
};

Result run(const FakeCpu& cpu) {
    Result r;
    shell::cpu_info(cpu.query(), r.vendor, &r.level, &r.l2, r.desc);
    return r;
}

TEST(CpuInfo, VendorIsEbxEdxEcx) {
    FakeCpu cpu;
    cpu.leaves[0] = {13, text4("Genu"), text4("ntel"), text4("ineI")};
    Result r = run(cpu);
    EXPECT_STREQ(r.vendor, "GenuineIntel");
}

TEST(CpuInfo, SimdLevelFromLeafOneEdx) {
    struct Case {
        std::uint32_t edx;
        int level;
    } cases[] = {
        {0, 0},
        {1u, 0},                       // bit 0 alone
        {1u << 26, 0},                 // SSE2 without SSE
        {1u << 25, 1},                 // SSE
        {1u << 25 | 1u, 1},            // SSE, bit 0 does not matter without SSE2
        {1u << 25 | 1u << 26, 2},      // SSE2
        {1u << 25 | 1u << 26 | 1u, 3}, // SSE2 and bit 0
        {0xFFFFFFFFu, 3},
    };
    for (const Case& c : cases) {
        FakeCpu cpu;
        cpu.leaves[1] = {0, 0, 0, c.edx};
        EXPECT_EQ(run(cpu).level, c.level) << std::hex << c.edx;
    }
}

TEST(CpuInfo, L2FromExtendedLeafAndDescriptorBytes) {
    FakeCpu cpu;
    cpu.leaves[0x80000000u] = {0x80000008u, 0, 0, 0};
    cpu.leaves[0x80000006u] = {0, 0, 512u << 16 | 0x40, 0};
    cpu.leaves[2] = {0x04030201u, 0x08070605u, 0x0C0B0A09u, 0x100F0E0Du};
    Result r = run(cpu);
    EXPECT_EQ(r.l2, 512);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.desc[i], i + 1);

    // Extended leaves stopping below 0x80000006 report no size.
    cpu.leaves[0x80000000u] = {0x80000004u, 0, 0, 0};
    EXPECT_EQ(run(cpu).l2, 0);
    // Nor does a processor without extended leaves that answers with basic-leaf data.
    cpu.leaves[0x80000000u] = {0x0000000Du, 0, 0, 0};
    EXPECT_EQ(run(cpu).l2, 0);
}

TEST(CpuInfo, LeafTwoFallbackTable) {
    struct Case {
        unsigned char bytes[16];
        int kb;
    } cases[] = {
        {{0}, 0},
        {{0x01, 0x5B, 0xF0, 0xFF}, 0}, // no second-level cache code
        {{0x43, 0x00, 0x7D}, 2048},    // a later match overrides, zeros skipped
        {{0x7D, 0x43}, 512},
        {{0x39}, 128},
        {{0x3B}, 128},
        {{0x3C}, 256},
        {{0x41}, 128},
        {{0x42}, 256},
        {{0x44}, 1024},
        {{0x45}, 2048},
        {{0x78}, 1024},
        {{0x79}, 128},
        {{0x7A}, 256},
        {{0x7B}, 512},
        {{0x7C}, 1024},
        {{0x7F}, 512},
        {{0x82}, 256},
        {{0x83}, 512},
        {{0x84}, 1024},
        {{0x85}, 2048},
        {{0x86}, 512},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x87}, 1024}, // last byte counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(shell::l2_cache_from_descriptors(c.bytes), c.kb) << std::hex << int(c.bytes[0]);
}

TEST(CpuInfo, RealProcessorGivesTwelveCharacterVendor) {
    char vendor[13];
    int level = -1, l2 = -1;
    unsigned char desc[16];
    std::memset(vendor, 'x', sizeof vendor);
    cpu_info(vendor, &level, &l2, desc);
    EXPECT_EQ(vendor[12], '\0');
    EXPECT_GE(level, 0);
    EXPECT_LE(level, 3);
    EXPECT_GE(l2, 0);
}

} // namespace
