#include "CliCommand.h"

#include <cstdio>

namespace {
CliCommand *g_first = nullptr;
}

CliCommand::CliCommand(const char *name, const char *usage, Handler handler)
    : name(name), usage(usage), handler(handler), next(g_first)
{
    g_first = this;
}

CliCommand *CliCommand::first()
{
    return g_first;
}

QTextStream &cliOut()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &cliErr()
{
    static QTextStream stream(stderr);
    return stream;
}
