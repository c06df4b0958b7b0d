// The picture of a capture: decoded, sized, written.
#include "capture_picture.h"

#include "browser_error.h"
#include "jpeg_image.h"

#include <QImage>
#include <new>
#include <stdexcept>

QString CaptureSizeProblem(int srcHeight, int srcWidth, int dstHeight, int dstWidth) {
    if (srcHeight > 0 && srcWidth > 0 && dstHeight > 0 && dstWidth > 0) return {};
    return QStringLiteral("capture size %1 x %2 to %3 x %4 is not positive")
        .arg(srcWidth)
        .arg(srcHeight)
        .arg(dstWidth)
        .arg(dstHeight);
}

TBitmap24 PictureFromPng(const QByteArray& png) {
    QImage view;
    if (!view.loadFromData(png, "PNG"))
        throw TBrowserError(QStringLiteral("the screenshot is not a PNG picture"));
    return TBitmap24::FromQImage(view);
}

TBitmap24 PictureFromScreenshot(const QByteArray& png, int srcHeight, int srcWidth, int dstHeight,
                                int dstWidth) {
    if (const QString problem = CaptureSizeProblem(srcHeight, srcWidth, dstHeight, dstWidth);
        !problem.isEmpty())
        throw std::invalid_argument(problem.toStdString());
    QImage view;
    if (!view.loadFromData(png, "PNG"))
        throw TBrowserError(QStringLiteral("the screenshot is not a PNG picture"));
    if (view.size() != QSize(srcWidth, srcHeight))
        view = view.scaled(srcWidth, srcHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (view.size() != QSize(dstWidth, dstHeight))
        view = view.scaled(dstWidth, dstHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (view.isNull()) throw std::bad_alloc();
    return TBitmap24::FromQImage(view);
}

QString WriteCaptureJpeg(const TBitmap24& picture, const QString& fileName) {
    try {
        TJpegImage jpeg;  // quality 90, baseline, colour
        jpeg.Assign(picture);
        jpeg.SaveToFile(fileName);
        return {};
    } catch (const std::bad_alloc&) {
        return QStringLiteral("not enough memory for the capture");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown failure");
    }
}
