// bildoro-batch's options of when to shoot, who is asking, what to shoot and what to write.
#pragma once

#include "capture_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The options, for the parser and --help.
QList<QCommandLineOption> CaptureOptionDefinitions();
// Reads them from a parser that has parsed the command line. Returns why they cannot be used (a usage error,
// before any page loads), or an empty text. A cookie file is read here.
QString ReadCaptureOptions(const QCommandLineParser& parser, TCaptureOptions& options);
