#pragma once

#include <QJsonObject>
#include <QString>

namespace kvx {

// What the command line writes: texts as UTF-8 with the line ends of the system, JSON for
// scripts, and the progress line that only a terminal gets.
namespace CliOutput {

void out(const QString& text);
void error(const QString& line);
void json(const QJsonObject& object);

// True when the error output is a terminal, where a progress line may be rewritten in place.
bool showsProgress();
// Writes the progress line over the last one; an empty text clears it.
void progress(const QString& text);

} // namespace CliOutput

} // namespace kvx
