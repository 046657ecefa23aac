// The zip CRC-32 (reflected polynomial 0xEDB88320) over a running register.
#pragma once
#include <cstdint>

// Runs the CRC-32 register over length bytes of data and returns the new register.
// No complement on entry or exit: callers start with ~0 (or ~crc of earlier data) and
// take the complement of the result. A length below 1 (or null data) returns crc unchanged.
uint32_t Crc32Update(uint32_t crc, const void *data, int32_t length);
