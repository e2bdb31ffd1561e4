#pragma once

#include <QStringList>
#include <QTextStream>

// One top-level command of titledeck-cli ("list", "convert", "device").
// Each command's file registers itself with a static CliCommand object, so
// adding a command needs no change to main.cpp.
struct CliCommand
{
    using Handler = int (*)(const QStringList &arguments);

    CliCommand(const char *name, const char *usage, Handler handler);

    const char *name;
    const char *usage;
    Handler handler;
    CliCommand *next;

    static CliCommand *first();
};

// Standard output and standard error as UTF-8 text streams.
QTextStream &cliOut();
QTextStream &cliErr();
