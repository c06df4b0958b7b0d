// The road of one list row, shared by the window and bildoro-batch.
#include "row_pipeline.h"

#include "capture_picture.h"

#include "browser_host.h"
#include "devtools_client.h"
#include "int_text.h"
#include "picture_outputs.h"
#include "safe_files.h"
#include "texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <exception>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

// The stages' keys in the order of RowStage; each is also the English text that the translation turns into
// the stage's name.
constexpr const char* kStageKeys[] = {
    QT_TRANSLATE_NOOP("bildoro", "load"),    QT_TRANSLATE_NOOP("bildoro", "capture"),
    QT_TRANSLATE_NOOP("bildoro", "width"),   QT_TRANSLATE_NOOP("bildoro", "reduce"),
    QT_TRANSLATE_NOOP("bildoro", "preview"), QT_TRANSLATE_NOOP("bildoro", "check"),
    QT_TRANSLATE_NOOP("bildoro", "wait")};

}  // namespace

QString RowStageKey(RowStage stage) {
    return QString::fromLatin1(kStageKeys[static_cast<int>(stage)]);
}

QString RowStageName(RowStage stage) {
    return QCoreApplication::translate("bildoro", kStageKeys[static_cast<int>(stage)]);
}

QString OutputPicturePath(const QString& folder, const QString& picture, const QString& extension) {
    return folder + u'/' + picture + u'.' + extension;
}

