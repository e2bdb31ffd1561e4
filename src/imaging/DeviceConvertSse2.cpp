// SSE2 kernels: the baseline every x86-64 processor has. Without a permute
// across lanes, each block fetches its source pixels one by one.
#include "imaging/DeviceConvertKernels.h"

#include <cstring>
#include <emmintrin.h>

namespace {

struct V
{
    using I = __m128i;
    using F = __m128;
    using M = __m128i;
    static constexpr int N = 4;
    static constexpr int Reach = 0;

    static I loadu(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }
    static void storeu(void *p, I v) { _mm_storeu_si128(static_cast<__m128i *>(p), v); }
    static F loadf(const float *p) { return _mm_loadu_ps(p); }
    static void storef(float *p, F v) { _mm_storeu_ps(p, v); }
    static I maxu8(I a, I b) { return _mm_max_epu8(a, b); }
    static I minu8(I a, I b) { return _mm_min_epu8(a, b); }
    static I subsu8(I a, I b) { return _mm_subs_epu8(a, b); } // bytes, stopping at 0
    // Two vectors of 32-bit whole numbers as 16-bit words, saturated.
    static I packs(I a, I b) { return _mm_packs_epi32(a, b); }
    static I minw(I a, I b) { return _mm_min_epi16(a, b); }
    static I maxw(I a, I b) { return _mm_max_epi16(a, b); }
    // The words of packs(a, b) and packs(c, d) as the bytes a, b, c, d of each 32-bit
    // lane, saturated to 0..255.
    static I wordsToBytes(I ab, I cd)
    {
        const I ac = _mm_unpacklo_epi16(ab, cd);
        const I bd = _mm_unpackhi_epi16(ab, cd);
        return _mm_packus_epi16(_mm_unpacklo_epi16(ac, bd), _mm_unpackhi_epi16(ac, bd));
    }
    static I packBytes(I a, I b, I c, I d) { return wordsToBytes(packs(a, b), packs(c, d)); }
    // base[r0[k]] and base[r1[k]] for each lane k.
    static void gatherPair(const float *base, I r0, I r1, F &a, F &b)
    {
        alignas(16) std::int32_t i0[4], i1[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(i0), r0);
        _mm_store_si128(reinterpret_cast<__m128i *>(i1), r1);
        a = _mm_setr_ps(base[i0[0]], base[i0[1]], base[i0[2]], base[i0[3]]);
        b = _mm_setr_ps(base[i1[0]], base[i1[1]], base[i1[2]], base[i1[3]]);
    }
    template<int Byte> static I byteLane(I p)
    {
        if constexpr (Byte == 3)
            return _mm_srli_epi32(p, 24);
        else
            return _mm_and_si128(_mm_srli_epi32(p, 8 * Byte), _mm_set1_epi32(0xFF));
    }
    static int word(const std::uint8_t *p)
    {
        int w;
        std::memcpy(&w, p, 4);
        return w;
    }
    static I gather(const std::uint8_t *base, const std::int32_t *rel)
    {
        return _mm_setr_epi32(word(base + rel[0] * 4), word(base + rel[1] * 4),
                              word(base + rel[2] * 4), word(base + rel[3] * 4));
    }
    static F cvt(I v) { return _mm_cvtepi32_ps(v); }
    static I cvtt(F v) { return _mm_cvttps_epi32(v); }
    // Exact for the magnitudes met here (below 2^23).
    static F trunc(F v) { return _mm_cvtepi32_ps(_mm_cvttps_epi32(v)); }
    static F add(F a, F b) { return _mm_add_ps(a, b); }
    static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F min(F a, F b) { return _mm_min_ps(a, b); }
    static F max(F a, F b) { return _mm_max_ps(a, b); }
    static F set1f(float v) { return _mm_set1_ps(v); }
    static I set1i(int v) { return _mm_set1_epi32(v); }
    static I andi(I a, I b) { return _mm_and_si128(a, b); }
    static I ori(I a, I b) { return _mm_or_si128(a, b); }
    template<int S> static I srli(I v) { return _mm_srli_epi32(v, S); }
    template<int S> static I slli(I v) { return _mm_slli_epi32(v, S); }
    template<int S> static I srai(I v) { return _mm_srai_epi32(v, S); }
    // No 32-bit multiply before SSE4.1: the resampler keeps to the float weights.
    static constexpr bool HasMullo = false;
    static I subi(I a, I b) { return _mm_sub_epi32(a, b); }
    static I xori(I a, I b) { return _mm_xor_si128(a, b); }
    static M cmpge(F a, F b) { return _mm_castps_si128(_mm_cmpge_ps(a, b)); }
    static M cmplt(F a, F b) { return _mm_castps_si128(_mm_cmplt_ps(a, b)); }
    static I incWhere(I acc, M m) { return _mm_sub_epi32(acc, m); }
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
        alignas(16) std::int32_t t[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(t), v);
        return t[0] + t[1] + t[2] + t[3];
    }
    static void store3(std::uint8_t *dst, I v)
    {
        alignas(16) std::uint8_t t[16];
        _mm_store_si128(reinterpret_cast<__m128i *>(t), v);
        for (int j = 0; j < 4; ++j) {
            dst[j * 3 + 0] = t[j * 4 + 0];
            dst[j * 3 + 1] = t[j * 4 + 1];
            dst[j * 3 + 2] = t[j * 4 + 2];
        }
    }
    static constexpr bool HasWordResample = false; // no byte permute across the vector
    static int firstEqual(I v, I wanted)
    {
        const int m = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, wanted)));
        return m ? __builtin_ctz(unsigned(m)) : -1;
    }
};

#include "imaging/DeviceConvertKernelImpl.h"

} // namespace

const DeviceConvertKernels::Kernels &DeviceConvertKernels::sse2Kernels()
{
    static const Kernels k = KernelImpl<V>::kernels(SimdLevel::Sse2);
    return k;
}
