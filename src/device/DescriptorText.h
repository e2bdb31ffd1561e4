#pragma once

#include <QByteArray>
#include <QStringList>

// The text lines of the diagnostics window's descriptor view, for one of its
// three choices. A descriptor that is not held (empty) gives no lines.
namespace DescriptorText {

enum Kind { Device = 0, Configuration = 1, Interface = 2 };

QStringList deviceLines(const QByteArray &deviceDescriptor);
QStringList configurationLines(const QByteArray &configDescriptor);
QStringList interfaceLines(const QByteArray &configDescriptor);
QStringList lines(Kind kind, const QByteArray &deviceDescriptor,
                  const QByteArray &configDescriptor);

} // namespace DescriptorText
