// titledeck-cli mixer: the virtual mixer's control surface, acting on its
// state file under the file's lock. What it changes (the setup-data mode, the
// armed faults, the link rate) is written back to the file and takes effect
// in the next program that opens it.

#include "CliCommand.h"
#include "core/SetupDataFile.h"
#include "core/Waits.h"
#include "device/DeviceRequests.h"
#include "mixer/MixerStateFile.h"
#include "mixer/UsbBackendChoice.h"
#include "mixer/VirtualMixer.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <memory>
#include <optional>

namespace {

using Faults = MixerDevice::Faults;
using DeviceRequest::In;

// The requests whose replies carry a status, by the names a status fault takes.
const std::pair<const char *, In> statusRequests[] = {
    {"DskPlay", In::DskPlay},
    {"DskPause", In::DskPause},
    {"DskStop", In::DskStop},
    {"Autotake", In::Autotake},
    {"PreviewStart", In::PreviewStart},
    {"AllocTitleMemory", In::AllocTitleMemory},
    {"AllocIntVideoMemory", In::AllocIntVideoMemory},
    {"SetMemorySetting", In::SetMemorySetting},
    {"GetFrameInfo", In::GetFrameInfo},
    {"RecallEvent", In::RecallEvent},
    {"BeginTestRead", In::BeginTestRead},
    {"BeginTestWrite", In::BeginTestWrite},
    {"BeginMemoryMapRead", In::BeginMemoryMapRead},
    {"BeginFrameRead", In::BeginFrameRead},
    {"BeginFrameWrite", In::BeginFrameWrite},
    {"BeginSetupDataRead", In::BeginSetupDataRead},
    {"BeginSetupDataWrite", In::BeginSetupDataWrite},
};

std::optional<int> requestCode(const QString &name)
{
    for (const auto &[n, code] : statusRequests)
        if (name == QLatin1String(n))
            return int(code);
    return std::nullopt;
}

QString requestName(int code)
{
    for (const auto &[n, c] : statusRequests)
        if (int(c) == code)
            return QLatin1String(n);
    return QString::number(code);
}

// One kind of fault: how it is armed and how an armed one shows (-1: not armed).
struct FaultKind
{
    const char *name;
    const char *argument;
    int defaultValue;
    void (*arm)(VirtualMixer &, int value, int request);
    int (*armed)(const Faults &);
    bool perRequest = false;      // takes a request name before the count
    const char *second = nullptr; // a second number after the first, handed over as `request`
    int (*armedSecond)(const Faults &) = nullptr;
};

int ifPositive(int value)
{
    return value > 0 ? value : -1;
}

const FaultKind faultKinds[] = {
    {"refuse", "N", 1, [](VirtualMixer &m, int n, int r) { m.injectStatus(0, n, r); },
     [](const Faults &f) { return f.status == 0 ? ifPositive(f.statusAnswers) : -1; }, true},
    {"busy", "N", 1, [](VirtualMixer &m, int n, int r) { m.injectStatus(1, n, r); },
     [](const Faults &f) { return f.status == 1 ? ifPositive(f.statusAnswers) : -1; }, true},
    {"stall-requests", "N", 1, [](VirtualMixer &m, int n, int) { m.injectFailedRequests(n); },
     [](const Faults &f) { return ifPositive(f.failedRequests); }},
    {"bulk-stall", "BYTES", 0, [](VirtualMixer &m, int n, int) { m.injectBulkStall(n); },
     [](const Faults &f) { return f.bulk.stallAfter; }},
    {"bulk-short", "BYTES", 0, [](VirtualMixer &m, int n, int) { m.injectShortBulk(n); },
     [](const Faults &f) { return f.bulk.shortAfter; }},
    {"unplug", "BYTES", 0, [](VirtualMixer &m, int n, int) { m.injectUnplugDuringBulk(n); },
     [](const Faults &f) { return f.bulk.unplugAfter; }},
    {"bad-map-magic", "N", 1, [](VirtualMixer &m, int n, int) { m.injectBadMapMagic(n); },
     [](const Faults &f) { return ifPositive(f.badMapMagic); }},
    {"shifted-read", "LINE", 0, [](VirtualMixer &m, int n, int) { m.injectShiftedReadBack(n); },
     [](const Faults &f) { return f.shiftedReadBackLine; }},
    {"bad-events", "N", 1, [](VirtualMixer &m, int n, int) { m.injectMalformedEventLines(n); },
     [](const Faults &f) { return ifPositive(f.malformedLines); }},
    {"leave", "LINES", 0, [](VirtualMixer &m, int n, int ms) { m.injectLeave(n, ms); },
     [](const Faults &f) { return f.leaveAfterLines; }, false, "MS",
     [](const Faults &f) { return f.leaveDelayMs; }},
    {"drop-out-end", "N", 1, [](VirtualMixer &m, int n, int) { m.injectDroppedOutEnds(n); },
     [](const Faults &f) { return ifPositive(f.droppedOutEnds); }},
    {"foreign-numbers", "N", 1, [](VirtualMixer &m, int n, int) { m.injectForeignNumbers(n); },
     [](const Faults &f) { return ifPositive(f.foreignNumbers); }},
};

const char *const usageText =
    "usage: titledeck-cli mixer status [--json] --virtual-mixer=FILE\n"
    "       titledeck-cli mixer setup-mode on|off --virtual-mixer=FILE\n"
    "       titledeck-cli mixer fault KIND [COUNT] --virtual-mixer=FILE\n"
    "       titledeck-cli mixer fault refuse|busy REQUEST [N] --virtual-mixer=FILE\n"
    "       titledeck-cli mixer fault clear --virtual-mixer=FILE\n"
    "       titledeck-cli mixer link-rate MBPS --virtual-mixer=FILE   (0: unlimited)\n"
    "       titledeck-cli mixer key SLOT CODE|none --virtual-mixer=FILE\n"
    "           a panel key held (SLOT 1-3 the keys, 4-6 CP A, 7-9 CP B; CODE 0-254)\n"
    "       titledeck-cli mixer key clear --virtual-mixer=FILE   (no key held)\n"
    "fault kinds, each armed in FILE for the next program that opens it and used up there:\n"
    "  refuse [REQUEST] [N] the next N status answers (to REQUEST only, when named)\n"
    "                       are 0 (refused; default 1)\n"
    "  busy [REQUEST] [N]   the same with 1 (busy); allocations answer \"none\" and map\n"
    "                       reads \"stop\" meanwhile; refuse and busy share one counter, the\n"
    "                       last one armed counts. REQUEST: DskPlay DskPause DskStop\n"
    "                       Autotake PreviewStart AllocTitleMemory AllocIntVideoMemory\n"
    "                       SetMemorySetting GetFrameInfo RecallEvent BeginTestRead\n"
    "                       BeginTestWrite BeginMemoryMapRead BeginFrameRead\n"
    "                       BeginFrameWrite BeginSetupDataRead BeginSetupDataWrite\n"
    "  stall-requests [N]   the next N vendor requests stall (default 1)\n"
    "  bulk-stall [BYTES]   the next bulk transfer longer than BYTES stops answering after\n"
    "                       BYTES (default 0); shorter transfers leave the fault armed\n"
    "  bulk-short [BYTES]   the same, ending the transfer after BYTES: a short packet in,\n"
    "                       a halted endpoint out (default 0)\n"
    "  unplug [BYTES]       the same, the mixer leaving the bus after BYTES (default 0)\n"
    "  bad-map-magic [N]    the next N memory maps carry a bad magic (default 1)\n"
    "  shifted-read [LINE]  the next frame read arrives two bytes late from device line LINE on\n"
    "                       (default 0)\n"
    "  bad-events [N]       the next N keyer event lines are garbled (default 1)\n"
    "  leave [LINES] [MS]   the mixer leaves the bus MS ms (scaled like its effects) after\n"
    "                       its next LINES keyer event lines (0: after opening; default 0 0)\n"
    "  drop-out-end [N]     the next N \"out end\" lines are never sent (default 1)\n"
    "  foreign-numbers [N]  the next N \"in start\" and \"out start\" lines carry a memory\n"
    "                       number nothing stored has (default 1)\n";

int usage(const QString &why)
{
    cliErr() << "titledeck-cli mixer: " << why << "\n" << usageText;
    return 2;
}

QString memoryNoText(int memoryNo)
{
    return QStringLiteral("0x%1").arg(memoryNo, 4, 16, QLatin1Char('0'));
}

int blocksOf(const MixerItemInfo &i)
{
    return i.frameCount * (i.clip ? MixerMemory::BlocksPerRow : i.blocksPerFrame);
}

QJsonObject statusJson(const VirtualMixer &mixer, const MixerDevice::Snapshot &s)
{
    QJsonArray items;
    for (const MixerStoredItem &item : s.memory.items) {
        const MixerItemInfo &i = item.info;
        items.append(QJsonObject{{"memoryNo", i.memoryNo},
                                 {"kind", i.clip ? "clip" : "title"},
                                 {"frames", i.frameCount},
                                 {"blocks", blocksOf(i)},
                                 {"protected", i.isProtected},
                                 {"deviceWord", qint64(i.deviceWord)}});
    }
    QJsonObject faults;
    for (const FaultKind &kind : faultKinds) {
        if (const int value = kind.armed(s.faults); value >= 0) {
            QJsonObject fault{{"value", value}};
            if (kind.perRequest && s.faults.statusRequest >= 0)
                fault.insert("request", requestName(s.faults.statusRequest));
            if (kind.armedSecond)
                fault.insert(QLatin1String(kind.second), kind.armedSecond(s.faults));
            faults.insert(QLatin1String(kind.name), fault);
        }
    }
    QJsonArray keyCodes;
    for (const std::uint8_t code : s.keyCodes)
        keyCodes.append(code == 0xFF ? QJsonValue() : QJsonValue(int(code)));
    return {{"signal", s.memory.signal == 1 ? "PAL" : "NTSC"},
            {"aspect", s.aspect == 1 ? "16:9" : "4:3"},
            {"titleRows", s.memory.titleRows},
            {"setupDataMode", s.setupDataMode},
            {"setupDataSum", qint64(SetupDataFile::sum(s.setupData))},
            {"items", items},
            {"faults", faults},
            {"linkRateMBps", mixer.linkRate() / 1e6},
            {"lastSerialCommand", QString::fromLatin1(s.lastSerialCommand.toHex())},

            {"keyCodes", keyCodes}};
}

void printStatus(const QString &path, const QJsonObject &j)
{
    QTextStream &out = cliOut();
    out << "State file: " << QFileInfo(path).absoluteFilePath() << "\n"
        << "Signal: " << j["signal"].toString() << "\n"
        << "Aspect: " << j["aspect"].toString() << "\n"
        << "Title rows: " << j["titleRows"].toInt() << "\n"
        << "Setup data mode: " << (j["setupDataMode"].toBool() ? "on" : "off") << "\n"
        << "Setup data sum: "
        << QStringLiteral("0x%1").arg(j["setupDataSum"].toInteger(), 8, 16, QLatin1Char('0'))
        << "\n";
    const double rate = j["linkRateMBps"].toDouble();
    out << "Link rate: " << (rate > 0 ? QString::number(rate) + " MB/s" : "unlimited") << "\n";
    const QByteArray serial = QByteArray::fromHex(j["lastSerialCommand"].toString().toLatin1());
    out << "Last serial command: "
        << (serial.isEmpty() ? QStringLiteral("none") : QString::fromLatin1(serial.constData()))
        << "\n";
    QStringList faults;
    const QJsonObject f = j["faults"].toObject();
    for (auto it = f.begin(); it != f.end(); ++it) {
        const QJsonObject fault = it.value().toObject();
        faults << it.key() + QLatin1Char(' ') + QString::number(fault["value"].toInt()) +
                      (fault.contains("MS")
                           ? QStringLiteral(" (then %1 ms)").arg(fault["MS"].toInt())
                           : QString()) +
                      (fault.contains("request")
                           ? QStringLiteral(" (%1 only)").arg(fault["request"].toString())
                           : QString());
    }
    out << "Faults: " << (faults.isEmpty() ? QStringLiteral("none") : faults.join(", ")) << "\n";
    QStringList keys;
    for (const QJsonValue &code : j["keyCodes"].toArray())
        keys << (code.isNull() ? QStringLiteral("-") : QString::number(code.toInt()));
    out << "Panel keys: " << keys.join(' ') << "\n";
    const QJsonArray items = j["items"].toArray();
    out << "Stored: " << items.size() << "\n";
    for (const QJsonValue &v : items) {
        const QJsonObject i = v.toObject();
        out << "  " << memoryNoText(i["memoryNo"].toInt()) << " " << i["kind"].toString() << ", "
            << i["frames"].toInt() << " frame(s), " << i["blocks"].toInt() << " block(s), "
            << (i["protected"].toBool() ? "protected" : "not protected") << ", device word "
            << QStringLiteral("0x%1").arg(qint64(i["deviceWord"].toDouble()), 8, 16,
                                          QLatin1Char('0'))
            << "\n";
    }
}

// A whole number not below 0, or nothing.
std::optional<int> count(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 ? std::optional<int>(n) : std::nullopt;
}

int mixerMain(const QStringList &arguments)
{
    if (arguments.contains(QLatin1String("--help"))) {
        cliOut() << usageText;
        return 0;
    }
    QStringList words;
    QString stateFile;
    bool json = false;
    for (const QString &a : arguments) {
        if (const auto choice = UsbBackendChoice::virtualMixerArgument(a)) {
            if (choice->stateFile.isEmpty())
                return usage(QStringLiteral("--virtual-mixer needs a state file: "
                                            "--virtual-mixer=FILE"));
            stateFile = choice->stateFile;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("unknown option: ") + a);
        } else {
            words << a;
        }
    }
    if (words.isEmpty())
        return usage(QStringLiteral("missing sub-command"));
    const QString command = words.takeFirst();

