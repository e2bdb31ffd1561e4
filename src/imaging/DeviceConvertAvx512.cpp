// AVX-512 (F, BW and VBMI) kernels: sixteen pixels a step; a block's source
// pixels come from two 16-pixel loads and one two-table permute, or, on the
// 16-bit path, their bytes straight from byte permutes.
#include "imaging/DeviceConvertKernels.h"

#include <cstring>
// GCC 12's AVX-512 headers make their "undefined" vectors from themselves, which
// -Wuninitialized reports once they are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

namespace {

// The picks of a two-vector byte permute (0..63 the first vector, 64..127 the second).
struct BytePicks
{
    alignas(64) std::uint8_t at[64];
};

template<class Pick> constexpr BytePicks bytePicks(Pick pick)
{
    BytePicks p{};
    for (int k = 0; k < 64; ++k)
        p.at[k] = std::uint8_t(pick(k));
    return p;
}

// Byte c (B, G, R, A) of pixel j from the 16-bit path's words: B and G are the low bytes
// of the words of v01, R and A those of v23.
constexpr int wordByte(int j, int c)
{
    return (c < 2 ? 0 : 64) + 4 * j + 2 * (c & 1);
}
constexpr BytePicks BgraFromWords = bytePicks([](int k) { return wordByte(k / 4, k % 4); });
constexpr BytePicks BgrFromWords =
    bytePicks([](int k) { return k < 48 ? wordByte(k / 3, k % 3) : 0; });
// Y, K, Cb, Cr of pixel j: after packs and packus each 128-bit lane holds y of its four
// pixels, then cb, then cr (twice); the key is the low byte of the high word of v23.
constexpr BytePicks DeviceFromWords = bytePicks([](int k) {
    const int j = k / 4;
    const int lane = 16 * (j / 4) + j % 4;
    switch (k % 4) {
    case 0:
        return lane;
    case 1:
        return 64 + 4 * j + 2;
    case 2:
        return lane + 4;
    default:
        return lane + 8;
    }
});

struct V
{
    using I = __m512i;
    using F = __m512;
    using M = __mmask16;
    static constexpr int N = 16;
    static constexpr int Reach = 32;

