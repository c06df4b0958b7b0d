// The hand-written packaging/bildoro.svg against the icon the program paints: same shapes, colours, places.
#include "icons.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QXmlStreamReader>

namespace {

constexpr int kSize = 256;  // large enough that a shape moved by one unit of the 64-unit grid moves 4 pixels

QImage Blank() {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Paints the SVG's <rect> elements in document order, as an SVG renderer would. Anything else the file might
// hold would not be compared, so it fails the test instead.
QImage PaintSvgRects(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1").arg(path);
        return {};
    }
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(kSize / 64.0, kSize / 64.0);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        const auto text = [&](const char* key) { return attributes.value(QLatin1String(key)).toString(); };
        const auto has = [&](const char* key) { return attributes.hasAttribute(QLatin1String(key)); };
        const auto num = [&](const char* key) { return text(key).toDouble(); };
        if (name == u"svg") {
            if (text("viewBox") != u"0 0 64 64") error = QStringLiteral("the viewBox is not 0 0 64 64");
            continue;
        }
        if (name == u"title") {
            xml.skipCurrentElement();
            continue;
        }
        if (name != u"rect") {
            error = QStringLiteral("element <%1> is not compared").arg(name);
            return {};
        }
        const QString stroke = text("stroke");
        if (stroke.isEmpty() || stroke == u"none")
            p.setPen(Qt::NoPen);
        else
            p.setPen(QPen(QColor(stroke), has("stroke-width") ? num("stroke-width") : 1));
        p.setBrush(QColor(text("fill")));
        const QRectF r(num("x"), num("y"), num("width"), num("height"));
        if (has("rx"))
            p.drawRoundedRect(r, num("rx"), has("ry") ? num("ry") : num("rx"));
        else
            p.drawRect(r);
    }
    if (xml.hasError()) error = xml.errorString();
    return image;
}

}  // namespace

TEST(IconSvgTest, TheSvgDrawsThePaintedIcon) {
    QString error;
    const QImage svg = PaintSvgRects(QStringLiteral(BILDORO_SOURCE_DIR "/packaging/bildoro.svg"), error);
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);

    QImage painted = Blank();
    {
        QPainter p(&painted);
        p.setRenderHint(QPainter::Antialiasing, true);
        PaintApplicationIcon(p, kSize);
    }
    int differing = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (svg.pixel(x, y) != painted.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0) << "of " << kSize * kSize << " pixels";
}

// The window's icon (64 pixels) is the same picture as the installed 64-pixel file.
TEST(IconSvgTest, TheWindowIconIsThePaintedIcon) {
    const QImage window = ApplicationIcon().pixmap(64, 64).toImage().convertToFormat(QImage::Format_ARGB32);
    QImage painted(64, 64, QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    {
        QPainter p(&painted);
        p.setRenderHint(QPainter::Antialiasing, true);
        PaintApplicationIcon(p, 64);
    }
    EXPECT_EQ(window, painted.convertToFormat(QImage::Format_ARGB32));
}