    // Everything is checked before the file is touched.
    std::function<void(VirtualMixer &)> change;
    if (command == QLatin1String("status")) {
        if (!words.isEmpty())
            return usage(QStringLiteral("status takes no argument: ") + words.first());
    } else if (json) {
        return usage(QStringLiteral("--json is for status only"));
    } else if (command == QLatin1String("setup-mode")) {
        if (words.size() != 1 || (words[0] != QLatin1String("on") && words[0] != "off"))
            return usage(QStringLiteral("setup-mode needs on or off"));
        const bool on = words[0] == QLatin1String("on");
        change = [on](VirtualMixer &m) { m.setSetupDataMode(on); };
    } else if (command == QLatin1String("link-rate")) {
        bool ok = false;
        const double mbps = words.size() == 1 ? words[0].toDouble(&ok) : 0;
        if (!ok || !(mbps >= 0 && mbps <= 4000))
            return usage(QStringLiteral("link-rate needs MB/s from 0 (unlimited) to 4000"));
        const auto rate = std::uint32_t(qRound64(mbps * 1e6));
        change = [rate](VirtualMixer &m) { m.setLinkRate(rate); };
    } else if (command == QLatin1String("key")) {
        if (words.size() == 1 && words[0] == QLatin1String("clear")) {
            change = [](VirtualMixer &m) {
                for (int slot = 0; slot < 9; ++slot)
                    m.releasePanelKey(slot);
            };
        } else {
            int slot = -1;
            int code = -1;
            if (words.size() == 2) {
                slot = count(words[0]).value_or(-1);
                code = words[1] == QLatin1String("none") ? 0xFF : count(words[1]).value_or(-1);
                if (words[1] != QLatin1String("none") && code == 0xFF)
                    code = -1;
            }
            if (slot < 1 || slot > 9 || code < 0 || code > 0xFF)
                return usage(QStringLiteral("key needs a slot from 1 to 9 and a code from 0 "
                                            "to 254 or none, or clear"));
            change = [slot, code](VirtualMixer &m) {
                m.pressPanelKey(slot - 1, std::uint8_t(code));
            };
        }
    } else if (command == QLatin1String("fault")) {
        if (words.size() == 1 && words[0] == QLatin1String("clear")) {
            change = [](VirtualMixer &m) { m.clearFaults(); };
        } else {
            const FaultKind *kind = nullptr;
            for (const FaultKind &k : faultKinds)
                if (!words.isEmpty() && words[0] == QLatin1String(k.name))
                    kind = &k;
            if (!kind)
                return usage(words.isEmpty() ? QStringLiteral("fault needs a kind")
                                             : QStringLiteral("unknown fault kind: ") + words[0]);
            int request = -1;
            if (kind->perRequest && words.size() >= 2 && words[1].front().isLetter()) {
                const std::optional<int> code = requestCode(words[1]);
                if (!code)
                    return usage(QStringLiteral("no status fault for the request ") + words[1]);
                request = *code;
                words.removeAt(1);
            }
            if (kind->second && words.size() == 3) {
                const std::optional<int> second = count(words[2]);
                if (!second)
                    return usage(QStringLiteral("fault %1 takes %2 %3, whole numbers from 0")
                                     .arg(QLatin1String(kind->name), QLatin1String(kind->argument),
                                          QLatin1String(kind->second)));
                request = *second;
                words.removeAt(2);
            } else if (kind->second) {
                request = 0;
            }
            const std::optional<int> n = words.size() == 1   ? kind->defaultValue
                                         : words.size() == 2 ? count(words[1])
                                                             : std::nullopt;
            if (!n)
                return usage(QStringLiteral("fault %1 takes one %2, a whole number from 0")
                                 .arg(QLatin1String(kind->name), QLatin1String(kind->argument)));
            change = [kind, value = *n, request](VirtualMixer &m) { kind->arm(m, value, request); };
        }
    } else {
        return usage(QStringLiteral("unknown sub-command: ") + command);
    }
    if (stateFile.isEmpty())
        return usage(QStringLiteral("the mixer commands act on a state file: "
                                    "--virtual-mixer=FILE"));

    Waits waits;
    VirtualMixer mixer(waits);
    QString why;
    const std::unique_ptr<MixerStateFile> file = MixerStateFile::open(stateFile, mixer, &why);
    if (!file) {
        cliErr() << "titledeck-cli: " << why << "\n";
        return 1;
    }
    if (change) {
        change(mixer);
        if (!file->save(&why)) {
            cliErr() << "titledeck-cli: the virtual mixer's state file "
                     << QFileInfo(stateFile).absoluteFilePath() << " cannot be written: " << why
                     << "\n";
            return 1;
        }
        return 0;
    }
    const QJsonObject status = statusJson(mixer, mixer.snapshot());
    if (json)
        cliOut() << QJsonDocument(status).toJson(QJsonDocument::Indented);
    else
        printStatus(stateFile, status);
    return 0;
}

} // namespace

static CliCommand mixerCommand("mixer",
                               "mixer status [--json] | setup-mode on|off | fault KIND [COUNT] | "
                               "fault clear | link-rate MBPS | key SLOT CODE|none | key clear  "
                               "--virtual-mixer=FILE",
                               mixerMain);
