// Processor identification kept in the program limits: vendor text, SIMD level and the size of
// the second-level cache, read with CPUID (or from injected register values in tests).
#pragma once

#include <cstdint>
#include <functional>

namespace shell {

/// One CPUID query: fills regs with eax, ebx, ecx, edx of `leaf` (sub-leaf 0).
using CpuidQuery = std::function<void(std::uint32_t leaf, std::uint32_t regs[4])>;

/// L2 cache size in KB named by the leaf-2 descriptor bytes: the 16 bytes are scanned in order,
/// zero bytes skipped, and each byte that names a second-level cache sets the size (a later one
/// overriding an earlier one). 0 when none does.
int l2_cache_from_descriptors(const unsigned char descriptors[16]);

/// cpu_info with the queries answered by `cpuid` instead of the processor.
void cpu_info(const CpuidQuery& cpuid, char* vendor, int* level, int* l2_kb,
              unsigned char* descriptors);

} // namespace shell

/// Asks the processor for its vendor (12 characters and a zero in `vendor`, 13 bytes), its SIMD
/// level (0 none, 1 SSE, 2 SSE2, 3 SSE2 with leaf-1 EDX bit 0), its L2 cache size in KB from the
/// extended leaf 0x80000006 (0 when the processor has no such leaf) and the 16 leaf-2 descriptor
/// bytes (eax, ebx, ecx, edx, each little-endian).
void cpu_info(char* vendor, int* level, int* l2_kb, unsigned char* descriptors);
