// Pages the browser tests serve: plain documents, solid colours, pictures, and the hostile pages of the web
// (endless scripts, dialog loops, refreshes without end, downloads, documents that never come).
#pragma once

#include "local_http_server.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

inline QByteArray Page(const QByteArray& body, const QByteArray& head = {}) {
    return "<!doctype html><html><head><meta charset='utf-8'>" + head + "</head><body>" + body +
           "</body></html>";
}

// A page of one colour edge to edge, with a line of white text at the top that does not reach the centre
// (enough of it that the thumbnail is not taken for a blank page, unless the colour is white).
inline QByteArray ColourPage(const QByteArray& colour) {
    return Page("<p style='color:white;font-size:32px'>xxxxxxxx</p>",
                "<style>body{margin:0;background:" + colour + "}</style>");
}

// One-pixel black and white stripes edge to edge: what a reduction either averages or breaks up.
inline QByteArray StripesPage() {
    return Page("",
                "<style>html,body{margin:0;height:100%;background:repeating-linear-gradient(90deg,#000 0 1px,"
                "#fff 1px 2px)}</style>");
}

inline QByteArray PngOf(QColor colour, QSize size = QSize(64, 48)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

// One hostile page of the web, served at `path`: whatever it does, its row must end within its bound, ok or
// failed with a reason, and the rows after it must not notice.
struct HostilePage {
    QString path;
    const char* what;
};

// Adds the hostile pages to the server and returns them. The last image, the document and the first byte that
// come late or never are the server's doing; the rest is the page's.
inline QList<HostilePage> AddHostilePages(LocalHttpServer& s) {
    s.AddRoute(QStringLiteral("/h/loop"), Page("<script>while(true){}</script>"));
    s.AddRoute(QStringLiteral("/h/loop-after-load"),
               Page("<p>x</p><script>onload=()=>setTimeout(()=>{for(;;){}},0)</script>"));
    s.AddRoute(QStringLiteral("/h/alerts"), Page("<script>for(;;)alert('x')</script>"));
    s.AddRoute(QStringLiteral("/h/confirms"), Page("<script>for(;;){confirm('x');prompt('y')}</script>"));
    s.AddRoute(
        QStringLiteral("/h/beforeunload"),
        Page("<p>x</p><script>onbeforeunload=e=>{e.preventDefault();return e.returnValue='x'}</script>"));
    s.AddRoute(
        QStringLiteral("/h/unload-spin"),
        Page("<p>x</p><script>const spin = () => { const t = Date.now(); while (Date.now() - t < 15000) {} };"
             "addEventListener('pagehide', spin); addEventListener('unload', spin);</script>"));
    s.AddRoute(QStringLiteral("/h/refresh"), Page("<p>x</p>", "<meta http-equiv=refresh content=0>"));
    s.AddRoute(QStringLiteral("/h/reload"), Page("<script>onload=()=>location.reload()</script>"));
    s.AddRoute(QStringLiteral("/h/popups"),
               Page("<script>for(let i=0;i<200;i++)window.open('about:blank#'+i)</script>"));
    s.AddRoute(QStringLiteral("/h/download"), QByteArray(100000, 'x'), "application/octet-stream");
    s.SetHeaders(QStringLiteral("/h/download"), "Content-Disposition: attachment; filename=x.bin\r\n");
    s.AddNeverAnswering(QStringLiteral("/h/never-doc"));
    s.AddBodyNeverComing(QStringLiteral("/h/never-body"));
    s.AddNeverAnswering(QStringLiteral("/h/never.png"));
    s.AddRoute(QStringLiteral("/h/last-image"), Page("<p>x</p><img src='/h/never.png'>"));
    for (int i = 0; i < 30; ++i) {
        s.AddRoute(QStringLiteral("/h/redirect%1").arg(i), {}, "text/html", 0, 302);
        s.SetHeaders(QStringLiteral("/h/redirect%1").arg(i),
                     "Location: /h/redirect" + QByteArray::number(i + 1) + "\r\n");
    }
    s.AddRoute(QStringLiteral("/h/204"), {}, "text/html", 0, 204);
    s.AddRoute(QStringLiteral("/h/500"), ColourPage("#400040"), "text/html", 0, 500);
    s.AddRoute(QStringLiteral("/h/slow-first-byte"), ColourPage("#804000"), "text/html", 1500);
    // Every way a page (its own scripts, its unload handler, a frame of another site) might reach the channel
    // of the consent rule library: a forged platform, a message of 8 MB, a flood of "init".
    const QByteArray forge =
        "<script>const forge = (w) => { const m = JSON.stringify({type: 'popupFound', cmp: "
        "'FORGED\\x1b[2J'});"
        "for (const f of [w.__bildoroConsent, w.autoconsentSendMessage, w.autoconsentReceiveMessage])"
        "  if (typeof f === 'function') try { f(m); f('x'.repeat(8 << 20));"
        "    for (let i = 0; i < 5000; i++) f(JSON.stringify({type: 'init', url: location.href})); } catch "
        "(e) {} };"
        "forge(window); addEventListener('pagehide', () => forge(window));"
        "try { forge(parent); } catch (e) {}</script>";
    s.AddRoute(QStringLiteral("/h/forge-frame"), Page("<p>frame</p>" + forge));
    s.AddRoute(QStringLiteral("/h/forge"),
               Page("<p>x</p><iframe src='http://localhost:" + QByteArray::number(s.Port()) +
                    "/h/forge-frame'></iframe>" + forge));
    return {
        {QStringLiteral("/h/loop"), "endless script loop"},
        {QStringLiteral("/h/loop-after-load"), "endless loop after the load event"},
        {QStringLiteral("/h/alerts"), "alert loop"},
        {QStringLiteral("/h/confirms"), "confirm and prompt loop"},
        {QStringLiteral("/h/beforeunload"), "beforeunload handler"},
        {QStringLiteral("/h/unload-spin"), "unload handler that runs for 15 s"},
        {QStringLiteral("/h/refresh"), "endless refresh"},
        {QStringLiteral("/h/reload"), "endless reload by script"},
        {QStringLiteral("/h/popups"), "popup storm"},
        {QStringLiteral("/h/download"), "download"},
        {QStringLiteral("/h/never-doc"), "document that never arrives"},
        {QStringLiteral("/h/never-body"), "document whose body never arrives"},
        {QStringLiteral("/h/last-image"), "last image that never arrives"},
        {QStringLiteral("/h/redirect0"), "30-step redirect chain"},
        {QStringLiteral("/h/204"), "204 without content"},
        {QStringLiteral("/h/500"), "500 with a body"},
        {QStringLiteral("/h/slow-first-byte"), "slow first byte"},
        {QStringLiteral("/h/forge"), "forged messages of the consent library"},
    };
}

// A colour per normal row, far enough from each other and from the hostile pages' own to tell apart after
// JPEG loss.
inline QColor RowColour(int i) {
    return QColor::fromHsv((i * 47) % 360, 255, 140 + (i % 3) * 50);
}

inline bool NearColour(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A page of a consent platform's dialog over the middle of a green page with a blue bar: the markup its rule
// detects, with a refusal button that takes the dialog away (as the platform's own script would). Its load
// event waits for /consent/slow.png, which the server is to answer late, as a page of the web does.
struct ConsentPlatformPage {
    QString path;
    const char* platform;  // as the rule library names it
    QByteArray page;
};

inline QList<ConsentPlatformPage> ConsentPlatformPages() {
    const QByteArray style =
        "<style>body{margin:0;background:#0a0}#bar{height:10vh;background:#00f}.b{position:fixed;left:10vw;"
        "top:25vh;width:80vw;height:50vh;background:#fff;z-index:9}</style>";
    auto page = [&](const QByteArray& dialog) {
        return Page("<div id=bar></div><p>Nachrichten</p><img src=/consent/slow.png>" + dialog +
                        "<script>const R=s=>document.querySelector(s).remove()</script>",
                    style);
    };
    return {
        {QStringLiteral("/consent/onetrust"), "Onetrust",
         page("<div id=onetrust-consent-sdk><div id=onetrust-banner-sdk class=b><button "
              "id=onetrust-accept-btn-handler>OK</button><button id=onetrust-reject-all-handler "
              "onclick=\"R('#onetrust-consent-sdk')\">Reject all</button></div></div>")},
        {QStringLiteral("/consent/cookieyes"), "cookieyes",
         page("<div class='cky-consent-container b'><button data-cky-tag=accept-button>OK</button><button "
              "data-cky-tag=reject-button onclick=\"R('.cky-consent-container')\">Reject</button></div>")},
        {QStringLiteral("/consent/complianz"), "Complianz banner",
         page("<div id=cmplz-cookiebanner-container><div class='cmplz-cookiebanner b'><button "
              "class=cmplz-deny onclick=\"R('#cmplz-cookiebanner-container')\">Deny</button></div></div>")},
        {QStringLiteral("/consent/iubenda"), "iubenda",
         page("<div id=iubenda-cs-banner class=b><button class=iubenda-cs-accept-btn>OK</button><button "
              "class=iubenda-cs-reject-btn onclick=\"R('#iubenda-cs-banner')\">Reject</button></div>")},
        {QStringLiteral("/consent/borlabs"), "borlabs",
         page("<div class='brlbs-cmpnt-dialog b'><button class=brlbs-btn-accept-only-essential "
              "onclick=\"R('.brlbs-cmpnt-dialog')\">Only essential</button></div>")},
        {QStringLiteral("/consent/moove"), "Moove",
         page("<div id=moove_gdpr_cookie_info_bar class=b><button class=moove-gdpr-infobar-reject-btn "
              "onclick=\"R('#moove_gdpr_cookie_info_bar')\">Reject</button></div>")},
        // No refusal offered: hidden instead.
        {QStringLiteral("/consent/cookieyes-hidden"), "cookieyes",
         page("<div class='cky-consent-container b'></div>")},
    };
}
