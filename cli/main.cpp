// bildoro-batch: the batch run without windows.
#include "capture_args.h"
#include "capture_size.h"
#include "commands.h"
#include "int_text.h"
#include "row_pipeline.h"
#include "terminal_text.h"
#include "texts.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace {

// The longest --timeout: a day.
constexpr int kMaxTimeoutSeconds = 86400;

int Usage(const QString& message) {
    std::fprintf(stderr, "bildoro-batch: %s\n%s\n", TerminalText(message).constData(),
                 qPrintable(QCoreApplication::translate("bildoro-batch", "Try 'bildoro-batch --help'.")));
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // A write beyond the file size limit fails with EFBIG and is reported for its row, instead of the signal
    // ending the whole run with a half-written picture.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bildoro-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BILDORO_FILE_VERSION));
    // Its own messages follow the locale; the rows' lines and reasons stay English, as the report keeps them
    // for programs in every language (one language per line).
    if (MessagesLocaleIsGerman()) UseGermanTexts("bildoro-batch");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("bildoro-batch",
                                    "Turns a list of web pages into thumbnail pictures in one batch.\n"
                                    "LIST is a list file (one 'URL;picture name' per line) or - for standard "
                                    "input."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("LIST"),
                                 QCoreApplication::translate("bildoro-batch", "The list file."));
    const QCommandLineOption outOpt(
        {QStringLiteral("o"), QStringLiteral("output")},
        QCoreApplication::translate("bildoro-batch", "Output folder for the pictures."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption resOpt(
        QStringLiteral("resolution"),
        QCoreApplication::translate("bildoro-batch",
                                    "Capture size: 1280x1024, 1024x768 (default) or 800x600."),
        QStringLiteral("WxH"), QStringLiteral("1024x768"));
    const QCommandLineOption widthOpt(
        QStringLiteral("width"),
        QCoreApplication::translate("bildoro-batch", "Thumbnail width (default 320)."),
        QStringLiteral("PIXELS"), QStringLiteral("320"));
    const QCommandLineOption timeoutOpt(
        QStringLiteral("timeout"),
        QCoreApplication::translate("bildoro-batch", "Longest wait for a page in seconds (default %1).")
            .arg(kDefaultPageTimeoutMs / 1000),
        QStringLiteral("SECONDS"), QString::number(kDefaultPageTimeoutMs / 1000));
    const QCommandLineOption settleOpt(
        QStringLiteral("settle-ms"),
        QCoreApplication::translate("bildoro-batch",
                                    "Longest wait after a page has loaded for its requests still under way "
                                    "and its web fonts, in milliseconds (0-60000, default 2000)."),
        QStringLiteral("MS"), QStringLiteral("2000"));
    const QCommandLineOption keepBannersOpt(
        QStringLiteral("keep-banners"),
        QCoreApplication::translate("bildoro-batch",
                                    "Leave cookie-consent dialogs as they are (by default they are refused, "
                                    "or hidden, before the capture)."));
    const QCommandLineOption jobsOpt(
        QStringLiteral("jobs"),
        QCoreApplication::translate("bildoro-batch",
                                    "Pages loading at once: 1-32, or auto (default: from one to eight per "
                                    "core, more while the cores have time to spare, fewer when they or "
                                    "--memory-limit run out)."),
        QStringLiteral("N|auto"), QStringLiteral("auto"));
    const QCommandLineOption memoryLimitOpt(
        QStringLiteral("memory-limit"),
        QCoreApplication::translate("bildoro-batch",
                                    "Memory in MiB that --jobs auto keeps the browser and its pages within "
                                    "(default: half the machine's)."),
        QStringLiteral("MIB"));
    const QCommandLineOption perHostOpt(
        QStringLiteral("per-host"),
        QCoreApplication::translate("bildoro-batch",
                                    "At most N pages of one host at once (default 2; 0: no limit; servers on "
                                    "this machine have none)."),
        QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption pageMemoryOpt(
        QStringLiteral("page-memory"),
        QCoreApplication::translate(
            "bildoro-batch",
            "A page whose renderer takes more than MIB of memory is ended and its row "
            "fails (default %1; 0: no limit).")
            .arg(kDefaultPageMemoryMiB),
        QStringLiteral("MIB"), QString::number(kDefaultPageMemoryMiB));
    const QCommandLineOption dryOpt(
        QStringLiteral("dry-run"),
        QCoreApplication::translate("bildoro-batch", "Only print each row and the file it would write."));
    const QCommandLineOption shrinkOpt(
        QStringLiteral("shrink"),
        QCoreApplication::translate("bildoro-batch", "Reduce the given JPEG files in place to WIDTH pixels."),
        QStringLiteral("WIDTH"));
    const QCommandLineOption reportOpt(
        QStringLiteral("report"),
        QCoreApplication::translate("bildoro-batch", "Write one JSON line per row as it ends to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption resumeOpt(
        QStringLiteral("resume"),
        QCoreApplication::translate(
            "bildoro-batch", "Skip the rows that the --report file already records as done; append to it."));
    const QCommandLineOption picturesMovedOpt(
        QStringLiteral("pictures-moved"),
        QCoreApplication::translate(
            "bildoro-batch",
            "With --resume: skip the rows the report records as done even when their "
            "pictures are no longer in the output folder (taken elsewhere after each run)."));
    const QCommandLineOption retryOpt(
        QStringLiteral("retry"),
        QCoreApplication::translate(
            "bildoro-batch",
            "Try a row that failed for a passing reason up to N more times (0-10, default 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption failedListOpt(
        QStringLiteral("failed-list"),
        QCoreApplication::translate("bildoro-batch", "Write the rows that failed to FILE, as a list file."),
        QStringLiteral("FILE"));
    const QCommandLineOption shardOpt(
        QStringLiteral("shard"),
        QCoreApplication::translate("bildoro-batch",
                                    "Take only the rows i with i mod N = K - 1 (K from 1 to N)."),
        QStringLiteral("K/N"));
    const QCommandLineOption filterOpt(
        QStringLiteral("filter"),
        QCoreApplication::translate("bildoro-batch",
                                    "How pictures are reduced: exact (default; the program's own bilinear "
                                    "resampler, byte for byte as always) or smooth (anti-aliased: text stays "
                                    "legible on thumbnails)."),
        QStringLiteral("exact|smooth"), QStringLiteral("exact"));
    const QCommandLineOption allowFilesOpt(
        QStringLiteral("allow-files"),
        QCoreApplication::translate(
            "bildoro-batch",
            "Load the list's file: rows (local files). Without it they fail: a list "
            "from others could otherwise make you publish a picture of a local file."));
    const QCommandLineOption compareOpt(
        QStringLiteral("compare"),
        QCoreApplication::translate(
            "bildoro-batch",
            "Compare each row with the report of an earlier run: changed or not, new, "
            "and the rows that vanished from the list."),
        QStringLiteral("EARLIER_REPORT"));
    const QCommandLineOption changeDistanceOpt(
        QStringLiteral("change-distance"),
        QCoreApplication::translate("bildoro-batch",
                                    "A page counts as changed when its picture hash differs from the earlier "
                                    "one in more than N of 64 bits (default %1).")
            .arg(kDefaultChangeDistance),
        QStringLiteral("N"), QString::number(kDefaultChangeDistance));
    const QCommandLineOption groupDistanceOpt(
        QStringLiteral("group-distance"),
        QCoreApplication::translate(
            "bildoro-batch",
            "Pages whose picture hashes differ in at most N bits look alike and share a "
            "group (default %1).")
            .arg(kDefaultGroupDistance),
        QStringLiteral("N"), QString::number(kDefaultGroupDistance));
    const QCommandLineOption htmlOpt(
        QStringLiteral("html"),
        QCoreApplication::translate(
            "bildoro-batch",
            "Write a report page to FILE: every thumbnail with its result, filters and "
            "a search, in one HTML file."),
        QStringLiteral("FILE"));
    parser.addOptions(
        {allowFilesOpt,     outOpt,           resOpt,        widthOpt,       timeoutOpt, settleOpt,
         keepBannersOpt,    jobsOpt,          dryOpt,        shrinkOpt,      reportOpt,  resumeOpt,
         picturesMovedOpt,  retryOpt,         failedListOpt, shardOpt,       filterOpt,  compareOpt,
         changeDistanceOpt, groupDistanceOpt, htmlOpt,       memoryLimitOpt, perHostOpt, pageMemoryOpt});
    parser.addOptions(CaptureOptionDefinitions());
    // parse() rather than process(): wrong usage ends with status 2 and a hint, never with Qt's own exit().
    if (!parser.parse(QCoreApplication::arguments())) return Usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }

    const std::optional<ThumbnailFilter> filter = ThumbnailFilterOfText(parser.value(filterOpt));
    if (!filter)
        return Usage(QCoreApplication::translate("bildoro-batch", "unknown filter '%1' (exact or smooth)")
                         .arg(parser.value(filterOpt)));
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(shrinkOpt)) {
        if (args.isEmpty())
            return Usage(QCoreApplication::translate("bildoro-batch", "--shrink needs at least one file"));
        return RunShrink(parser.value(shrinkOpt), args, *filter, parser.isSet(dryOpt), stdout, stderr);
    }
    if (args.size() != 1)
        return Usage(QCoreApplication::translate("bildoro-batch", "expected exactly one list file"));
    if (!parser.isSet(outOpt))
        return Usage(
            QCoreApplication::translate("bildoro-batch", "the output folder (-o FOLDER) is missing"));
    BatchOptions options;
    if (parser.isSet(shardOpt)) {
        const QStringList parts = parser.value(shardOpt).split(u'/');
        bool okK = false, okN = false;
        if (parts.size() == 2) {
            options.shard = parts[0].toInt(&okK);
            options.shards = parts[1].toInt(&okN);
        }
        if (!okK || !okN || options.shards < 1 || options.shard < 1 || options.shard > options.shards)
            return Usage(
                QCoreApplication::translate("bildoro-batch", "--shard needs K/N with 1 <= K <= N, e.g. 2/8"));
    }
    options.listFile = args[0];
    options.outputFolder = parser.value(outOpt);
    options.widthText = parser.value(widthOpt);
    options.filter = *filter;
    const std::optional<QSize> size = ResolutionOfText(parser.value(resOpt));
    if (!size)
        return Usage(QCoreApplication::translate("bildoro-batch", "unknown resolution '%1'")
                         .arg(parser.value(resOpt)));
    options.captureWidth = size->width();
    options.captureHeight = size->height();
    if (const QString why = ReadCaptureOptions(parser, options.capture); !why.isEmpty()) return Usage(why);
    // A phone's view instead of the resolution's.
    if (options.capture.mobile) {
        options.captureWidth = kMobileWidth;
        options.captureHeight = kMobileHeight;
    }
    // The width is converted as the window converts its field; a text that gives no width would fail every
    // row after its page has loaded.
    if (const std::optional<int> width = StrToInt32(options.widthText); !width)
        return Usage(QStringLiteral("--width: ") + NotAnIntegerMessage(options.widthText));
    else if (*width < 1)
        return Usage(QCoreApplication::translate("bildoro-batch", "--width needs at least 1 pixel, not %1")
                         .arg(*width));
    bool ok = false;
    options.timeoutSeconds = parser.value(timeoutOpt).toDouble(&ok);
    // Not a number, infinity or more than a day would leave a row without a bound.
    if (!ok || !std::isfinite(options.timeoutSeconds) || options.timeoutSeconds <= 0 ||
        options.timeoutSeconds > kMaxTimeoutSeconds)
        return Usage(QCoreApplication::translate("bildoro-batch",
                                                 "--timeout needs a number of seconds above 0, at most %1")
                         .arg(kMaxTimeoutSeconds));
    options.settleMs = parser.value(settleOpt).toInt(&ok);
    if (!ok || options.settleMs < 0 || options.settleMs > 60000)
        return Usage(
            QCoreApplication::translate("bildoro-batch", "--settle-ms needs a number from 0 to 60000"));
    options.keepBanners = parser.isSet(keepBannersOpt);
    options.allowFiles = parser.isSet(allowFilesOpt);
    qint64 memoryLimit = MachineMemoryMiB() / 2;
    if (parser.isSet(memoryLimitOpt)) {
        memoryLimit = parser.value(memoryLimitOpt).toLongLong(&ok);
        if (!ok || memoryLimit < 256)
            return Usage(
                QCoreApplication::translate("bildoro-batch", "--memory-limit needs at least 256 (MiB)"));
    }
    options.memoryLimitMiB = memoryLimit;
    if (parser.value(jobsOpt) == QLatin1String("auto")) {
        options.autoJobs = true;
    } else {
        options.jobs = parser.value(jobsOpt).toInt(&ok);
        if (!ok || options.jobs < 1 || options.jobs > kMaxJobs)
            return Usage(
                QCoreApplication::translate("bildoro-batch", "--jobs needs a number from 1 to %1, or auto")
                    .arg(kMaxJobs));
    }
    options.pageMemoryMiB = parser.value(pageMemoryOpt).toLongLong(&ok);
    if (!ok || (options.pageMemoryMiB != 0 && options.pageMemoryMiB < 64))
        return Usage(
            QCoreApplication::translate("bildoro-batch", "--page-memory needs 0 or at least 64 (MiB)"));
    options.perHost = parser.value(perHostOpt).toInt(&ok);
    if (!ok || options.perHost < 0 || options.perHost > kMaxJobs)
        return Usage(QCoreApplication::translate("bildoro-batch", "--per-host needs a number from 0 to %1")
                         .arg(kMaxJobs));
    options.retries = parser.value(retryOpt).toInt(&ok);
    if (!ok || options.retries < 0 || options.retries > 10)
        return Usage(QCoreApplication::translate("bildoro-batch", "--retry needs a number from 0 to 10"));
    options.reportFile = parser.value(reportOpt);
    options.resume = parser.isSet(resumeOpt);
    options.picturesMoved = parser.isSet(picturesMovedOpt);
    if (options.picturesMoved && !options.resume)
        return Usage(QCoreApplication::translate("bildoro-batch", "--pictures-moved needs --resume"));
    if (options.resume && options.reportFile.isEmpty())
        return Usage(QCoreApplication::translate(
            "bildoro-batch", "--resume needs --report FILE (the report of the run to go on with)"));
    options.failedListFile = parser.value(failedListOpt);
    options.compareFile = parser.value(compareOpt);
    options.htmlFile = parser.value(htmlOpt);
    options.changeDistance = parser.value(changeDistanceOpt).toInt(&ok);
    if (!ok || options.changeDistance < 0 || options.changeDistance > 64)
        return Usage(
            QCoreApplication::translate("bildoro-batch", "--change-distance needs a number from 0 to 64"));
    options.groupDistance = parser.value(groupDistanceOpt).toInt(&ok);
    if (!ok || options.groupDistance < 0 || options.groupDistance > 32)
        return Usage(
            QCoreApplication::translate("bildoro-batch", "--group-distance needs a number from 0 to 32"));
    if (parser.isSet(dryOpt))
        return RunDryRun(args[0], parser.value(outOpt), stdout, stderr, options.shard, options.shards);
    return RunBatch(options, stdout, stderr);
}
