#pragma once

#include "core/MessageBoxes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: a quiet application, message boxes that
// answer by themselves, a scratch folder for readers that take a path, and
// the check that turns a broken promise of a reader into a crash libFuzzer
// keeps as a finding.
namespace FuzzSupport {

// Called from LLVMFuzzerInitialize: the application object the readers'
// Qt classes expect, and no log lines on every run.
void start(int *argc, char ***argv);

// A file in the target's own scratch folder (in memory where the system has
// such a folder), removed when the target ends.
QString scratchFile(const QString &name);
// Replaces path's content with the bytes; aborts when that fails.
void writeFile(const QString &path, const std::uint8_t *data, std::size_t size);

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

[[noreturn]] inline void broken(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

} // namespace FuzzSupport

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzSupport::broken(#condition, __FILE__, __LINE__);                                   \
    } while (false)

// Message boxes that show nothing and answer each one with its default button.
class FuzzMessageBoxes : public MessageBoxes
{
public:
    int show(int, int, const QString &, const QString &, int flags) override
    {
        ++shown;
        return (flags & 0x0F) == 0x04 || (flags & 0x0F) == 0x03 ? IdNo : IdOk;
    }
    int shown = 0;
};