namespace {

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

QString AddressScheme(const QString& url) {
    // As the browser reads an address: spaces and control characters around it are dropped, and tabs and line
    // breaks anywhere in it, so "java<tab>script:" is "javascript:".
    QString text;
    for (QChar c : url)
        if (c != u'\t' && c != u'\n' && c != u'\r') text += c;
    qsizetype from = 0, to = text.size();
    while (from < to && text[from].unicode() <= 0x20) ++from;
    while (to > from && text[to - 1].unicode() <= 0x20) --to;
    text = text.mid(from, to - from);
    // A scheme is a letter, then letters, digits, "+", "-" or ".", up to the first ":".
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0 || !IsAsciiLetter(text[0].unicode())) return {};
    for (qsizetype i = 1; i < colon; ++i) {
        const char16_t c = text[i].unicode();
        if (!IsAsciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return {};
    }
    return text.left(colon).toLower();
}

QString RefusedAddressReason(const QString& url, bool localFiles) {
    const QString scheme = AddressScheme(url);
    if (scheme == u"file" && !localFiles)
        return QCoreApplication::translate(
            "bildoro", "A local file (file:) is loaded only when local files are allowed (--allow-files)");
    if (scheme == u"http" || scheme == u"https" || scheme == u"file" || scheme == u"data") return {};
    if (scheme == u"about" && url.trimmed().compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0)
        return {};
    if (scheme.isEmpty())
        return QCoreApplication::translate(
            "bildoro",
            "An address without a scheme is not loaded (only http:, https:, file:, data: and about:blank)");
    return QCoreApplication::translate("bildoro",
                                       "An address with the scheme %1: is not loaded (only http:, https:, "
                                       "file:, data: and about:blank)")
        .arg(scheme);
}

QString RefusedPictureNameReason(const QString& picture) {
    for (QChar c : picture)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QCoreApplication::translate("bildoro", "The picture name contains control characters (%1)")
                .arg(c.unicode() == 0 ? QStringLiteral("NUL")
                                      : QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')));
    if (picture.startsWith(u'/'))
        return QCoreApplication::translate(
                   "bildoro", "The picture name \"%1\" starts with \"/\" and leads out of the output folder")
            .arg(picture);
    if (picture.split(u'/').contains(QStringLiteral("..")))
        return QCoreApplication::translate(
                   "bildoro", "The picture name \"%1\" uses \"..\" and leads out of the output folder")
            .arg(picture);
    return {};
}

QString RefusedOutputFolderReason(const QString& folder) {
    if (folder.isEmpty()) return QCoreApplication::translate("bildoro", "No output folder given");
    return {};
}

QString UnwritableOutputFolderReason(const QString& folder, bool mayMake) {
    if (const QString why = RefusedOutputFolderReason(folder); !why.isEmpty()) return why;
    QString at = folder;
    struct stat st {};
    while (::stat(QFile::encodeName(at).constData(), &st) != 0) {
        // ENOTDIR: a part of the path is a file, which the walk up finds.
        if ((errno != ENOENT && errno != ENOTDIR) || !mayMake)
            return errno == ENOENT
                       ? QCoreApplication::translate("bildoro", "The output folder \"%1\" does not exist")
                             .arg(folder)
                       : QCoreApplication::translate("bildoro", "The output folder \"%1\" cannot be used: %2")
                             .arg(folder, SystemErrorText(errno));
        // The nearest parent that exists decides whether the folder can be made.
        const QString parent = QFileInfo(at).dir().path();
        if (parent == at) break;
        at = parent;
    }
    if (!S_ISDIR(st.st_mode))
        return at == folder
                   ? QCoreApplication::translate("bildoro", "The output folder \"%1\" is not a folder")
                         .arg(folder)
                   : QCoreApplication::translate(
                         "bildoro", "The output folder \"%1\" cannot be made: \"%2\" is not a folder")
                         .arg(folder, at);
    if (::access(QFile::encodeName(at).constData(), W_OK | X_OK) != 0)
        return at == folder
                   ? QCoreApplication::translate("bildoro", "The output folder \"%1\" cannot be written: %2")
                         .arg(folder, SystemErrorText(errno))
                   : QCoreApplication::translate("bildoro",
                                                 "The output folder \"%1\" cannot be made in \"%2\": %3")
                         .arg(folder, at, SystemErrorText(errno));
    return {};
}

QString UnusablePictureReason(const QString& folder, const QString& picture) {
    QString why = RefusedOutputFolderReason(folder);
    if (why.isEmpty()) why = RefusedPictureNameReason(picture);
    if (why.isEmpty()) why = PictureFolderEscapeReason(folder, picture);
    return why;
}

namespace {

// The files of a row whose run writes otherwise than one JPEG reduced in place: formats, more widths, the
// kept capture (WritePictureFiles). A failed capture writes nothing.
RowResult WritePictures(CapturedPicture c) {
    RowResult result = c.result;
    const std::optional<int> width = StrToInt32(c.widthText);
    if (!width) {
        result.Fail(RowStage::Width, NotAnIntegerMessage(c.widthText));
        return result;
    }
    if (c.picture.IsEmpty()) return result;
    QElapsedTimer clock;
    clock.start();
    try {
        const WrittenPictures written = WritePictureFiles(c.picture, c.path, *width, *c.options, c.filter);
        result.width = written.width;
        result.height = written.height;
        result.bytes = written.bytes;
        result.files = written.files;
    } catch (const std::bad_alloc&) {
        result.Fail(RowStage::Reduce, QStringLiteral("not enough memory for the pictures"));
    } catch (const std::exception& e) {
        result.Fail(RowStage::Reduce, QString::fromUtf8(e.what()));
    }
    result.reduceMs = clock.nsecsElapsed() / 1e6;
    return result;
}

QString CaptureFailure(const QString& path, const QString& cause) {
    QString why = QCoreApplication::translate("bildoro", "The page could not be saved as \"%1\"").arg(path);
    if (!cause.isEmpty()) why += QStringLiteral(": ") + cause;
    return why;
}

}  // namespace

void CaptureRowPicture(TBrowserHost& host, const RowSettings& settings,
                       std::function<void(CapturedPicture)> done) {
    auto c = std::make_shared<CapturedPicture>();
    // Nothing is written, and nothing of an earlier run touched, for a folder or name that cannot be used.
    if (const QString why = UnusablePictureReason(settings.outputFolder(), settings.pictureName());
        !why.isEmpty()) {
        c->result.Fail(RowStage::Check, why);
        c->reduce = false;
        QTimer::singleShot(0, &host, [c, done] { done(std::move(*c)); });
        return;
    }
    c->options = settings.capture;
    c->path = OutputPicturePath(settings.outputFolder(), settings.pictureName(),
                                c->options ? PictureExtension(c->options->format) : QStringLiteral("jpg"));
    c->widthText = settings.widthText();
    c->filter = settings.filter ? settings.filter() : ThumbnailFilter::Exact;
    QElapsedTimer clock;
    clock.start();
    auto taken = [c, clock, done](TBrowserHost::Capture capture) {
        if (capture.error.isEmpty()) {
            c->picture = std::move(capture.picture);
            c->result.blank = capture.blank;
            c->mayChange = capture.mayChange;
        } else {
            c->result.Fail(RowStage::Capture, CaptureFailure(c->path, capture.error));
            // A screenshot the browser never sent (a machine too busy, a page whose
            // drawing is stuck) may well come in a fresh page.
            c->result.passing = TDevToolsClient::IsNoAnswer(capture.error);
        }
        c->result.captureMs = clock.nsecsElapsed() / 1e6;
        done(std::move(*c));
    };
    // The view at the pages' own scale is the program's own capture; the rest is a shot of its own.
    if (c->options && c->options->OwnShot())
        host.CaptureShot(*c->options, std::move(taken));
    else
        host.CapturePicture(host.Height(), host.Width(), host.Height(), host.Width(), std::move(taken));
}

RowResult WriteAndReduce(CapturedPicture c) {
    RowResult result = c.result;
    if (!c.reduce) return result;
    // From the pixels at hand, before they are written and freed (about 1 ms for a 1024 x 768 view).
    if (result.ok && !c.picture.IsEmpty()) result.fingerprint = PictureFingerprint(c.picture);
    if (c.options && !c.options->PlainWrite()) return WritePictures(std::move(c));
    QElapsedTimer clock;
    clock.start();
    if (!c.picture.IsEmpty()) {
        if (const QString why = WriteCaptureJpeg(c.picture, c.path); !why.isEmpty())
            result.Fail(RowStage::Capture, CaptureFailure(c.path, why));
        c.picture = TBitmap24();  // freed before the reduction takes its own memory
    }
    result.captureMs += clock.nsecsElapsed() / 1e6;
    const std::optional<int> width = StrToInt32(c.widthText);
    if (!width) {
        result.Fail(RowStage::Width, NotAnIntegerMessage(c.widthText));
        return result;
    }
    clock.start();
    try {
        const ShrinkResult shrunk = ShrinkJpegToWidth(c.path, *width, c.filter);
        result.width = shrunk.width;
        result.height = shrunk.height;
        result.bytes = QFileInfo(c.path).size();
        result.files = {c.path};
    } catch (const std::exception& e) {
        result.Fail(RowStage::Reduce, QString::fromUtf8(e.what()));
    }
    result.reduceMs = clock.nsecsElapsed() / 1e6;
    return result;
}
