// bildoro-batch's options of when to shoot, who is asking, what to shoot and what to write.
#include "capture_args.h"

#include <QCoreApplication>
#include <cmath>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("bildoro-batch", text);
}

QCommandLineOption Option(const char* name, const char* help, const char* value = nullptr,
                          const char* byDefault = nullptr) {
    QCommandLineOption o(QString::fromLatin1(name), Tr(help));
    if (value) o.setValueName(QString::fromLatin1(value));
    if (byDefault) o.setDefaultValue(QString::fromLatin1(byDefault));
    return o;
}

// A whole number from `low` to `high`, or nothing.
std::optional<int> Number(const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}

}  // namespace

QList<QCommandLineOption> CaptureOptionDefinitions() {
    return {
        Option("wait-for",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "After the load, wait until an element matching the CSS selector "
                                 "is there and visible (within the row's timeout)."),
               "SELECTOR"),
        Option("delay",
               QT_TRANSLATE_NOOP("bildoro-batch", "Wait this long after the page is ready, in milliseconds."),
               "MS", "0"),
        Option("header",
               QT_TRANSLATE_NOOP("bildoro-batch", "Send this header with every request (repeatable)."),
               "\"Name: value\""),
        Option("cookie",
               QT_TRANSLATE_NOOP("bildoro-batch", "Send this cookie to every row's site (repeatable)."),
               "NAME=VALUE"),
        Option("cookies",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "Send the cookies of a cookies.txt file (Netscape format), each to "
                                 "its own domain."),
               "FILE"),
        Option("user-agent", QT_TRANSLATE_NOOP("bildoro-batch", "The whole user agent the pages see."),
               "TEXT"),
        Option("auth",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "Answer HTTP authentication of each row's own site with these "
                                 "credentials."),
               "USER:PASSWORD"),
        Option("proxy",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "Send every request through this proxy (http, https or socks5)."),
               "URL"),
        Option("full-page", QT_TRANSLATE_NOOP("bildoro-batch",
                                              "Capture the whole height of the page, up to --max-height.")),
        Option("max-height",
               QT_TRANSLATE_NOOP("bildoro-batch", "The tallest full page, in CSS pixels (default 16384)."),
               "PIXELS", "16384"),
        Option(
            "element",
            QT_TRANSLATE_NOOP("bildoro-batch", "Capture only the first element matching the CSS selector."),
            "SELECTOR"),
        Option("hide",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "Hide the elements matching the selector before the capture (repeatable)."),
               "SELECTOR"),
        Option("scale",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "Device pixels per CSS pixel, 1 to 4 (a high-density screen)."),
               "F"),
        Option("mobile",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "A phone instead of the desktop view: 390 x 844 CSS pixels, scale 3, "
                                 "touch, a mobile user agent.")),
        Option("dark", QT_TRANSLATE_NOOP("bildoro-batch", "The pages see prefers-color-scheme: dark.")),
        Option("format",
               QT_TRANSLATE_NOOP("bildoro-batch", "Format of the thumbnails: jpeg (default), png or webp."),
               "jpeg|png|webp", "jpeg"),
        Option(
            "quality",
            QT_TRANSLATE_NOOP("bildoro-batch", "Quality of JPEG and WebP thumbnails, 1 to 100 (default 75)."),
            "N", "75"),
        Option("widths",
               QT_TRANSLATE_NOOP("bildoro-batch",
                                 "More thumbnails of these widths from the same capture, as NAME.W.ext."),
               "W1,W2,..."),
        Option("keep-capture",
               QT_TRANSLATE_NOOP("bildoro-batch", "Keep the full-size capture as NAME.full.ext.")),
    };
}

QString ReadCaptureOptions(const QCommandLineParser& parser, TCaptureOptions& o) {
    auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };

    for (const char* name : {"wait-for", "element"})
        if (isSet(name))
            if (const QString why = SelectorProblem(value(name)); !why.isEmpty())
                return QStringLiteral("--%1: ").arg(QLatin1String(name)) + why;
    o.waitFor = value("wait-for");
    o.element = value("element");
    for (const QString& s : parser.values(QStringLiteral("hide"))) {
        if (const QString why = SelectorProblem(s); !why.isEmpty()) return QStringLiteral("--hide: ") + why;
        o.hide << s;
    }
    const std::optional<int> delay = Number(value("delay"), 0, kMaxDelayMs);
    if (!delay) return Tr("--delay needs a number of milliseconds from 0 to %1").arg(kMaxDelayMs);
    o.delayMs = *delay;

    for (const QString& h : parser.values(QStringLiteral("header"))) {
        QPair<QString, QString> header;
        if (const QString why = ReadHeader(h, header); !why.isEmpty())
            return QStringLiteral("--header: ") + why;
        o.headers << header;
    }
    for (const QString& c : parser.values(QStringLiteral("cookie"))) {
        TCookie cookie;
        if (const QString why = ReadCookie(c, cookie); !why.isEmpty())
            return QStringLiteral("--cookie: ") + why;
        o.cookies << cookie;
    }
    if (isSet("cookies"))
        if (const QString why = ReadCookieFileAt(value("cookies"), o.cookies); !why.isEmpty())
            return QStringLiteral("--cookies: ") + why;
    if (isSet("user-agent")) {
        o.userAgent = value("user-agent");
        if (o.userAgent.trimmed().isEmpty() || o.userAgent.contains(u'\n') || o.userAgent.contains(u'\r'))
            return Tr("--user-agent needs a text of one line");
    }
    if (isSet("auth")) {
        QPair<QString, QString> credentials;
        if (const QString why = ReadCredentials(value("auth"), credentials); !why.isEmpty())
            return QStringLiteral("--auth: ") + why;
        o.credentials = credentials;
    }
    if (isSet("proxy")) {
        if (const QString why = ProxyProblem(value("proxy")); !why.isEmpty())
            return QStringLiteral("--proxy: ") + why;
        o.proxy = value("proxy");
    }

    o.fullPage = isSet("full-page");
    const std::optional<int> maxHeight = Number(value("max-height"), 1, kMaxFullPageHeight);
    if (!maxHeight) return Tr("--max-height needs a number of pixels from 1 to %1").arg(kMaxFullPageHeight);
    o.maxHeight = *maxHeight;
    if (o.fullPage && !o.element.isEmpty()) return Tr("--full-page and --element cannot go together");
    if (isSet("scale")) {
        bool ok = false;
        o.scale = value("scale").toDouble(&ok);
        if (!ok || !std::isfinite(o.scale) || o.scale < 1 || o.scale > kMaxScale)
            return Tr("--scale needs a number from 1 to %1").arg(kMaxScale);
    }
    o.mobile = isSet("mobile");
    o.dark = isSet("dark");

    const std::optional<PictureFormat> format = PictureFormatOfText(value("format"));
    if (!format) return Tr("unknown format '%1' (jpeg, png or webp)").arg(value("format"));
    o.format = *format;
    const std::optional<int> quality = Number(value("quality"), 1, 100);
    if (!quality) return Tr("--quality needs a number from 1 to 100");
    o.quality = *quality;
    if (isSet("widths"))
        if (const QString why = ReadWidths(value("widths"), o.widths); !why.isEmpty())
            return QStringLiteral("--widths: ") + why;
    o.keepCapture = isSet("keep-capture");
    return {};
}
