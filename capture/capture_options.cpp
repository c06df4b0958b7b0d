// How the pages of a run are captured and written, and the readers of the options' texts.
#include "capture_options.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("bildoro", text);
}

bool HasControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}

// RFC 9110 token characters (header and cookie names).
bool IsToken(const QString& text) {
    static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
    return token.match(text).hasMatch();
}

}  // namespace

QStringList TCaptureOptions::Variants() const {
    QStringList variants;
    for (int width : widths) variants << QString::number(width);
    if (keepCapture) variants << QStringLiteral("full");
    return variants;
}

double TCaptureOptions::DeviceScale() const {
    if (scale > 0) return scale;
    return mobile ? kMobileScale : 1;
}

std::optional<PictureFormat> PictureFormatOfText(const QString& text) {
    const QString t = text.toLower();
    if (t == u"jpeg" || t == u"jpg") return PictureFormat::Jpeg;
    if (t == u"png") return PictureFormat::Png;
    if (t == u"webp") return PictureFormat::Webp;
    return std::nullopt;
}

QString PictureExtension(PictureFormat format) {
    switch (format) {
        case PictureFormat::Png:
            return QStringLiteral("png");
        case PictureFormat::Webp:
            return QStringLiteral("webp");
        case PictureFormat::Jpeg:
            break;
    }
    return QStringLiteral("jpg");
}

QString PictureFormatName(PictureFormat format) {
    return format == PictureFormat::Jpeg ? QStringLiteral("jpeg") : PictureExtension(format);
}

QString ReadHeader(const QString& text, QPair<QString, QString>& header) {
    const qsizetype colon = text.indexOf(u':');
    const QString name = text.left(colon).trimmed();
    const QString value = colon < 0 ? QString() : text.mid(colon + 1).trimmed();
    if (colon < 0 || !IsToken(name))
        return Tr(
            "A header is not of the form \"Name: value\" (its text is not repeated here: it may hold a "
            "secret)");
    // A line break would end the header and begin another one of the page's choosing.
    if (HasControl(value))
        return Tr("The header \"%1\" holds a line break or other control character").arg(name);
    header = {name, value};
    return {};
}

QString ReadCookie(const QString& text, TCookie& cookie) {
    const qsizetype equals = text.indexOf(u'=');
    cookie = TCookie{};
    cookie.name = text.left(equals);
    cookie.value = text.mid(equals + 1);
    if (equals < 1 || !IsToken(cookie.name))
        return Tr(
            "A cookie is not of the form NAME=VALUE (its text is not repeated here: it may hold a secret)");
    if (HasControl(cookie.value) || cookie.value.contains(u';'))
        return Tr("The cookie %1 holds a \";\" or a control character").arg(cookie.name);
    return {};
}

QString ReadCookieFile(const QByteArray& content, const QString& source, QList<TCookie>& cookies) {
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines[i]);
        if (line.endsWith(u'\r')) line.chop(1);
        bool httpOnly = false;
        if (line.startsWith(QLatin1String("#HttpOnly_"))) {
            httpOnly = true;
            line = line.mid(10);
        } else if (line.trimmed().isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const QStringList f = line.split(u'\t');
        bool expiresOk = false;
        TCookie c;
        if (f.size() == 7) {
            c.domain = f[0].trimmed();
            c.path = f[2].isEmpty() ? QStringLiteral("/") : f[2];
            c.secure = f[3].compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
            c.expires = f[4].toLongLong(&expiresOk);
            c.name = f[5];
            c.value = f[6];
            c.httpOnly = httpOnly;
            // "Subdomains too" is said by the domain's leading dot as the browser reads it.
            const bool subdomains = f[1].compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
            if (subdomains && !c.domain.startsWith(u'.')) c.domain.prepend(u'.');
            if (!subdomains && c.domain.startsWith(u'.')) c.domain.remove(0, 1);
        }
        if (!expiresOk || c.domain.size() < 2 || !IsToken(c.name) || HasControl(c.value) ||
            HasControl(c.domain) || !c.path.startsWith(u'/'))
            return Tr("%1, line %2: not a cookie line (domain, subdomains, path, secure, expiry, name and "
                      "value, "
                      "separated by tabs)")
                .arg(source)
                .arg(i + 1);
        cookies.append(c);
    }
    return {};
}

