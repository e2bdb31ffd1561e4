// The picture conversion kernels, written once over a vector traits type V and
// compiled once per instruction set. Each file that includes this one defines
// V inside an anonymous namespace first and includes this file inside the same
// namespace, so nothing here can be shared (and mixed up) between instruction
// sets at link time. No standard templates are used here for the same reason.
//
// The arithmetic is the reference's (DeviceConvertReference), lane by lane:
// the same float operations in the same order, no fused multiply-add (the
// including files are built with -ffp-contract=off). Rounding uses the
// equivalent branch-free form: clamp to the limits, truncate, add one when the
// fraction is one half or more. Clamping first gives what the reference's
// "limits first" gives, because inside the limits truncation plus one never
// leaves them.
//
// V provides: I (32-bit integer lanes), F (float lanes), M (lane mask),
// N (lanes), and the operations used below.

template<class V> struct KernelImpl
{
    using I = typename V::I;
    using F = typename V::F;
    using M = typename V::M;
    static constexpr int N = V::N;

    struct ToDevice
    {
        F yr, yg, yb, cbr, cbg, cbb, crr, crg, crb, yMin, yLo, yHi, cLo, cHi, c128, half;
        explicit ToDevice(const DeviceConvertKernels::ToDeviceConstants &k)
            : yr(V::set1f(k.yr)), yg(V::set1f(k.yg)), yb(V::set1f(k.yb)), cbr(V::set1f(k.cbr)),
              cbg(V::set1f(k.cbg)), cbb(V::set1f(k.cbb)), crr(V::set1f(k.crr)),
              crg(V::set1f(k.crg)), crb(V::set1f(k.crb)), yMin(V::set1f(k.yMin)),
              yLo(V::set1f(k.yLo)), yHi(V::set1f(k.yHi)), cLo(V::set1f(k.cLo)),
              cHi(V::set1f(k.cHi)), c128(V::set1f(128.0f)), half(V::set1f(0.5f))
        {}
    };

    struct FromDevice
    {
        F yLo, yHi, cLo, cHi, ys, rCr, gCr, gCb, bCb, c128, zero, c255, c275, cm20, half;
        explicit FromDevice(const DeviceConvertKernels::FromDeviceConstants &k)
            : yLo(V::set1f(k.yLo)), yHi(V::set1f(k.yHi)), cLo(V::set1f(k.cLo)),
              cHi(V::set1f(k.cHi)), ys(V::set1f(k.ys)), rCr(V::set1f(k.rCr)), gCr(V::set1f(k.gCr)),
              gCb(V::set1f(k.gCb)), bCb(V::set1f(k.bCb)), c128(V::set1f(128.0f)),
              zero(V::set1f(0.0f)), c255(V::set1f(255.0f)), c275(V::set1f(275.0f)),
              cm20(V::set1f(-20.0f)), half(V::set1f(0.5f))
        {}
    };

    static inline F byteLane(I p, I mask) { return V::cvt(V::andi(p, mask)); }

    // trunc(a x w0 + b x w1), as a float.
    static inline F lerp(F a, F b, F w0, F w1)
    {
        return V::trunc(V::add(V::mul(a, w0), V::mul(b, w1)));
    }

    static inline I roundLimited(F v, F lo, F hi, F half)
    {
        v = V::min(V::max(v, lo), hi);
        const F t = V::trunc(v);
        return V::incWhere(V::cvtt(t), V::cmpge(V::sub(v, t), half));
    }

    static inline I packDevice(F r, F g, F b, I key, const ToDevice &c)
    {
        const F y =
            V::add(V::add(V::add(V::mul(r, c.yr), V::mul(g, c.yg)), V::mul(b, c.yb)), c.yMin);
        const F cb =
            V::add(V::add(V::add(V::mul(r, c.cbr), V::mul(g, c.cbg)), V::mul(b, c.cbb)), c.c128);
        const F cr =
            V::add(V::add(V::add(V::mul(r, c.crr), V::mul(g, c.crg)), V::mul(b, c.crb)), c.c128);
        const I iy = roundLimited(y, c.yLo, c.yHi, c.half);
        const I icb = roundLimited(cb, c.cLo, c.cHi, c.half);
        const I icr = roundLimited(cr, c.cLo, c.cHi, c.half);
        return V::ori(V::ori(iy, V::template slli<8>(key)),
                      V::ori(V::template slli<16>(icb), V::template slli<24>(icr)));
    }

    template<bool Key>
    static inline I toDeviceBlock(const std::uint8_t *source,
                                  const DeviceConvertKernels::RowTable &t, int b, const ToDevice &c)
    {
        const std::uint8_t *base = source + std::size_t(t.base[b]) * 4;
        const I p0 = V::gather(base, t.rel0 + b * N);
        const I p1 = V::gather(base, t.rel1 + b * N);
        const F w0 = V::loadf(t.w0 + b * N);
        const F w1 = V::loadf(t.w1 + b * N);
        const I m = V::set1i(0xFF);
        const F bl = lerp(byteLane(p0, m), byteLane(p1, m), w0, w1);
        const F gr = lerp(byteLane(V::template srli<8>(p0), m),
                          byteLane(V::template srli<8>(p1), m), w0, w1);
        const F rd = lerp(byteLane(V::template srli<16>(p0), m),
                          byteLane(V::template srli<16>(p1), m), w0, w1);
        I key;
        if constexpr (Key)
            key = V::cvtt(
                lerp(V::cvt(V::template srli<24>(p0)), V::cvt(V::template srli<24>(p1)), w0, w1));
        else
            key = V::set1i(255);
        return packDevice(rd, gr, bl, key, c);
    }

    template<bool Key>
    static void toDeviceRowT(const std::uint8_t *source, const DeviceConvertKernels::RowTable &t,
                             std::uint8_t *line, const ToDevice &c)
    {
        const int full = t.outWidth / N;
        for (int b = 0; b < full; ++b)
            V::storeu(line + std::size_t(b) * N * 4, toDeviceBlock<Key>(source, t, b, c));
        const int rest = t.outWidth - full * N;
        if (rest > 0) {
            alignas(64) std::uint8_t tail[N * 4];
            V::storeu(tail, toDeviceBlock<Key>(source, t, full, c));
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
        const I m = V::set1i(0xFF);
        return packDevice(byteLane(V::template srli<16>(p), m), byteLane(V::template srli<8>(p), m),
                          byteLane(p, m), V::template srli<24>(p), c);
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

    static inline I countOutliers(I acc, F v, const FromDevice &c)
    {
        return V::incWhere(V::incWhere(acc, V::cmpge(v, c.c275)), V::cmplt(v, c.cm20));
    }

    // One block of device pixels to BGRA; adds each lane's outliers to acc.
    static inline I fromDeviceBlock(I p, I &acc, const FromDevice &c)
    {
        const I m = V::set1i(0xFF);
        const F y = V::min(V::max(byteLane(p, m), c.yLo), c.yHi);
        const I key = V::andi(V::template srli<8>(p), m);
        const F cbIn = V::min(V::max(byteLane(V::template srli<16>(p), m), c.cLo), c.cHi);
        const F crIn = V::min(V::max(V::cvt(V::template srli<24>(p)), c.cLo), c.cHi);
        const F ys = V::mul(V::sub(y, c.yLo), c.ys);
        const F cb = V::sub(cbIn, c.c128);
        const F cr = V::sub(crIn, c.c128);
        const F r = V::add(V::mul(cr, c.rCr), ys);
        const F g = V::add(V::add(V::mul(cr, c.gCr), V::mul(cb, c.gCb)), ys);
        const F b = V::add(V::mul(cb, c.bCb), ys);
        acc = countOutliers(countOutliers(countOutliers(acc, r, c), g, c), b, c);
        const I ir = roundLimited(r, c.zero, c.c255, c.half);
        const I ig = roundLimited(g, c.zero, c.c255, c.half);
        const I ib = roundLimited(b, c.zero, c.c255, c.half);
        return V::ori(V::ori(ib, V::template slli<8>(ig)),
                      V::ori(V::template slli<16>(ir), V::template slli<24>(key)));
    }

    static int lineFromDevice(const std::uint8_t *device, int n, std::uint8_t *bgra,
                              const DeviceConvertKernels::FromDeviceConstants &k)
    {
        const FromDevice c(k);
        I acc = V::set1i(0);
        int x = 0;
        if (bgra) {
            for (; x + N <= n; x += N)
                V::storeu(bgra + std::size_t(x) * 4,
                          fromDeviceBlock(V::loadu(device + std::size_t(x) * 4), acc, c));
        } else {
            for (; x + N <= n; x += N)
                fromDeviceBlock(V::loadu(device + std::size_t(x) * 4), acc, c);
        }
        int sum = V::hsum(acc);
        if (x < n) {
            // Padding lanes hold Y 0, Cb 128, Cr 128, which is never an outlier.
            alignas(64) std::uint8_t tail[N * 4];
            for (int j = 0; j < N; ++j) {
                tail[j * 4 + 0] = 0;
                tail[j * 4 + 1] = 0;
                tail[j * 4 + 2] = 128;
                tail[j * 4 + 3] = 128;
            }
            std::memcpy(tail, device + std::size_t(x) * 4, std::size_t(n - x) * 4);
            I rest = V::set1i(0);
            V::storeu(tail, fromDeviceBlock(V::loadu(tail), rest, c));
            sum += V::hsum(rest);
            if (bgra)
                std::memcpy(bgra + std::size_t(x) * 4, tail, std::size_t(n - x) * 4);
        }
        return sum;
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
            V::storeu(out, fromDeviceBlock(V::loadu(in), acc, c));
            V::storeu(lanes, acc);
            std::memcpy(bgra + x * 4, out, count * 4);
            for (std::size_t j = 0; j < count; ++j)
                outliers[x + j] = std::uint8_t(lanes[j]);
        }
    }

    static inline I resampleBlock(const std::uint8_t *source,
                                  const DeviceConvertKernels::RowTable &t, int b)
    {
        const std::uint8_t *base = source + std::size_t(t.base[b]) * 4;
        const I p0 = V::gather(base, t.rel0 + b * N);
        const I p1 = V::gather(base, t.rel1 + b * N);
        const F w0 = V::loadf(t.w0 + b * N);
        const F w1 = V::loadf(t.w1 + b * N);
        const I m = V::set1i(0xFF);
        const I c0 = V::cvtt(lerp(byteLane(p0, m), byteLane(p1, m), w0, w1));
        const I c1 = V::cvtt(lerp(byteLane(V::template srli<8>(p0), m),
                                  byteLane(V::template srli<8>(p1), m), w0, w1));
        const I c2 = V::cvtt(lerp(byteLane(V::template srli<16>(p0), m),
                                  byteLane(V::template srli<16>(p1), m), w0, w1));
        const I c3 = V::cvtt(
            lerp(V::cvt(V::template srli<24>(p0)), V::cvt(V::template srli<24>(p1)), w0, w1));
        return V::ori(V::ori(c0, V::template slli<8>(c1)),
                      V::ori(V::template slli<16>(c2), V::template slli<24>(c3)));
    }

    static void resampleRow(const std::uint8_t *source, const DeviceConvertKernels::RowTable &t,
                            std::uint8_t *row, int channels)
    {
        const int full = t.outWidth / N;
        const int rest = t.outWidth - full * N;
        if (channels == 4) {
            for (int b = 0; b < full; ++b)
                V::storeu(row + std::size_t(b) * N * 4, resampleBlock(source, t, b));
        } else {
            for (int b = 0; b < full; ++b)
                V::store3(row + std::size_t(b) * N * 3, resampleBlock(source, t, b));
        }
        if (rest > 0) {
            alignas(64) std::uint8_t tail[N * 4];
            V::storeu(tail, resampleBlock(source, t, full));
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
        k.toDeviceRow = &toDeviceRow;
        k.pixelsToDevice = &pixelsToDevice;
        k.lineFromDevice = &lineFromDevice;
        k.pixelsFromDevice = &pixelsFromDevice;
        k.resampleRow = &resampleRow;
        k.findWord = &findWord;
        return k;
    }
};
