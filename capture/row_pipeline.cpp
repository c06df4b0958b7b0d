// The road of one list row, shared by the window and bildoro-batch.
#include "row_pipeline.h"

#include "browser_host.h"
#include "int_text.h"
#include "thumbnail.h"

#include <QElapsedTimer>
#include <exception>

QString RowStageName(RowStage stage) {
    switch (stage) {
        case RowStage::Load:
            return QStringLiteral("Laden");
        case RowStage::Capture:
            return QStringLiteral("Aufnahme");
        case RowStage::Width:
            return QStringLiteral("Breite");
        case RowStage::Reduce:
            return QStringLiteral("Verkleinerung");
        case RowStage::Preview:
            return QStringLiteral("Vorschau");
        case RowStage::Check:
            return QStringLiteral("Prüfung");
    }
    return {};
}

QString OutputPicturePath(const QString& folder, const QString& picture) {
    return folder + u'/' + picture + QStringLiteral(".jpg");
}

QString RefusedAddressReason(const QString& url) {
    if (url.trimmed().startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
        return QStringLiteral(
            "Adresse mit Schema javascript: wird nicht geladen (sie lädt keine eigene Seite)");
    return {};
}

RowResult CaptureAndReduce(TBrowserHost& host, const RowSettings& settings) {
    RowResult result;
    QElapsedTimer clock;
    clock.start();
    try {
        const int w = host.Width();
        const int h = host.Height();
        const QString capturePath = OutputPicturePath(settings.outputFolder(), settings.pictureName());
        if (!host.CaptureToJpeg(capturePath, h, w, h, w)) {
            QString why =
                QStringLiteral("Die Seite konnte nicht als \"%1\" gespeichert werden").arg(capturePath);
            const QString cause =
                !host.LastCaptureError().isEmpty() ? host.LastCaptureError() : host.FailureText();
            if (!cause.isEmpty()) why += QStringLiteral(": ") + cause;
            result.Fail(RowStage::Capture, why);
        }
    } catch (const std::exception& e) {
        result.Fail(RowStage::Capture, QString::fromUtf8(e.what()));
    }
    result.captureMs = clock.nsecsElapsed() / 1e6;
    const QString widthText = settings.widthText();
    const std::optional<int> width = StrToInt32(widthText);
    if (!width) {
        result.Fail(RowStage::Width, NotAnIntegerMessage(widthText));
        return result;
    }
    clock.start();
    try {
        ShrinkJpegToWidth(OutputPicturePath(settings.outputFolder(), settings.pictureName()), *width);
    } catch (const std::exception& e) {
        result.Fail(RowStage::Reduce, QString::fromUtf8(e.what()));
    }
    result.reduceMs = clock.nsecsElapsed() / 1e6;
    return result;
}
