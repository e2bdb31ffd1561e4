#include "DeviceCli.h"

#include "CliCommand.h"
#include "core/AppPaths.h"
#include "core/MemoryNo.h"
#include "device/DeviceLink.h"
#include "device/UsbBackend.h"

namespace {
DeviceCli::Subcommand *&head()
{
    static DeviceCli::Subcommand *first = nullptr;
    return first;
}

int usageOfAll(const QString &why)
{
    cliErr() << "titledeck-cli device: " << why << "\n";
    for (auto *s = DeviceCli::Subcommand::first(); s; s = s->next)
        cliErr() << "usage: titledeck-cli device " << s->usage << "\n";
    cliErr() << "common options: [--virtual-mixer[=FILE]] [--settings FILE] [--yes]\n";
    return 2;
}
} // namespace

DeviceCli::Subcommand::Subcommand(const char *name, const char *usage, Handler handler)
    : name(name), usage(usage), handler(handler), next(head())
{
    head() = this;
}

DeviceCli::Subcommand *DeviceCli::Subcommand::first()
{
    return head();
}

DeviceCli::DeviceCli() = default;

DeviceCli::~DeviceCli()
{
    if (m_link)
        m_link->Stop();
}

int DeviceCli::run(const QStringList &arguments)
{
    DeviceCli cli;
    if (const int status = cli.parse(arguments))
        return status;
    return cli.m_subcommand->handler(cli);
}

int DeviceCli::parse(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageOfAll(QStringLiteral("missing sub-command"));
    for (auto *s = Subcommand::first(); s; s = s->next)
        if (arguments.first() == QLatin1String(s->name))
            m_subcommand = s;
    if (!m_subcommand)
        return usageOfAll(QStringLiteral("unknown sub-command: ") + arguments.first());
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (const auto virtualMixer = UsbBackendChoice::virtualMixerArgument(a))
            m_choice = *virtualMixer;
        else if (a == QLatin1String("--settings") && i + 1 < arguments.size())
            m_settingsFile = arguments[++i];
        else if (a == QLatin1String("--settings"))
            return usage(QStringLiteral("--settings needs a file name"));
        else if (a == QLatin1String("--yes"))
            m_yes = true;
        else
            m_arguments << a;
    }
    QString why;
    if (!UsbBackendChoice::applyTimeScale(m_choice, m_waits, &why))
        return usage(why);
    m_boxes.setAnswers(m_yes ? CliMessageBoxes::AnswerYes : CliMessageBoxes::AskOnTerminal);
    m_settings = std::make_unique<SettingsStore>(
        m_settingsFile.isEmpty() ? SettingsStore().fileName() : m_settingsFile);
    return 0;
}

bool DeviceCli::connect()
{
    bool usable = false;
    QString why;
    m_backend = UsbBackendChoice::make(m_choice, *m_settings, m_waits, &usable, &why);
    if (!m_backend) {
        fail(why);
        return false;
    }
    if (!usable) {
        fail(QStringLiteral("USB access is not available"));
        return false;
    }
    m_link = std::make_unique<DeviceLink>(m_backend.get(), m_waits, m_boxes);
    m_link->Start();
    if (!m_link->Connected()) {
        fail(QStringLiteral("no mixer connected"));
        return false;
    }
    return true;
}

Settings DeviceCli::programSettings()
{
    return LoadSettings(*m_settings, SettingsContext{AppPaths::standard().ProgramFolder, 0, 0});
}

DevicePicture::LevelSettings DeviceCli::levels()
{
    const EnvironmentSettings environment = programSettings().Environment;
    return {environment.YUVMax, environment.YUVMin};
}

std::optional<std::uint16_t> DeviceCli::parseMemoryNo(const QString &text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const uint value = hex ? text.mid(2).toUInt(&ok, 16) : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF || !MemoryNo::isData(std::uint16_t(value)))
        return std::nullopt;
    return std::uint16_t(value);
}

QString DeviceCli::memoryNoText(std::uint16_t memoryNo)
{
    return QString::asprintf("0x%04X", memoryNo);
}

int DeviceCli::usage(const QString &why) const
{
    cliErr() << "titledeck-cli device: " << why << "\n"
             << "usage: titledeck-cli device " << m_subcommand->usage << "\n";
    return 2;
}

int DeviceCli::fail(const QString &why)
{
    cliErr() << "titledeck-cli: " << why << "\n";
    return 1;
}

static CliCommand
    deviceCommand("device",
                  "device info|upload|map|save|load-clip|clear|play|stop|autotake|keys ... "
                  "[--virtual-mixer[=FILE]] [--settings FILE] [--yes]",
                  DeviceCli::run);