    static I loadu(const void *p) { return _mm512_loadu_si512(p); }
    static void storeu(void *p, I v) { _mm512_storeu_si512(p, v); }
    static F loadf(const float *p) { return _mm512_loadu_ps(p); }
    static void storef(float *p, F v) { _mm512_storeu_ps(p, v); }
    static I maxu8(I a, I b) { return _mm512_max_epu8(a, b); }
    static I minu8(I a, I b) { return _mm512_min_epu8(a, b); }
    static I subsu8(I a, I b) { return _mm512_subs_epu8(a, b); } // bytes, stopping at 0
    // Two vectors of 32-bit whole numbers as 16-bit words, saturated.
    static I packs(I a, I b) { return _mm512_packs_epi32(a, b); }
    static I minw(I a, I b) { return _mm512_min_epi16(a, b); }
    static I maxw(I a, I b) { return _mm512_max_epi16(a, b); }
    // The words of packs(a, b) and packs(c, d) as the bytes a, b, c, d of each 32-bit
    // lane, saturated to 0..255.
    static I wordsToBytes(I ab, I cd)
    {
        return _mm512_shuffle_epi8(_mm512_packus_epi16(ab, cd),
                                   _mm512_broadcast_i32x4(_mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2,
                                                                        6, 10, 14, 3, 7, 11, 15)));
    }
    static I packBytes(I a, I b, I c, I d) { return wordsToBytes(packs(a, b), packs(c, d)); }
    // base[r0[k]] and base[r1[k]] for each lane k, from one pair of loads.
    static void gatherPair(const float *base, I r0, I r1, F &a, F &b)
    {
        const F lo = _mm512_loadu_ps(base);
        const F hi = _mm512_loadu_ps(base + 16);
        a = _mm512_permutex2var_ps(lo, r0, hi);
        b = _mm512_permutex2var_ps(lo, r1, hi);
    }
    // One byte of each lane, zero-extended: a byte shuffle for the middle two.
    template<int Byte> static I byteLane(I p)
    {
        if constexpr (Byte == 0)
            return _mm512_and_si512(p, _mm512_set1_epi32(0xFF));
        else if constexpr (Byte == 3)
            return _mm512_srli_epi32(p, 24);
        else
            return _mm512_shuffle_epi8(p, _mm512_broadcast_i32x4(_mm_setr_epi32(
                                              int(0x80808000u | Byte), int(0x80808004u | Byte),
                                              int(0x80808008u | Byte), int(0x8080800Cu | Byte))));
    }
    static I gather(const std::uint8_t *base, const std::int32_t *rel)
    {
        return _mm512_permutex2var_epi32(loadu(base), loadu(rel), loadu(base + 64));
    }
    static F cvt(I v) { return _mm512_cvtepi32_ps(v); }
    static I cvtt(F v) { return _mm512_cvttps_epi32(v); }
    static F trunc(F v) { return _mm512_roundscale_ps(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static F add(F a, F b) { return _mm512_add_ps(a, b); }
    static F sub(F a, F b) { return _mm512_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm512_mul_ps(a, b); }
    static F min(F a, F b) { return _mm512_min_ps(a, b); }
    static F max(F a, F b) { return _mm512_max_ps(a, b); }
    static F set1f(float v) { return _mm512_set1_ps(v); }
    static I set1i(int v) { return _mm512_set1_epi32(v); }
    static I andi(I a, I b) { return _mm512_and_si512(a, b); }
    static I ori(I a, I b) { return _mm512_or_si512(a, b); }
    template<int S> static I srli(I v) { return _mm512_srli_epi32(v, S); }
    template<int S> static I slli(I v) { return _mm512_slli_epi32(v, S); }
    template<int S> static I srai(I v) { return _mm512_srai_epi32(v, S); }
    static constexpr bool HasMullo = true; // 32-bit products for the whole-number weights
    static I mullo(I a, I b) { return _mm512_mullo_epi32(a, b); }
    static I addi(I a, I b) { return _mm512_add_epi32(a, b); }
    static I subi(I a, I b) { return _mm512_sub_epi32(a, b); }
    static I xori(I a, I b) { return _mm512_xor_si512(a, b); }
    static M cmpge(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ); }
    static M cmplt(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
    static I incWhere(I acc, M m)
    {
        return _mm512_mask_add_epi32(acc, m, acc, _mm512_set1_epi32(1));
    }
    static int hsum(I v) { return _mm512_reduce_add_epi32(v); }
    // The lane masks are counted in a general register, away from the vector units.
    using LineCount = int;
    static LineCount lineCountZero() { return 0; }
    static void countOutside(LineCount &acc, F v, F high, F low)
    {
        acc += __builtin_popcount(unsigned(cmpge(v, high) | cmplt(v, low)));
    }
    static int lineCountSum(LineCount acc) { return acc; }
    // Sixteen BGRA pixels as 48 bytes of BGR, written without touching the bytes after them.
    static void store3(std::uint8_t *dst, I v)
    {
        const I inLane = _mm512_broadcast_i32x4(
            _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
        const I packed = _mm512_permutexvar_epi32(
            _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15),
            _mm512_shuffle_epi8(v, inLane));
        _mm512_mask_storeu_epi32(dst, __mmask16(0x0FFF), packed);
    }
    // The 16-bit path: the words of channels 0 and 1 (v01) and 2 and 3 (v23) of a
    // block's sixteen columns, each base + (other - base) x U / 2^16 rounded down, with
    // base and other picked from the 32 pixels at `window`; `pick` is the block's part
    // of the table (RowTable::wordTable).
    static constexpr bool HasWordResample = true;
    static void wordResample(const std::uint8_t *window, const std::uint8_t *pick, I &v01, I &v23)
    {
        const I lo = loadu(window);
        const I hi = loadu(window + 64);
        const I u = _mm512_load_si512(pick + 256);
        const __mmask64 low = 0x5555555555555555ull;
        const I b01 = _mm512_maskz_permutex2var_epi8(low, lo, loadu(pick), hi);
        const I o01 = _mm512_maskz_permutex2var_epi8(low, lo, loadu(pick + 64), hi);
        const I b23 = _mm512_maskz_permutex2var_epi8(low, lo, loadu(pick + 128), hi);
        const I o23 = _mm512_maskz_permutex2var_epi8(low, lo, loadu(pick + 192), hi);
        v01 = _mm512_add_epi16(b01, _mm512_mulhi_epi16(_mm512_sub_epi16(o01, b01), u));
        v23 = _mm512_add_epi16(b23, _mm512_mulhi_epi16(_mm512_sub_epi16(o23, b23), u));
    }
    // Sixteen pixels' B, G, R, A bytes from the words of wordResample.
    static I wordsToBgra(I v01, I v23)
    {
        return _mm512_permutex2var_epi8(v01, loadu(BgraFromWords.at), v23);
    }
    // The same as 48 bytes of B, G, R, written without touching the bytes after them.
    static void storeWordsBgr(std::uint8_t *dst, I v01, I v23)
    {
        _mm512_mask_storeu_epi8(dst, (__mmask64(1) << 48) - 1,
                                _mm512_permutex2var_epi8(v01, loadu(BgrFromWords.at), v23));
    }
    // Y, K, Cb, Cr bytes from whole numbers y, cb, cr (saturated to 0..255) and the key
    // in the high words of v23 (the resampled alpha).
    static I packDeviceWords(I y, I cb, I cr, I v23)
    {
        const I bytes = _mm512_packus_epi16(_mm512_packs_epi32(y, cb), _mm512_packs_epi32(cr, cr));
        return _mm512_permutex2var_epi8(bytes, loadu(DeviceFromWords.at), v23);
    }
    static int firstEqual(I v, I wanted)
    {
        const unsigned m = _mm512_cmpeq_epi32_mask(v, wanted);
        return m ? __builtin_ctz(m) : -1;
    }
};

#include "imaging/DeviceConvertKernelImpl.h"

} // namespace

const DeviceConvertKernels::Kernels &DeviceConvertKernels::avx512Kernels()
{
    static const Kernels k = KernelImpl<V>::kernels(SimdLevel::Avx512);
    return k;
}