QString ReadCookieFileAt(const QString& path, QList<TCookie>& cookies) {
    // Read as a stream, so that a pipe (a shell's <(...)) serves as well as a file.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024)
        return Tr("\"%1\" cannot be read: %2")
            .arg(path, file.isOpen() ? Tr("larger than 64 MiB") : file.errorString());
    return ReadCookieFile(file.readAll(), path, cookies);
}

QString ReadCredentials(const QString& text, QPair<QString, QString>& credentials) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1) return Tr("The credentials are not of the form USER:PASSWORD");
    credentials = {text.left(colon), text.mid(colon + 1)};
    if (HasControl(text)) return Tr("The credentials hold a control character");
    return {};
}

QString ProxyProblem(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || url.port() < 1 ||
        (scheme != u"http" && scheme != u"https" && scheme != u"socks5") || !url.userInfo().isEmpty() ||
        (url.path() != u"" && url.path() != u"/") || url.hasQuery() || url.hasFragment())
        // Not repeated: a user and password in it would be shown.
        return Tr(
            "The proxy is not an address of the form http://, https:// or socks5:// with a host and a "
            "port, and no user or password");
    return {};
}

QString ReadWidths(const QString& text, QList<int>& widths) {
    QSet<int> seen;
    widths.clear();
    for (const QString& part : text.split(u',')) {
        bool ok = false;
        const int width = part.trimmed().toInt(&ok);
        if (!ok || width < 1 || width > 100000)
            return Tr("\"%1\" is not a list of widths in pixels (for example 160,640)").arg(text.left(200));
        if (seen.contains(width)) return Tr("The width %1 is given twice").arg(width);
        seen.insert(width);
        widths.append(width);
    }
    return {};
}

QString SelectorProblem(const QString& text) {
    if (text.trimmed().isEmpty()) return Tr("An empty selector selects nothing");
    if (text.size() > 1000) return Tr("The selector is longer than 1000 characters");
    if (HasControl(text)) return Tr("The selector \"%1\" holds a control character").arg(text.left(200));
    // Brackets and quotes, as CSS reads them: a backslash escapes the next character.
    QString open;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'(' || c == u'[') {
            open.append(c);
        } else if (c == u')' || c == u']') {
            if (open.isEmpty() || open.back() != (c == u')' ? u'(' : u'['))
                return Tr("\"%1\" is not a CSS selector: \"%2\" closes nothing").arg(text.left(200), c);
            open.chop(1);
        } else if (c == u'{' || c == u'}' || c == u';' || c == u'<' || c == u'!') {
            return Tr("\"%1\" is not a CSS selector: \"%2\" has no place in one").arg(text.left(200), c);
        }
    }
    if (!quote.isNull() || !open.isEmpty())
        return Tr("\"%1\" is not a CSS selector: a bracket or quote does not close").arg(text.left(200));
    const QString t = text.trimmed();
    if (t.endsWith(u',') || t.startsWith(u',') || t.endsWith(u'>') || t.endsWith(u'+') || t.endsWith(u'~'))
        return Tr("\"%1\" is not a CSS selector: it ends in the middle").arg(text.left(200));
    return {};
}

QString MobileUserAgent(const QString& desktopUserAgent) {
    QString ua = desktopUserAgent;
    const qsizetype open = ua.indexOf(u'(');
    const qsizetype close = open < 0 ? -1 : ua.indexOf(u')', open);
    if (close > open) ua.replace(open + 1, close - open - 1, QStringLiteral("Linux; Android 10; K"));
    if (!ua.contains(QLatin1String("Mobile Safari/")))
        ua.replace(QLatin1String("Safari/"), QLatin1String("Mobile Safari/"));
    return ua;
}
