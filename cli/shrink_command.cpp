// bildoro-batch --shrink: reduces existing captures in place, as the batch run does after each capture.
#include "commands.h"

#include "int_text.h"
#include "jpeg_image.h"
#include "mul_div.h"
#include "terminal_text.h"
#include "thumbnail.h"

#include <malloc.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <string>

int RunShrink(const QString& widthText, const QStringList& files, ThumbnailFilter filter, bool dryRun,
              FILE* out, FILE* err) {
    const std::optional<int> width = StrToInt32(widthText);
    if (!width) {
        std::fprintf(err, "bildoro-batch: --shrink: %s\n",
                     TerminalText(NotAnIntegerMessage(widthText)).constData());
        return 2;
    }
    if (*width < 1) {
        std::fprintf(err, "bildoro-batch: --shrink: %s\n",
                     qPrintable(QCoreApplication::translate(
                                    "bildoro-batch", "the thumbnail width must be at least 1 pixel, not %1")
                                    .arg(*width)));
        return 2;
    }

    // Each reduction allocates and frees a few megabytes. Left alone, glibc hands them back to the system
    // after every picture and faults them in again for the next (in a run, the larger capture buffers keep
    // them from going back); on a virtual machine that costs more than the smooth filter's whole reduction.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);

    int failed = 0;
    for (const QString& file : files) {
        const QByteArray shown = TerminalText(file);
        // The reduction splits folder and name at the last "/", so a bare name needs its folder spelled out.
        // A symbolic link the user names stands for its file: that file is reduced and the link kept.
        const QFileInfo info(file);
        const QString path =
            info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
        std::string failure;
        if (dryRun) {
            // Only read: what the reduction would make of the file.
            try {
                TJpegImage jpeg;
                jpeg.LoadFromFile(path);
                if (jpeg.Width() > *width)
                    std::fprintf(
                        out, "%s: %s\n", shown.constData(),
                        qPrintable(QCoreApplication::translate("bildoro-batch",
                                                               "would be reduced to %1 x %2 (dry run)")
                                       .arg(*width)
                                       .arg(std::max(1, MulDiv(*width, jpeg.Height(), jpeg.Width())))));
                else
                    std::fprintf(out, "%s: %s\n", shown.constData(),
                                 qPrintable(QCoreApplication::translate(
                                                "bildoro-batch",
                                                "would be left unchanged (%1 x %2 is not wider than %3)")
                                                .arg(jpeg.Width())
                                                .arg(jpeg.Height())
                                                .arg(*width)));
            } catch (const std::exception& e) {
                ++failed;
                std::fprintf(out, "%s: failed: %s\n", shown.constData(),
                             TerminalText(QString::fromUtf8(e.what())).constData());
            }
            continue;
        }
        try {
            const ShrinkResult result = ShrinkJpegToWidth(path, *width, filter);
            switch (result.outcome) {
                case ShrinkResult::Outcome::Reduced:
                    std::fprintf(out, "%s: %s\n", shown.constData(),
                                 qPrintable(QCoreApplication::translate("bildoro-batch", "reduced to %1 x %2")
                                                .arg(result.width)
                                                .arg(result.height)));
                    break;
                case ShrinkResult::Outcome::NotWider:
                    if (result.width == 0) {
                        failure =
                            QCoreApplication::translate("bildoro-batch", "the file is empty").toStdString();
                        break;
                    }
                    std::fprintf(
                        out, "%s: %s\n", shown.constData(),
                        qPrintable(QCoreApplication::translate(
                                       "bildoro-batch", "left unchanged (%1 x %2 is not wider than %3)")
                                       .arg(result.width)
                                       .arg(result.height)
                                       .arg(*width)));
                    break;
                case ShrinkResult::Outcome::NotRead:
                    failure = result.reason;
                    break;
                case ShrinkResult::Outcome::FolderNotMade:
                    failure = QCoreApplication::translate(
                                  "bildoro-batch", "the folder could not be made; the file is unchanged")
                                  .toStdString();
                    break;
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            ++failed;
            std::fprintf(out, "%s: failed: %s\n", shown.constData(),
                         TerminalText(QString::fromUtf8(failure)).constData());
        }
        std::fflush(out);
    }
    return failed == 0 ? 0 : 1;
}
