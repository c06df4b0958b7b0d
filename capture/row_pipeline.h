// The road of one list row, shared by the window and bildoro-batch: load the page, wait until it is
// complete (bounded), capture the view to folder/picture.jpg, reduce that file to the thumbnail width.
#pragma once

#include "bitmap24.h"
#include "bounds.h"
#include "capture_options.h"
#include "picture_fingerprint.h"
#include "thumbnail.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class TBrowserHost;

enum class RowStage { Load, Capture, Width, Reduce, Preview, Check, Wait };

// Name of a stage in the texts' language ("load", in German "Laden"), and its key for files read by programs
// ("load", "capture", "width", "reduce", "preview", "check", "wait"), the same in every language. The wait is
// the one for an element a run asks to appear before its capture.
QString RowStageName(RowStage stage);
QString RowStageKey(RowStage stage);

// The outcome of one row. The first failure is kept; later steps may still run (the capture of an old
// file is reduced and shown, as a browser left on an earlier page would be).
struct RowResult {
    bool ok = true;
    RowStage stage = RowStage::Load;
    QString reason;
    bool timedOut = false;  // the page was not complete within the bound and was captured as far as it got
    double captureMs = 0;   // wall time of the capture to the file, in milliseconds
    double reduceMs = 0;    // wall time of the reduction to the thumbnail width, in milliseconds
    double loadMs = 0;      // wall time from the navigation to complete (or to the end of the bound)
    bool passing = false;   // failed for a reason that may pass when the row is tried again
    int httpStatus = 0;     // of the top document; 0 when none came
    QString finalUrl;       // the top document's address when it was captured (after redirects)
    QString title;          // the top document's title
    qint64 bytes = 0;       // size of the picture file written
    int width = 0;          // size of the picture in that file
    int height = 0;
    bool blank = false;           // the picture shows one colour only: nothing was drawn
    QString consentPlatform;      // the consent dialog's platform found on the page; empty when none
    bool consentHandled = false;  // that dialog was refused or hidden before the capture
    QStringList files;            // every file written for the row, the thumbnail first
    std::optional<TFingerprint> fingerprint;  // of the captured picture, when one was taken and written

    void Fail(RowStage where, const QString& why) {
        if (!ok) return;
        ok = false;
        stage = where;
        reason = why;
    }
};

// Output picture path: the folder text, "/", the picture name, "." and the extension, joined as they stand.
QString OutputPicturePath(const QString& folder, const QString& picture,
                          const QString& extension = QStringLiteral("jpg"));

// The scheme of an address in lower case ("http"), read as the browser reads it; empty when it has none.
QString AddressScheme(const QString& url);

// Why a row's address is not given to the browser, or an empty text. Loaded are http:, https:, file: and
// data: pages (a data: page is a document of its own with an origin of its own: it can read no local file and
// no earlier row's document), and about:blank. Everything else is refused: javascript: would run in the
// document an earlier row left in the view, the browser's own pages (chrome:, devtools:, view-source:, ...)
// reach into the browser, and blob: or filesystem: addresses name what another page made. Without
// `localFiles`, file: is refused too: a list from others must not make the user publish a picture of a
// local file.
QString RefusedAddressReason(const QString& url, bool localFiles = true);

// Why a picture name cannot be used, or an empty text: every picture stays beneath the output folder. A name
// may name a subfolder ("shots/news"); a ".." part, a leading "/", and NUL or other control characters are
// refused.
QString RefusedPictureNameReason(const QString& picture);

// Why an output folder text cannot be used, or an empty text: an empty text would put the pictures into the
// file system's root.
QString RefusedOutputFolderReason(const QString& folder);

// Why no picture can be written into `folder`, or an empty text: it is no folder, or it cannot be written.
// A folder that does not exist is a reason too, unless `mayMake` and its nearest existing parent is a folder
// that can be written (the run makes it). Looks only; makes and writes nothing.
QString UnwritableOutputFolderReason(const QString& folder, bool mayMake);

// The first of the three reasons above, and of a subfolder of the picture that leads out of the folder
// through a symbolic link; an empty text when the picture can be written.
QString UnusablePictureReason(const QString& folder, const QString& picture);

// Settings the row reads at the moment of use (the window's fields may change during the wait).
struct RowSettings {
    std::function<QString()> outputFolder;
    std::function<QString()> pictureName;
    std::function<QString()> widthText;
    std::function<ThumbnailFilter()> filter;  // read when the row is reduced; Exact when not given
    QString refusal;  // when set, the row fails with it at the check stage, before its page loads
    // When to shoot, what to shoot and what to write (the program's own picture when not given).
    std::shared_ptr<const TCaptureOptions> capture;
};

// The steps after the wait, in two parts, so that the second may run on another thread while the page goes on
// to its next row: the picture with all that is read of the host and the settings (capture the view at its
// current size), then the file written at quality 90 to the output path and reduced in place to the width
// text's width. Neither throws; a failure ends the row at its stage (the capture's failure does not: an older
// file of that name is still reduced, as the window always did, but the row counts as failed).
struct CapturedPicture {
    RowResult result;        // the capture's outcome so far: a failure, blank, captureMs
    TBitmap24 picture;       // empty when the capture failed (an older file of the name is still reduced)
    bool reduce = true;      // false when nothing may be written or reduced at all
    bool mayChange = false;  // a blank picture's page may still draw: worth capturing again
    QString path;            // folder/picture.jpg
    QString widthText;
    ThumbnailFilter filter = ThumbnailFilter::Exact;
    std::shared_ptr<const TCaptureOptions> options;  // what to write; one JPEG reduced in place when null
};
// Captures the row's picture and calls done with it (from the event loop, never before returning; only while
// the host lives).
void CaptureRowPicture(TBrowserHost& host, const RowSettings& settings,
                       std::function<void(CapturedPicture)> done);
RowResult WriteAndReduce(CapturedPicture captured);
