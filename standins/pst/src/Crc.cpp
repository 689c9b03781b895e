#include "Crc.h"

#include <array>

// Carry-less multiplication where the compiler offers it for x86; used when
// the processor has it (every one since 2010), the tables otherwise.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define TW_CRC_FOLDING 1
#define TW_CLMUL __attribute__((target("pclmul,sse4.1")))
#include <immintrin.h>
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#define TW_CRC_FOLDING 1
#define TW_CLMUL
#include <intrin.h>
#include <immintrin.h>
#endif

namespace pst {

namespace {
// Eight tables: the first is the byte-wise CRC-32 table, table k the CRC
// of a byte followed by k zero bytes, so that eight bytes are folded in
// per step (slicing by eight).
using Tables = std::array<std::array<uint32_t, 256>, 8>;

const Tables& tables() {
    static const Tables t = [] {
        Tables out{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            out[0][n] = c;
        }
        for (uint32_t n = 0; n < 256; ++n)
            for (size_t k = 1; k < 8; ++k)
                out[k][n] = (out[k - 1][n] >> 8) ^ out[0][out[k - 1][n] & 0xFF];
        return out;
    }();
    return t;
}

#ifdef TW_CRC_FOLDING
bool haveClmul() {
#if defined(_MSC_VER) && !defined(__clang__)
    int info[4] = {};
    __cpuid(info, 1);
    return (info[2] & (1 << 1)) && (info[2] & (1 << 19)); // PCLMULQDQ, SSE4.1
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif
}

TW_CLMUL static inline __m128i load(const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// x folded over 128 bits by the constants in k, with the next 16 bytes.
TW_CLMUL static inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

TW_CLMUL uint32_t crcFolded(const uint8_t* p, size_t size, uint32_t crc) {
    alignas(16) static const uint64_t k1k2[] = {0x0154442bd4ull, 0x01c6e41596ull};
    alignas(16) static const uint64_t k3k4[] = {0x01751997d0ull, 0x00ccaa009eull};
    alignas(16) static const uint64_t k5k0[] = {0x0163cd6124ull, 0};
    alignas(16) static const uint64_t poly[] = {0x01db710641ull, 0x01f7011641ull};
    __m128i x1 = load(p), x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        x1 = fold(x1, k, load(p));
        x2 = fold(x2, k, load(p + 16));
        x3 = fold(x3, k, load(p + 32));
        x4 = fold(x4, k, load(p + 48));
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    for (; size >= 16; p += 16, size -= 16)
        x1 = fold(x1, k, load(p));
    // 128 bits to 64.
    const __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask);
    x1 = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    // Barrett reduction to 32.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(x1, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}
#endif

} // namespace

uint32_t crc(const uint8_t* data, size_t size, uint32_t start) {
    uint32_t c = start;
#ifdef TW_CRC_FOLDING
    static const bool folding = haveClmul();
    if (folding && size >= 64) {
        const size_t folded = size & ~size_t(15);
        c = crcFolded(data, folded, c);
        data += folded;
        size -= folded;
    }
#endif
    const Tables& t = tables();
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const uint32_t lo = c ^ (uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
                                 uint32_t(data[i + 3]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^ t[0][data[i + 7]];
    }
    for (; i < size; ++i)
        c = t[0][(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c;
}

} // namespace pst
