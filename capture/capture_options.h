// TCaptureOptions: how the pages of a run are captured and written beyond the view's size and the thumbnail
// width (when to shoot, who is asking, what to shoot, what to write), and the readers of their texts.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

enum class PictureFormat { Jpeg, Png, Webp };

// A cookie sent with the pages' requests.
struct TCookie {
    QString name;
    QString value;
    QString domain;  // empty: the row's own site, whatever it is; ".example.com": its subdomains too
    QString path = QStringLiteral("/");
    bool secure = false;
    bool httpOnly = false;
    qint64 expires = 0;  // seconds since 1970; 0 for the browser's session

    bool operator==(const TCookie&) const = default;
};

// The defaults are the program's own picture: the top of the page in the view, at load plus the settle wait,
// as the browser asks by itself, one JPEG of quality 75.
struct TCaptureOptions {
    // When to shoot: after the page is ready, until an element matching waitFor (CSS) exists and is visible
    // (within the row's bound), then delayMs more.
    QString waitFor;
    int delayMs = 0;

    // Who is asking. Headers go with every request of the pages; cookies without a domain go to each row's
    // own site, the others only to theirs; userAgent replaces the whole text the browser sends; the
    // credentials answer HTTP authentication of each row's own site only; the proxy carries the browser's
    // every request.
    QList<QPair<QString, QString>> headers;
    QList<TCookie> cookies;
    QString cookieFile;  // the file the cookies with a domain came from, if any (its name only)
    QString userAgent;
    std::optional<QPair<QString, QString>> credentials;  // user, password
    QString proxy;

    // What to shoot: the whole page down to maxHeight CSS pixels, or the first element matching `element`;
    // the elements matching `hide` hidden first; scale device pixels per CSS pixel; a phone (kMobileWidth x
    // kMobileHeight CSS pixels, scale kMobileScale, touch, a mobile user agent); the dark colour scheme.
    bool fullPage = false;
    int maxHeight = 16384;
    QString element;
    QStringList hide;
    double scale = 0;  // 0: not given
    bool mobile = false;
    bool dark = false;

    // What to write: the thumbnail's format and quality (JPEG and WebP), more thumbnails of other widths
    // beside it (NAME.W.ext), and the full-size capture kept as NAME.full.ext.
    PictureFormat format = PictureFormat::Jpeg;
    int quality = 75;
    QList<int> widths;
    bool keepCapture = false;

    bool operator==(const TCaptureOptions&) const = default;

    // True when the pictures are written as the program always wrote them: one JPEG of quality 75, reduced
    // in place from the capture.
    bool PlainWrite() const {
        return format == PictureFormat::Jpeg && quality == 75 && widths.isEmpty() && !keepCapture;
    }
    // True when the picture is not the view at scale 1: the whole page, an element, or a scale of its own.
    bool OwnShot() const { return fullPage || !element.isEmpty() || DeviceScale() != 1; }
    // True when something is done between the page's being ready and its capture (wait, pause, hide).
    bool StepsBeforeCapture() const { return !waitFor.isEmpty() || delayMs > 0 || !hide.isEmpty(); }
    // What each row writes beside its picture, as "<picture>.<variant>": the widths, "full".
    QStringList Variants() const;
    // The scale the page is drawn at: the one given, else a phone's when mobile, else 1.
    double DeviceScale() const;
};

// A phone's view.
constexpr int kMobileWidth = 390;
constexpr int kMobileHeight = 844;
constexpr double kMobileScale = 3;

// Bounds of the values.
constexpr double kMaxScale = 4;
constexpr int kMaxDelayMs = 600000;
constexpr int kMaxFullPageHeight = 16384 * 4;

// "jpeg" (also "jpg"), "png", "webp", as written on the command line; nothing for any other text.
std::optional<PictureFormat> PictureFormatOfText(const QString& text);
// The file extension of a format, without the dot: "jpg", "png", "webp".
QString PictureExtension(PictureFormat format);
QString PictureFormatName(PictureFormat format);  // "jpeg", "png", "webp"

// Each reader returns why the text cannot be used (empty when it can) and fills the value.
// "Name: value": a header name of token characters, a value without line breaks or other control characters.
QString ReadHeader(const QString& text, QPair<QString, QString>& header);
// "NAME=VALUE" for the rows' own sites.
QString ReadCookie(const QString& text, TCookie& cookie);
// A cookie file in the format browsers' export add-ons, curl and wget write (Netscape cookies.txt): one
// cookie per line, seven fields separated by tabs (domain, subdomains too, path, secure, expiry, name,
// value); "#" lines are comments except "#HttpOnly_" before a domain. `source` names the file in the reasons.
QString ReadCookieFile(const QByteArray& content, const QString& source, QList<TCookie>& cookies);
// The same, of the file at `path` (at most 64 MiB).
QString ReadCookieFileAt(const QString& path, QList<TCookie>& cookies);
// "USER:PASSWORD" (the password may hold ':').
QString ReadCredentials(const QString& text, QPair<QString, QString>& credentials);
// A proxy address: http://, https:// or socks5:// with a host and a port.
QString ProxyProblem(const QString& text);
// "W1,W2,...": widths of at least 1 pixel, each once.
QString ReadWidths(const QString& text, QList<int>& widths);
// Why a text cannot be a CSS selector as far as can be told without a page: empty, too long, control
// characters, brackets or quotes that do not close, or characters that end a selector ("{", "}", ";").
QString SelectorProblem(const QString& text);

// A user agent of a phone made from the browser's own: the platform in its parentheses becomes Android's,
// and "Safari/" becomes "Mobile Safari/".
QString MobileUserAgent(const QString& desktopUserAgent);
