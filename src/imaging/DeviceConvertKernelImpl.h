// The picture conversion kernels, written once over a vector traits type V and
// compiled once per instruction set. Each file that includes this one defines
// V inside an anonymous namespace first and includes this file inside the same
// namespace, so nothing here can be shared (and mixed up) between instruction
// sets at link time. No standard templates are used here for the same reason.
//
// The arithmetic is the reference's (DeviceConvertReference), lane by lane:
// the same products and sums in the same order, no fused multiply-add (the
// including files are built with -ffp-contract=off). Two things differ in form
// only. The limits: the reference limits first and then rounds ("trunc, plus
// one at a half"); rounding keeps order and maps the whole-number limits to
// themselves, so rounding first and limiting the bytes afterwards gives the
// same bytes. The half: rounding is trunc(v + 0.5), and the half is added
// together with the last term of each sum (Ymin or 128 on the way to the
// device, the luma term on the way back) instead of after it. Both conversions
// take whole-number inputs from a finite range (every R, G, B or Y, Cb, Cr
// byte at four level settings), and the whole-range tests run every one of
// them through these kernels against the reference: that is what shows the
// regrouped half never moves a value across a rounding boundary.
//
// V provides: I (32-bit integer lanes), F (float lanes), M (lane mask),
// LineCount (a running count of lanes), N (lanes), HasMullo (whether 32-bit integer
// products are at hand), and the operations used below.

