// titledeck-cli: the program's list, conversion and device operations without
// windows. Messages go to standard error in the chosen language; the exit
// status says success (0) or failure (1); usage errors exit with 2.

#include "CliCommand.h"
#include "resources/MessageTable.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstring>

static int usage()
{
    cliErr() << "usage: titledeck-cli <command> ...\n";
    for (CliCommand *c = CliCommand::first(); c; c = c->next)
        cliErr() << "  " << c->usage << "\n";
    cliErr().flush();
    return 2;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Standard error carries the program's messages; diagnostics only on request.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(
            QStringLiteral("titledeck.*.debug=false\ntitledeck.*.info=false"));
    QCoreApplication::setApplicationName(QStringLiteral("TitleDeck"));
    MessageTable::setLanguage(MessageTable::chooseLanguage());

    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help"))
        return usage();
    if (arguments.first() == QLatin1String("--version")) {
        cliOut() << "titledeck-cli " << TITLEDECK_VERSION << "\n";
        cliOut().flush();
        return 0;
    }
    const QString name = arguments.takeFirst();
    for (CliCommand *c = CliCommand::first(); c; c = c->next) {
        if (name == QLatin1String(c->name)) {
            const int status = c->handler(arguments);
            cliOut().flush();
            cliErr().flush();
            return status;
        }
    }
    cliErr() << "titledeck-cli: unknown command: " << name << "\n";
    return usage();
}
