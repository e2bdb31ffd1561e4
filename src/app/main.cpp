// TitleDeck: the title manager of the KL-VT90 video mixer.

#include "app/DialogMessageBoxes.h"
#include "app/MainDeviceWiring.h"
#include "app/ProgramIcon.h"
#include "app/SingleInstance.h"
#include "app/TFormMain.h"
#include "app/TFormSplash.h"
#include "app/TerminationSignals.h"
#include "app/ToolkitTranslations.h"
#include "core/AppPaths.h"
#include "core/MemoryNo.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/DeviceSession.h"
#include "imaging/MagickImageLibrary.h"
#include "memory/KeyerState.h"
#include "mixer/UsbBackendChoice.h"
#include "resources/MessageTable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstring>

// Whether the command line asks only for the options or the version, which are
// answered without a display (the toolkit ends the program at its start when
// it finds none).
static bool asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        for (const char *option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

int main(int argc, char **argv)
{
    if (asksForTextOnly(argc, argv))
        qputenv("QT_QPA_PLATFORM", "minimal");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TitleDeck"));
    QApplication::setOrganizationName(QStringLiteral("Korvel KL-VT90"));
    QApplication::setApplicationVersion(QStringLiteral(TITLEDECK_VERSION));
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvel.TitleDeck"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Title manager of the KL-VT90 video mixer"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualMixer(
        QStringLiteral("virtual-mixer"),
        QStringLiteral("Run against the virtual mixer instead of a mixer on USB; "
                       "--virtual-mixer=FILE keeps its memory in FILE."));
    parser.addOption(virtualMixer);
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("List files (.vtl) to open, or pictures to add to the list; when TitleDeck "
                       "already runs, the running window takes them."),
        QStringLiteral("[files...]"));
    // The option's value is optional, which the parser cannot express: take
    // `--virtual-mixer=FILE` out before it looks.
    UsbBackendChoice::Choice mixerChoice;
    QStringList arguments = QCoreApplication::arguments();
    for (QString &argument : arguments) {
        if (const auto choice = UsbBackendChoice::virtualMixerArgument(argument)) {
            mixerChoice = *choice;
            argument = QStringLiteral("--virtual-mixer");
        }
    }
    parser.process(arguments);

    MessageTable::setLanguage(MessageTable::chooseLanguage());
    ToolkitTranslations::install(app, MessageTable::language());
    DialogMessageBoxes boxes;

    const AppPaths paths = AppPaths::standard();
    QStringList files;
    for (const QString &argument : parser.positionalArguments())
        files.append(QFileInfo(argument).absoluteFilePath());

    Waits waits;
    SingleInstance instance(paths.ProgramFolder);
    if (!instance.acquire()) {
        // The running window opens what this start was given; without files,
        // or when it does not answer, this start only says it runs already.
        if (files.isEmpty() || !instance.forward(files, waits))
            ShowMessageById(boxes, 1, 81, MsgError);
        return 0;
    }
    instance.listen();

    SettingsStore store;
    // A virtual mixer whose state file cannot be used does not start (before
    // the splash, whose window would take the message box with it).
    QString why;
    if (!UsbBackendChoice::applyTimeScale(mixerChoice, waits, &why)) {
        qWarning("%s", qPrintable(why));
        boxes.show(0, 0, QApplication::applicationName(), why, MsgError);
        return 1;
    }
    std::unique_ptr<UsbBackend> backend =
        UsbBackendChoice::make(mixerChoice, store, waits, nullptr, &why);
    if (!backend) {
        qWarning("%s", qPrintable(why));
        boxes.show(0, 0, QApplication::applicationName(), why, MsgError);
        return 1;
    }

    auto *splash = new TFormSplash;
    splash->showNow();

    MagickImageLibrary images;
    TFormMain main(MainServices{boxes, images, store, waits, paths});
    if (!main.created())
        return -1;
    main.setStartFiles(files);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &main, [&main](int signal) {
        main.endBySignal();
        TerminationSignals::endBy(signal);
    });
    QObject::connect(&instance, &SingleInstance::filesReceived, &main, &TFormMain::openFiles);
    main.show();

    DeviceSession device(std::move(backend), main.titleList(), images, waits, boxes);
    QObject::connect(&device.link(), &DeviceLink::connectedStateChanged, &main,
                     &TFormMain::setConnected);
    QObject::connect(&device.link(), &DeviceLink::programEndRequested, &app,
                     [](int code) { QCoreApplication::exit(code); });
    KeyerState &keyer = main.keyer();
    device.listClient().setKeyerIdler(
        [&keyer] { keyer.SetDskState(DskState::Idle, MemoryNo::None); });
    QObject::connect(&device.eventReader(), &DeviceEventReader::SetDskState, &keyer,
                     [&keyer](DskState state, int memoryNo) {
                         keyer.SetDskState(state, std::uint16_t(memoryNo));
                     });
    connectMainWindowToDevice(main, device);
    if (!device.Start())
        return 1;

    // The window has written its settings and emptied its list on closing;
    // the device closes, then the instance lock is released.
    const int status = app.exec();
    device.Stop();
    return status;
}
