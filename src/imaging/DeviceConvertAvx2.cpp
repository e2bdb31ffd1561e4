// AVX2 kernels: eight pixels a step; a block's source pixels come from two
// 8-pixel loads and a permute, so no gather instruction is needed.
#include "imaging/DeviceConvertKernels.h"

#include <cstring>
#include <immintrin.h>

namespace {

struct V
{
    using I = __m256i;
    using F = __m256;
    using M = __m256i;
    static constexpr int N = 8;
    static constexpr int Reach = 16;

    static I loadu(const void *p) { return _mm256_loadu_si256(static_cast<const __m256i *>(p)); }
    static void storeu(void *p, I v) { _mm256_storeu_si256(static_cast<__m256i *>(p), v); }
    static F loadf(const float *p) { return _mm256_loadu_ps(p); }
    static void storef(float *p, F v) { _mm256_storeu_ps(p, v); }
    static I maxu8(I a, I b) { return _mm256_max_epu8(a, b); }
    static I minu8(I a, I b) { return _mm256_min_epu8(a, b); }
    static I subsu8(I a, I b) { return _mm256_subs_epu8(a, b); } // bytes, stopping at 0
    // Two vectors of 32-bit whole numbers as 16-bit words, saturated.
    static I packs(I a, I b) { return _mm256_packs_epi32(a, b); }
    static I minw(I a, I b) { return _mm256_min_epi16(a, b); }
    static I maxw(I a, I b) { return _mm256_max_epi16(a, b); }
    // The words of packs(a, b) and packs(c, d) as the bytes a, b, c, d of each 32-bit
    // lane, saturated to 0..255.
    static I wordsToBytes(I ab, I cd)
    {
        return _mm256_shuffle_epi8(_mm256_packus_epi16(ab, cd),
                                   _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7,
                                                    11, 15, 0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14,
                                                    3, 7, 11, 15));
    }
    static I packBytes(I a, I b, I c, I d) { return wordsToBytes(packs(a, b), packs(c, d)); }
    // base[r0[k]] and base[r1[k]] for each lane k, from one pair of loads.
    static void gatherPair(const float *base, I r0, I r1, F &a, F &b)
    {
        const F lo = _mm256_loadu_ps(base);
        const F hi = _mm256_loadu_ps(base + 8);
        const I seven = _mm256_set1_epi32(7);
        a = _mm256_blendv_ps(_mm256_permutevar8x32_ps(lo, r0), _mm256_permutevar8x32_ps(hi, r0),
                             _mm256_castsi256_ps(_mm256_cmpgt_epi32(r0, seven)));
        b = _mm256_blendv_ps(_mm256_permutevar8x32_ps(lo, r1), _mm256_permutevar8x32_ps(hi, r1),
                             _mm256_castsi256_ps(_mm256_cmpgt_epi32(r1, seven)));
    }
    // One byte of each lane, zero-extended: a byte shuffle for the middle two.
    template<int Byte> static I byteLane(I p)
    {
        if constexpr (Byte == 0)
            return _mm256_and_si256(p, _mm256_set1_epi32(0xFF));
        else if constexpr (Byte == 3)
            return _mm256_srli_epi32(p, 24);
        else
            return _mm256_shuffle_epi8(
                p, _mm256_setr_epi32(int(0x80808000u | Byte), int(0x80808004u | Byte),
                                     int(0x80808008u | Byte), int(0x8080800Cu | Byte),
                                     int(0x80808000u | Byte), int(0x80808004u | Byte),
                                     int(0x80808008u | Byte), int(0x8080800Cu | Byte)));
    }
    static I gather(const std::uint8_t *base, const std::int32_t *rel)
    {
        const I r = loadu(rel);
        const I a = _mm256_permutevar8x32_epi32(loadu(base), r);
        const I b = _mm256_permutevar8x32_epi32(loadu(base + 32), r);
        return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi32(r, _mm256_set1_epi32(7)));
    }
    static F cvt(I v) { return _mm256_cvtepi32_ps(v); }
    static I cvtt(F v) { return _mm256_cvttps_epi32(v); }
    static F trunc(F v) { return _mm256_round_ps(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F min(F a, F b) { return _mm256_min_ps(a, b); }
    static F max(F a, F b) { return _mm256_max_ps(a, b); }
    static F set1f(float v) { return _mm256_set1_ps(v); }
    static I set1i(int v) { return _mm256_set1_epi32(v); }
    static I andi(I a, I b) { return _mm256_and_si256(a, b); }
    static I ori(I a, I b) { return _mm256_or_si256(a, b); }
    template<int S> static I srli(I v) { return _mm256_srli_epi32(v, S); }
    template<int S> static I slli(I v) { return _mm256_slli_epi32(v, S); }
    template<int S> static I srai(I v) { return _mm256_srai_epi32(v, S); }
    static constexpr bool HasMullo = true;
    static I mullo(I a, I b) { return _mm256_mullo_epi32(a, b); }
    static I addi(I a, I b) { return _mm256_add_epi32(a, b); }
    static I subi(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I xori(I a, I b) { return _mm256_xor_si256(a, b); }
    static M cmpge(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_GE_OQ)); }
    static M cmplt(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LT_OQ)); }
    static I incWhere(I acc, M m) { return _mm256_sub_epi32(acc, m); }
    using LineCount = I;
    static LineCount lineCountZero() { return set1i(0); }
    // Adds the lanes where v >= high or v < low.
    static void countOutside(LineCount &acc, F v, F high, F low)
    {
        acc = incWhere(acc, ori(cmpge(v, high), cmplt(v, low)));
    }
    static int lineCountSum(LineCount acc) { return hsum(acc); }
    static int hsum(I v)
    {
        __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
        return _mm_cvtsi128_si32(s);
    }
    // Eight BGRA pixels as 24 bytes of BGR, written without touching the bytes after them.
    static void store3(std::uint8_t *dst, I v)
    {
        const I inLane = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        const I packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, inLane),
                                                     _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + 16),
                         _mm256_extracti128_si256(packed, 1));
    }
    static constexpr bool HasWordResample = false; // no byte permute across the vector
    static int firstEqual(I v, I wanted)
    {
        const int m = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, wanted)));
        return m ? __builtin_ctz(unsigned(m)) : -1;
    }
};

#include "imaging/DeviceConvertKernelImpl.h"

} // namespace

const DeviceConvertKernels::Kernels &DeviceConvertKernels::avx2Kernels()
{
    static const Kernels k = KernelImpl<V>::kernels(SimdLevel::Avx2);
    return k;
}
