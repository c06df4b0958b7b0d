// bildoro-batch --shrink: reduces existing captures in place, as the batch run does after each capture.
#include "commands.h"

#include "int_text.h"
#include "terminal_text.h"
#include "thumbnail.h"

#include <malloc.h>
#include <QFileInfo>
#include <exception>
#include <string>

int RunShrink(const QString& widthText, const QStringList& files, ThumbnailFilter filter, FILE* out,
              FILE* err) {
    const std::optional<int> width = StrToInt32(widthText);
    if (!width) {
        std::fprintf(err, "bildoro-batch: --shrink: %s\n",
                     TerminalText(NotAnIntegerMessage(widthText)).constData());
        return 2;
    }
    if (*width < 1) {
        std::fprintf(err, "bildoro-batch: --shrink: the thumbnail width must be at least 1 pixel, not %d\n",
                     *width);
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
        const QString path = QFileInfo(file).absoluteFilePath();
        std::string failure;
        try {
            const ShrinkResult result = ShrinkJpegToWidth(path, *width, filter);
            switch (result.outcome) {
                case ShrinkResult::Outcome::Reduced:
                    std::fprintf(out, "%s: reduced to %d x %d\n", shown.constData(), result.width,
                                 result.height);
                    break;
                case ShrinkResult::Outcome::NotWider:
                    if (result.width == 0) {
                        failure = "the file is empty";
                        break;
                    }
                    std::fprintf(out, "%s: left unchanged (%d x %d is not wider than %d)\n",
                                 shown.constData(), result.width, result.height, *width);
                    break;
                case ShrinkResult::Outcome::NotRead:
                    failure = result.reason;
                    break;
                case ShrinkResult::Outcome::FolderNotMade:
                    failure = "the folder could not be made; the file is unchanged";
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
