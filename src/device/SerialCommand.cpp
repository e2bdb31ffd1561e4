#include "device/SerialCommand.h"

namespace SerialCommand {

namespace {
constexpr int kBlockSize = 34;
}

const QList<Entry> &table()
{
    static const QList<Entry> entries = {
        {"AEA", 1}, {"AFD", 2}, {"ASL", 3}, {"QAG", 1}, {"QAM", 0}, {"QAO", 0}, {"QCL", 0},
        {"QFV", 1}, {"QLE", 0}, {"QLS", 0}, {"QPO", 0}, {"QRV", 1}, {"QSS", 1}, {"VAS", 0},
        {"VBC", 2}, {"VBG", 3}, {"VBM", 3}, {"VBW", 3}, {"VCC", 3}, {"VCG", 2}, {"VCP", 4},
        {"VCY", 3}, {"VDA", 1}, {"VDE", 5}, {"VDI", 4}, {"VDK", 0}, {"VDL", 1}, {"VDM", 4},
        {"VDP", 2}, {"VDR", 5}, {"VDS", 2}, {"VDX", 4}, {"VEA", 3}, {"VFA", 1}, {"VFD", 4},
        {"VFM", 1}, {"VKC", 4}, {"VKL", 1}, {"VKR", 4}, {"VKS", 2}, {"VKX", 4}, {"VMA", 1},
        {"VML", 1}, {"VMM", 1}, {"VMP", 4}, {"VMW", 2}, {"VPC", 1}, {"VPG", 2}, {"VPS", 4},
        {"VSB", 1}, {"VSD", 2}, {"VSL", 3}, {"VTM", 4}, {"VWB", 3}, {"VWD", 2}, {"VWN", 1},
        {"VWP", 3}, {"VWS", 2}, {"VWX", 4}, {"WFV", 5}, {"ZLP", 1}, {"$AG", 5}, {"$AO", 3},
        {"$MD", 2},
    };
    return entries;
}

int parameterCount(const QString &name)
{
    for (const Entry &e : table()) {
        if (name == QLatin1String(e.name))
            return e.parameterCount;
    }
    return -1;
}

QByteArray buildBlock(const QString &command, const QStringList &parameters, int enabledCount)
{
    QByteArray block(kBlockSize, '\0');
    int pos = 0;
    const auto put = [&block, &pos](char c) {
        if (pos < kBlockSize)
            block[pos++] = c;
    };
    const QByteArray name = command.left(3).toLatin1();
    for (char c : name)
        put(c);
    put(':');
    const bool wfv = command.left(3) == QLatin1String("WFV");
    const int count = qMin(qMax(0, enabledCount), int(qMin<qsizetype>(5, parameters.size())));
    for (int k = 0; k < count && pos < kBlockSize; ++k) {
        if (wfv && (k == 2 || k == 3))
            put('/');
        else if (wfv && k == 4)
            put('-');
        for (char c : parameters[k].toLatin1())
            put(c);
    }
    return block;
}

} // namespace SerialCommand