template<class V> struct KernelImpl
{
    using I = typename V::I;
    using F = typename V::F;
    using M = typename V::M;
    static constexpr int N = V::N;

    static constexpr float TwoToMinus16 = 1.0f / 65536.0f;
    static constexpr float TwoToMinus24 = 1.0f / 16777216.0f;

    struct ToDevice
    {
        F yr, yg, yb, cbr, cbg, cbb, crr, crg, crb, yMinHalf, c128Half;
        // The green coefficients scaled down by 2^16, for green left in the high word of
        // a lane (times 2^16) on the 16-bit path: the products stay the same.
        F ygHigh, cbgHigh, crgHigh;
        I low, high; // the limits of Y, K, Cb and Cr as the bytes of a device pixel
        I lowWord, highWord, opaque;
        explicit ToDevice(const DeviceConvertKernels::ToDeviceConstants &k)
            : yr(V::set1f(k.yr)), yg(V::set1f(k.yg)), yb(V::set1f(k.yb)), cbr(V::set1f(k.cbr)),
              cbg(V::set1f(k.cbg)), cbb(V::set1f(k.cbb)), crr(V::set1f(k.crr)),
              crg(V::set1f(k.crg)), crb(V::set1f(k.crb)), yMinHalf(V::set1f(k.yMin + 0.5f)),
              c128Half(V::set1f(128.5f)), ygHigh(V::set1f(k.yg * TwoToMinus16)),
              cbgHigh(V::set1f(k.cbg * TwoToMinus16)), crgHigh(V::set1f(k.crg * TwoToMinus16)),
              low(V::set1i(bytes(int(k.yLo), 0, int(k.cLo), int(k.cLo)))),
              high(V::set1i(bytes(int(k.yHi), 255, int(k.cHi), int(k.cHi)))),
              lowWord(V::set1i(0xFFFF)), highWord(V::set1i(int(0xFFFF0000u))),
              opaque(V::set1i(0xFF00))
        {}
    };

    struct FromDevice
    {
        // The chroma coefficients come scaled down by 2^16 (Cb) and 2^24 (Cr): they meet
        // Cb - 128 and Cr - 128 still in place in their lanes, that is scaled up by the
        // same powers of two, so every product is the reference's product exactly.
        F ys, rCr, gCr, gCb, bCb, half;
        // With the half already added: the outlier bounds.
        F outlierHigh, outlierLow;
        // The lower limits of Y, K, Cb and Cr as the bytes of a device pixel, and the
        // span from each lower limit to the upper one.
        I low, span;
        // Cb - 128 and Cr - 128 from Cb - Cmin and Cr - Cmin in place.
        I cbMask, cbCentre, crMask, crCentre;
        explicit FromDevice(const DeviceConvertKernels::FromDeviceConstants &k)
            : ys(V::set1f(k.ys)), rCr(V::set1f(k.rCr * TwoToMinus24)),
              gCr(V::set1f(k.gCr * TwoToMinus24)), gCb(V::set1f(k.gCb * TwoToMinus16)),
              bCb(V::set1f(k.bCb * TwoToMinus16)), half(V::set1f(0.5f)),
              outlierHigh(V::set1f(275.5f)), outlierLow(V::set1f(-19.5f)),
              low(V::set1i(bytes(int(k.yLo), 0, int(k.cLo), int(k.cLo)))),
              span(
                  V::set1i(bytes(int(k.yHi - k.yLo), 255, int(k.cHi - k.cLo), int(k.cHi - k.cLo)))),
              cbMask(V::set1i(0x00FF0000)), cbCentre(V::set1i((128 - int(k.cLo)) << 16)),
              crMask(V::set1i(int(0xFF000000u))),
              crCentre(V::set1i(int(unsigned(128 - int(k.cLo)) << 24)))
        {}
    };

    static constexpr int bytes(int b0, int b1, int b2, int b3)
    {
        return int(unsigned(b0) | unsigned(b1) << 8 | unsigned(b2) << 16 | unsigned(b3) << 24);
    }

    // Byte `Byte` of each 32-bit lane, as a float.
    template<int Byte> static inline F byteF(I p) { return V::cvt(V::template byteLane<Byte>(p)); }

    // trunc(a x w0 + b x w1), as a float.
    static inline F lerp(F a, F b, F w0, F w1)
    {
        return V::trunc(V::add(V::mul(a, w0), V::mul(b, w1)));
    }

    // Lanes holding 0..255 as the four bytes of each 32-bit lane.
    static inline I pack(I b0, I b1, I b2, I b3)
    {
        return V::ori(V::ori(b0, V::template slli<8>(b1)),
                      V::ori(V::template slli<16>(b2), V::template slli<24>(b3)));
    }

    // Y, Cb and Cr of the sums, each with the rounding's half, truncated: whole numbers.
    // The sums' last terms carry the half: Ymin + 0.5 and 128.5 are added in one step
    // instead of two. For the sums these products make, that never changes which side
    // of a half the result falls on (checked for every RGB value at every level setting
    // by the whole-range tests). Green comes in as g x gScale, with the green
    // coefficients divided by the same power of two (yg, cbg, crg or their high-word
    // forms).
    [[gnu::always_inline]] static inline void colourSums(F r, F g, F b, F yg, F cbg, F crg,
                                                         const ToDevice &c, I &y, I &cb, I &cr)
    {
        y = V::cvtt(
            V::add(V::add(V::add(V::mul(r, c.yr), V::mul(g, yg)), V::mul(b, c.yb)), c.yMinHalf));
        cb = V::cvtt(
            V::add(V::add(V::add(V::mul(r, c.cbr), V::mul(g, cbg)), V::mul(b, c.cbb)), c.c128Half));
        cr = V::cvtt(
            V::add(V::add(V::add(V::mul(r, c.crr), V::mul(g, crg)), V::mul(b, c.crb)), c.c128Half));
    }

    // Device bytes limited: rounded first, limited afterwards on the bytes. Rounding keeps
    // order and maps the (whole-number) limits to themselves, so this is the same as
    // limiting first. Values below 0 or above 255 saturate on the way into bytes, then
    // meet the limits.
    static inline I limitDevice(I packed, const ToDevice &c)
    {
        return V::minu8(V::maxu8(packed, c.low), c.high);
    }

    [[gnu::always_inline]] static inline I packDevice(F r, F g, F b, I key, const ToDevice &c)
    {
        I y, cb, cr;
        colourSums(r, g, b, c.yg, c.cbg, c.crg, c, y, cb, cr);
        return limitDevice(V::packBytes(y, key, cb, cr), c);
    }

    template<bool Key>
    [[gnu::always_inline]] static inline I toDeviceBlock(const std::uint8_t *source,
                                                         const DeviceConvertKernels::RowTable &t,
                                                         int b, const ToDevice &c)
    {
        const std::uint8_t *base = source + std::size_t(t.base[b]) * 4;
        const I p0 = V::gather(base, t.rel0 + b * N);
        const I p1 = V::gather(base, t.rel1 + b * N);
        const F w0 = V::loadf(t.w0 + b * N);
        const F w1 = V::loadf(t.w1 + b * N);
        const F bl = lerp(byteF<0>(p0), byteF<0>(p1), w0, w1);
        const F gr = lerp(byteF<1>(p0), byteF<1>(p1), w0, w1);
        const F rd = lerp(byteF<2>(p0), byteF<2>(p1), w0, w1);
        I key;
        if constexpr (Key)
            key = V::cvtt(V::add(V::mul(byteF<3>(p0), w0), V::mul(byteF<3>(p1), w1)));
        else
            key = V::set1i(255);
        return packDevice(rd, gr, bl, key, c);
    }

    // Whether block b of the table takes the 16-bit path.
    static inline bool wordBlock(const DeviceConvertKernels::RowTable &t, int b)
    {
        if constexpr (V::HasWordResample)
            return t.wordBlock && t.wordBlock[b];
        return false;
    }

    // The 16-bit path's words of block b (V::wordResample): channels 0 and 1, 2 and 3.
    [[gnu::always_inline]] static inline void blockWords(const std::uint8_t *source,
                                                         const DeviceConvertKernels::RowTable &t,
                                                         int b, I &v01, I &v23)
    {
        V::wordResample(source + std::size_t(t.base[b]) * 4,
                        t.wordTable + std::size_t(b) * DeviceConvertKernels::WordBlockBytes, v01,
                        v23);
    }

    // The 16-bit path's block: the columns' bytes from byte permutes and 16-bit
    // products, exactly the float weights' bytes (proven per column when the table is
    // made); blue and red are the low words, green stays in the high word.
    template<bool Key>
    [[gnu::always_inline]] static inline I
    toDeviceWordBlock(const std::uint8_t *source, const DeviceConvertKernels::RowTable &t, int b,
                      const ToDevice &c)
    {
        I v01, v23;
        blockWords(source, t, b, v01, v23);
        const F bl = V::cvt(V::andi(v01, c.lowWord));
        const F gr = V::cvt(V::andi(v01, c.highWord));
        const F rd = V::cvt(V::andi(v23, c.lowWord));
        I y, cb, cr;
        colourSums(rd, gr, bl, c.ygHigh, c.cbgHigh, c.crgHigh, c, y, cb, cr);
        I packed = V::packDeviceWords(y, cb, cr, v23);
        if constexpr (!Key)
            packed = V::ori(packed, c.opaque);
        return limitDevice(packed, c);
    }

    template<bool Key>
    [[gnu::always_inline]] static inline I toDeviceAnyBlock(const std::uint8_t *source,
                                                            const DeviceConvertKernels::RowTable &t,
                                                            int b, const ToDevice &c)
    {
        if constexpr (V::HasWordResample) {
            if (wordBlock(t, b))
                return toDeviceWordBlock<Key>(source, t, b, c);
        }
        return toDeviceBlock<Key>(source, t, b, c);
    }

    template<bool Key>
    static void toDeviceRowT(const std::uint8_t *source,
                             const DeviceConvertKernels::RowTable &table, std::uint8_t *line,
                             const ToDevice &c)
    {
        // A copy the compiler can keep in registers: the stores into the line might
        // otherwise change the table's pointers as far as it can tell.
        const DeviceConvertKernels::RowTable t = table;
        const int full = t.outWidth / N;
        for (int b = 0; b < full; ++b)
            V::storeu(line + std::size_t(b) * N * 4, toDeviceAnyBlock<Key>(source, t, b, c));
        const int rest = t.outWidth - full * N;
        if (rest > 0) {
            alignas(64) std::uint8_t tail[N * 4];
            V::storeu(tail, toDeviceAnyBlock<Key>(source, t, full, c));
            std::memcpy(line + std::size_t(full) * N * 4, tail, std::size_t(rest) * 4);
        }
    }

    static void toDeviceRow(const std::uint8_t *source, const DeviceConvertKernels::RowTable &t,
                            std::uint8_t *line, bool keyFromAlpha,
                            const DeviceConvertKernels::ToDeviceConstants &k)
    {
        const ToDevice c(k);
        if (keyFromAlpha)
            toDeviceRowT<true>(source, t, line, c);
        else
            toDeviceRowT<false>(source, t, line, c);
    }

    static inline I pixelsToDeviceBlock(I p, const ToDevice &c)
    {
        return packDevice(byteF<2>(p), byteF<1>(p), byteF<0>(p), V::template byteLane<3>(p), c);
    }

    static void pixelsToDevice(const std::uint8_t *bgra, std::size_t n, std::uint8_t *device,
                               const DeviceConvertKernels::ToDeviceConstants &k)
    {
        const ToDevice c(k);
        std::size_t x = 0;
        for (; x + N <= n; x += N)
            V::storeu(device + x * 4, pixelsToDeviceBlock(V::loadu(bgra + x * 4), c));
        if (x < n) {
            alignas(64) std::uint8_t tail[N * 4] = {};
            std::memcpy(tail, bgra + x * 4, (n - x) * 4);
            V::storeu(tail, pixelsToDeviceBlock(V::loadu(tail), c));
            std::memcpy(device + x * 4, tail, (n - x) * 4);
        }
    }

    // How a block's outliers (275 and above, below -20, here with the half added) are
    // taken: counted per lane, counted for a whole line, or only bounded by the lowest
    // and highest whole number each lane has given (in fromDeviceBlock).
    enum Outliers { PerLane, WholeLine, LaneBounds };

    // The bounds, kept on the 16-bit words the colours pass through on their way into
    // bytes. A word n is trunc(v) of a value v that carries the half: n <= 274 means
    // v < 275, so no value reached 275.5; n >= -18 means v > -19, so none fell below
    // -19.5. Lines whose words all lie in between hold no outlier at all.
    static constexpr int NoOutlierLowest = -18;
    static constexpr int NoOutlierHighest = 274;

    struct Bounds
    {
        I lowest, highest;
    };

    template<int Mode, class Acc> static inline void addOutliers(Acc &acc, F v, const FromDevice &c)
    {
        if constexpr (Mode == PerLane) {
            acc = V::incWhere(V::incWhere(acc, V::cmpge(v, c.outlierHigh)),
                              V::cmplt(v, c.outlierLow));
        } else if constexpr (Mode == WholeLine) {
            V::countOutside(acc, v, c.outlierHigh, c.outlierLow);
        }
    }

    // One block of device pixels to picture bytes (blue, green, red, key in each lane);
    // adds each lane's outliers to acc.
    template<int Mode, class Acc>
    [[gnu::always_inline]] static inline I fromDeviceBlock(I p, Acc &acc, const FromDevice &c)
    {
        // Y, Cb and Cr limited on the bytes and moved down by their lower limits in the
        // same step (a saturating subtraction): Y - Ymin, K, Cb - Cmin, Cr - Cmin. K
        // passes through (limits 0 and 255).
        p = V::minu8(V::subsu8(p, c.low), c.span);
        const I key = V::template byteLane<1>(p);
        // Y - Ymin, Cb - 128 and Cr - 128 are whole numbers: taken on the integers, they
        // are exact and leave the float units to the products. Cb - 128 and Cr - 128 stay
        // where they are in the lane (times 2^16 and 2^24), which the scaled
        // coefficients make up for; the subtraction wraps around for Cr and lands on the
        // signed value.
        const F ys = V::mul(V::cvt(V::template byteLane<0>(p)), c.ys);
        const F cb = V::cvt(V::subi(V::andi(p, c.cbMask), c.cbCentre));
        const F cr = V::cvt(V::subi(V::andi(p, c.crMask), c.crCentre));
        // The rounding's one half joins the luma term once for all three sums, and the
        // outlier bounds move by the same half. For every (Y, Cb, Cr) at every level
        // setting this gives the same colours and outlier counts as adding the half last
        // (the whole-range tests check it).
        const F yh = V::add(ys, c.half);
        const F rv = V::add(V::mul(cr, c.rCr), yh);
        const F gv = V::add(V::add(V::mul(cr, c.gCr), V::mul(cb, c.gCb)), yh);
        const F bv = V::add(V::mul(cb, c.bCb), yh);
        if constexpr (Mode != LaneBounds) {
            addOutliers<Mode>(acc, rv, c);
            addOutliers<Mode>(acc, gv, c);
            addOutliers<Mode>(acc, bv, c);
        }
        // With the half carried, truncation towards zero is the floor from 0 up and gives
        // 0 or less below it; the saturating packs into words and then bytes limit to
        // 0..255. The values stay far inside the range of a word (a few hundred at most).
        const I bg = V::packs(V::cvtt(bv), V::cvtt(gv));
        const I rk = V::packs(V::cvtt(rv), key);
        if constexpr (Mode == LaneBounds) {
            acc.lowest = V::minw(acc.lowest, V::minw(bg, rk));
            acc.highest = V::maxw(acc.highest, V::maxw(bg, rk));
        }
        return V::wordsToBytes(bg, rk);
    }

    // A line's last, partial block: the remaining pixels, then padding lanes holding Y 0,
    // Cb 128, Cr 128, which is never an outlier.
    static inline I tailBlock(const std::uint8_t *device, int x, int n)
    {
        alignas(64) std::uint8_t tail[N * 4];
        for (int j = 0; j < N; ++j) {
            tail[j * 4 + 0] = 0;
            tail[j * 4 + 1] = 0;
            tail[j * 4 + 2] = 128;
            tail[j * 4 + 3] = 128;
        }
        std::memcpy(tail, device + std::size_t(x) * 4, std::size_t(n - x) * 4);
        return V::loadu(tail);
    }

    static int countLine(const std::uint8_t *device, int n, const FromDevice &c)
    {
        typename V::LineCount acc = V::lineCountZero();
        int x = 0;
        for (; x + N <= n; x += N)
            fromDeviceBlock<WholeLine>(V::loadu(device + std::size_t(x) * 4), acc, c);
        if (x < n)
            fromDeviceBlock<WholeLine>(tailBlock(device, x, n), acc, c);
        return V::lineCountSum(acc);
    }

    static int lineFromDevice(const std::uint8_t *device, int n, std::uint8_t *bgra,
                              const DeviceConvertKernels::FromDeviceConstants &k)
    {
        const FromDevice c(k);
        if (!bgra)
            return countLine(device, n, c);
        // Almost every line holds no outlier at all. The conversion only keeps the lowest
        // and highest word of each lane, and the line is counted in a second pass when
        // one of them lies outside the range that rules outliers out.
        Bounds bounds{V::set1i(0), V::set1i(0)};
        Bounds bounds2{V::set1i(0), V::set1i(0)};
        int x = 0;
        // Two blocks a step, each with its own bounds: the two chains of dependent
        // steps overlap.
        for (; x + 2 * N <= n; x += 2 * N) {
            const I a =
                fromDeviceBlock<LaneBounds>(V::loadu(device + std::size_t(x) * 4), bounds, c);
            const I b =
                fromDeviceBlock<LaneBounds>(V::loadu(device + std::size_t(x + N) * 4), bounds2, c);
            V::storeu(bgra + std::size_t(x) * 4, a);
            V::storeu(bgra + std::size_t(x + N) * 4, b);
        }
        bounds.lowest = V::minw(bounds.lowest, bounds2.lowest);
        bounds.highest = V::maxw(bounds.highest, bounds2.highest);
        for (; x + N <= n; x += N)
            V::storeu(
                bgra + std::size_t(x) * 4,
                fromDeviceBlock<LaneBounds>(V::loadu(device + std::size_t(x) * 4), bounds, c));
        if (x < n) {
            alignas(64) std::uint8_t out[N * 4];
            V::storeu(out, fromDeviceBlock<LaneBounds>(tailBlock(device, x, n), bounds, c));
            std::memcpy(bgra + std::size_t(x) * 4, out, std::size_t(n - x) * 4);
        }
        alignas(64) std::int16_t lowest[N * 2];
        alignas(64) std::int16_t highest[N * 2];
        V::storeu(lowest, bounds.lowest);
        V::storeu(highest, bounds.highest);
        for (int j = 0; j < N * 2; ++j)
            if (lowest[j] < NoOutlierLowest || highest[j] > NoOutlierHighest)
                return countLine(device, n, c);
        return 0;
    }

    static void pixelsFromDevice(const std::uint8_t *device, std::size_t n, std::uint8_t *bgra,
                                 std::uint8_t *outliers,
                                 const DeviceConvertKernels::FromDeviceConstants &k)
    {
        const FromDevice c(k);
        for (std::size_t x = 0; x < n; x += N) {
            const std::size_t count = n - x < std::size_t(N) ? n - x : std::size_t(N);
            alignas(64) std::uint8_t in[N * 4] = {};
            alignas(64) std::uint8_t out[N * 4];
            alignas(64) std::int32_t lanes[N];
            std::memcpy(in, device + x * 4, count * 4);
            I acc = V::set1i(0);
            V::storeu(out, fromDeviceBlock<PerLane>(V::loadu(in), acc, c));
            V::storeu(lanes, acc);
            std::memcpy(bgra + x * 4, out, count * 4);
            for (std::size_t j = 0; j < count; ++j)
                outliers[x + j] = std::uint8_t(lanes[j]);
        }
    }

    // trunc(a x w0 + b x w1) as a whole number.
    static inline I lerpi(F a, F b, F w0, F w1)
    {
        return V::cvtt(V::add(V::mul(a, w0), V::mul(b, w1)));
    }

    // Byte `Byte` of a and b weighted by whole-number weights w0 and w1 adding up to
    // 2^24: the floor of the exact weighted sum. The sum stays below 2^32, so products
    // wrapping around in the signed lanes do not matter to the logical shift.
    template<int Byte> static inline I lerpw(I a, I b, I w0, I w1)
    {
        return V::template srli<24>(V::addi(V::mullo(V::template byteLane<Byte>(a), w0),
                                            V::mullo(V::template byteLane<Byte>(b), w1)));
    }

    template<bool Alpha>
    [[gnu::always_inline]] static inline I
    resampleBlock(const std::uint8_t *bgra, const DeviceConvertKernels::RowTable &t, int b)
    {
        const std::uint8_t *base = bgra + std::size_t(t.base[b]) * 4;
        const I p0 = V::gather(base, t.rel0 + b * N);
        const I p1 = V::gather(base, t.rel1 + b * N);
        if constexpr (V::HasMullo) {
            // Blocks whose whole-number weights give the same bytes (tried for every pair
            // of bytes when the table is made): (a W0 + b W1) >> 24, no conversions.
            if (t.exact && t.exact[b]) {
                const I iw0 = V::loadu(t.iw0 + b * N);
                const I iw1 = V::loadu(t.iw1 + b * N);
                const I c0 = lerpw<0>(p0, p1, iw0, iw1);
                const I c1 = lerpw<1>(p0, p1, iw0, iw1);
                const I c2 = lerpw<2>(p0, p1, iw0, iw1);
                I c3;
                if constexpr (Alpha)
                    c3 = lerpw<3>(p0, p1, iw0, iw1);
                else
                    c3 = V::set1i(0);
                return V::packBytes(c0, c1, c2, c3);
            }
        }
        const F w0 = V::loadf(t.w0 + b * N);
        const F w1 = V::loadf(t.w1 + b * N);
        const I c0 = lerpi(byteF<0>(p0), byteF<0>(p1), w0, w1);
        const I c1 = lerpi(byteF<1>(p0), byteF<1>(p1), w0, w1);
        const I c2 = lerpi(byteF<2>(p0), byteF<2>(p1), w0, w1);
        I c3;
        if constexpr (Alpha)
            c3 = lerpi(byteF<3>(p0), byteF<3>(p1), w0, w1);
        else
            c3 = V::set1i(0);
        return V::packBytes(c0, c1, c2, c3);
    }

    // Block b resampled, as B, G, R, A bytes.
    [[gnu::always_inline]] static inline I resampleAnyBlock(const std::uint8_t *bgra,
                                                            const DeviceConvertKernels::RowTable &t,
                                                            int b, bool alpha)
    {
        if constexpr (V::HasWordResample) {
            if (wordBlock(t, b)) {
                I v01, v23;
                blockWords(bgra, t, b, v01, v23);
                return V::wordsToBgra(v01, v23);
            }
        }
        return alpha ? resampleBlock<true>(bgra, t, b) : resampleBlock<false>(bgra, t, b);
    }

    static void resampleRow(const std::uint8_t *bgra, const DeviceConvertKernels::RowTable &table,
                            std::uint8_t *row, int channels)
    {
        const DeviceConvertKernels::RowTable t = table; // kept in registers, as above
        const int full = t.outWidth / N;
        const int rest = t.outWidth - full * N;
        alignas(64) std::uint8_t tail[N * 4];
        if (channels == 4) {
            for (int b = 0; b < full; ++b)
                V::storeu(row + std::size_t(b) * N * 4, resampleAnyBlock(bgra, t, b, true));
        } else {
            for (int b = 0; b < full; ++b) {
                std::uint8_t *out = row + std::size_t(b) * N * 3;
                if constexpr (V::HasWordResample) {
                    if (wordBlock(t, b)) {
                        I v01, v23;
                        blockWords(bgra, t, b, v01, v23);
                        V::storeWordsBgr(out, v01, v23);
                        continue;
                    }
                }
                V::store3(out, resampleBlock<false>(bgra, t, b));
            }
        }
        if (rest > 0) {
            V::storeu(tail, resampleAnyBlock(bgra, t, full, channels == 4));
            std::uint8_t *out = row + std::size_t(full) * N * std::size_t(channels);
            for (int j = 0; j < rest; ++j)
                for (int ch = 0; ch < channels; ++ch)
                    out[j * channels + ch] = tail[j * 4 + ch];
        }
    }

    static std::ptrdiff_t findWord(const std::uint8_t *words, std::size_t n, std::uint32_t value)
    {
        const I wanted = V::set1i(int(value));
        std::size_t x = 0;
        for (; x + N <= n; x += N) {
            const int lane = V::firstEqual(V::loadu(words + x * 4), wanted);
            if (lane >= 0)
                return std::ptrdiff_t(x) + lane;
        }
        for (; x < n; ++x) {
            std::uint32_t w;
            std::memcpy(&w, words + x * 4, 4);
            if (w == value)
                return std::ptrdiff_t(x);
        }
        return -1;
    }

    static DeviceConvertKernels::Kernels kernels(DeviceConvertKernels::SimdLevel level)
    {
        DeviceConvertKernels::Kernels k;
        k.level = level;
        k.blockWidth = N;
        k.reach = V::Reach;
        k.wordResample = V::HasWordResample;
        k.toDeviceRow = &toDeviceRow;
        k.pixelsToDevice = &pixelsToDevice;
        k.lineFromDevice = &lineFromDevice;
        k.pixelsFromDevice = &pixelsFromDevice;
        k.resampleRow = &resampleRow;
        k.findWord = &findWord;
        return k;
    }
};
