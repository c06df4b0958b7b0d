// What the browser host takes of its page: the view, a shot of the whole page or of one element, and what a
// run asks for before it (an element to appear, elements hidden).
#include "browser_host.h"

#include "capture_picture.h"
#include "devtools_client.h"
#include "thumbnail.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace {

// Screenshots a capture asks again for when the page replaced its document meanwhile, before the page is
// stopped.
constexpr int kScreenshotLossLimit = 2;
// The largest picture a shot of part of a page asks for: its side in device pixels (Chromium draws no taller
// or wider one), and its device pixels (32 Mi: what Chromium 156 was seen to draw whole).
constexpr double kMaxShotSide = 16384;
constexpr double kMaxShotPixels = 32.0 * 1024 * 1024;

}  // namespace

void TBrowserHost::CaptureViewPng(std::function<void(const QByteArray&, const QString&)> done,
                                  const QJsonObject& clip) {
    if (BrowserGone()) {
        QTimer::singleShot(0, this,
                           [done] { done({}, QStringLiteral("No page to capture: no browser runs")); });
        return;
    }
    WhenSetUp([this, done, clip] {
        // A page that crashed while it settled is reported as such, not as a missing page.
        if (m_sessionId.isEmpty() || !m_client)
            return done({}, m_nav.error.isEmpty() ? QStringLiteral("No page to capture") : m_nav.error);
        ApplyViewport();
        QJsonObject params{{QStringLiteral("format"), QStringLiteral("png")},
                           {QStringLiteral("fromSurface"), true},
                           {QStringLiteral("captureBeyondViewport"), !clip.isEmpty()},
                           {QStringLiteral("optimizeForSpeed"), true}};
        if (!clip.isEmpty()) params.insert(QStringLiteral("clip"), clip);
        // The first picture of a fresh page may wait for the browser's drawing processes to start, which
        // takes seconds on a busy machine.
        TakeScreenshot(params, m_nav.freshPage ? m_bounds.firstCaptureMs : m_bounds.captureAttemptMs, false,
                       0, done);
    });
}

void TBrowserHost::TakeScreenshot(const QJsonObject& params, int timeoutMs, bool lastAttempt, int lost,
                                  std::function<void(const QByteArray&, const QString&)> done) {
    const bool faultedBefore = m_pageFaulted;
    const std::weak_ptr<TDevToolsClient> client = m_client;  // weakly: the handler waits in its registry
    auto taken = [this, params, timeoutMs, lastAttempt, lost, faultedBefore, client, done](
                     const QJsonObject& shot, const QString& error) {
        m_screenshotId = 0;
        // A document that replaced the one asked for is asked in its turn, as often as a page moving on to
        // another document of its own may take; only a page that keeps doing so is stopped.
        if (std::exchange(m_screenshotLost, false) && lost < kScreenshotLossLimit) {
            m_pageFaulted = faultedBefore;
            return TakeScreenshot(params, timeoutMs, lastAttempt, lost + 1, done);
        }
        if (!error.isEmpty()) {
            const auto alive = client.lock();
            if (lastAttempt || m_sessionId.isEmpty() || !alive || !alive->IsAlive()) return done({}, error);
            // A page that replaces its document meanwhile (a refresh without end) loses the request with the
            // old document, and a script that never lets go keeps the page from drawing: stopped, and its
            // script ended, it is asked once more.
            auto again = [this, params, lost, faultedBefore, done] {
                if (m_sessionId.isEmpty())
                    return done({},
                                m_nav.error.isEmpty() ? QStringLiteral("No page to capture") : m_nav.error);
                Post(QStringLiteral("Page.stopLoading"), {}, m_sessionId);
                Post(QStringLiteral("Runtime.terminateExecution"), {}, m_sessionId);
                m_pageFaulted = faultedBefore;
                TakeScreenshot(params, m_bounds.captureAttemptMs, true, lost, done);
            };
            if (!TDevToolsClient::IsNoAnswer(error)) return again();
            // No screenshot in time: a browser that answers nothing any more is ended at once (its pages fail
            // as at its death, and may pass in the next one) instead of after another attempt.
            return CheckBrowser([this, again, done, error](bool answers) {
                if (answers) return again();
                done({}, m_nav.error.isEmpty() ? error : m_nav.error);
            });
        }
        const QByteArray png =
            QByteArray::fromBase64(shot.value(QStringLiteral("data")).toString().toLatin1());
        if (png.isEmpty()) return done({}, QStringLiteral("Chromium sent an empty screenshot"));
        done(png, {});
    };
    const int id = OnPage(QStringLiteral("Page.captureScreenshot"), params, timeoutMs, std::move(taken));
    m_screenshotId = id;
    // A screenshot may take long on a busy machine, but a browser that answers nothing any more is ended
    // once that is known, not at the end of the attempt.
    if (id != 0)
        QTimer::singleShot(std::min(m_bounds.browserCheckMs, timeoutMs), this, [this, id] {
            if (m_screenshotId == id) CheckBrowser([](bool) {});
        });
}

void TBrowserHost::CheckSomethingToDraw(std::function<void(bool)> done) {
    // What a page shows before the row's document is (its body never came, or the document before it holds
    // the page) is not the row's.
    if (!m_nav.life.DocumentShown()) {
        QTimer::singleShot(0, this, [done] { done(false); });
        return;
    }
    // An HTML document is drawn from its body on; other documents (a picture of SVG, XML) from their root.
    PageSays(QStringLiteral("document.body !== null || (document.documentElement !== null && "
                            "!(document.documentElement instanceof HTMLHtmlElement))"),
             true, std::move(done));
}

bool TBrowserHost::CaptureToJpeg(const QString& fileName, int srcHeight, int srcWidth, int dstHeight,
                                 int dstWidth) {
    QEventLoop loop;
    m_captureError.clear();
    CapturePicture(srcHeight, srcWidth, dstHeight, dstWidth, [&](Capture capture) {
        m_captureError =
            capture.error.isEmpty() ? WriteCaptureJpeg(capture.picture, fileName) : capture.error;
        loop.quit();
    });
    loop.exec();
    return m_captureError.isEmpty();
}

void TBrowserHost::CapturePicture(int srcHeight, int srcWidth, int dstHeight, int dstWidth,
                                  std::function<void(Capture)> done) {
    auto fail = [done](const QString& why) {
        Capture failed;
        failed.error = why;
        done(std::move(failed));
    };
    // Nothing is asked of the browser for a picture that cannot be made.
    if (const QString why = CaptureSizeProblem(srcHeight, srcWidth, dstHeight, dstWidth); !why.isEmpty()) {
        QTimer::singleShot(0, this, [fail, why] { fail(why); });
        return;
    }
    CaptureViewPng([=, this](const QByteArray& png, const QString& error) {
        Report(
            png, error,
            [=](const QByteArray& data) {
                return PictureFromScreenshot(data, srcHeight, srcWidth, dstHeight, dstWidth);
            },
            done);
    });
}

void TBrowserHost::ApplyViewport() {
    if (m_viewport == QSize(m_width, m_height)) return;
    // Commands of one session run in order: what is sent next finds the size in force.
    m_viewport = QSize(m_width, m_height);
    Post(QStringLiteral("Emulation.setDeviceMetricsOverride"), ViewportParams(), m_sessionId);
}

void TBrowserHost::Report(const QByteArray& png, const QString& error,
                          const std::function<TBitmap24(const QByteArray&)>& decode,
                          const std::function<void(Capture)>& done) {
    Capture capture;
    if (error.isEmpty()) {
        try {
            capture.picture = decode(png);
        } catch (const std::bad_alloc&) {
            capture.error = QStringLiteral("not enough memory for the capture");
        } catch (const std::exception& e) {
            capture.error = QString::fromUtf8(e.what());
        }
    } else {
        capture.error = error;
    }
    if (!capture.error.isEmpty()) return done(std::move(capture));
    capture.blank = IsOneColour(capture.picture);
    if (!capture.blank) return done(std::move(capture));
    // Without a script, an animation, a frame or a load still under way, what the page shows now is final.
    auto blank = std::make_shared<Capture>(std::move(capture));
    PageSays(QStringLiteral("document.readyState !== 'complete' || document.scripts.length > 0 || "
                            "window.frames.length > 0 || "
                            "(document.getAnimations ? document.getAnimations().length > 0 : false)"),
             true, [blank, done](bool may) {
                 blank->mayChange = may;
                 done(std::move(*blank));
             });
}

namespace {

// A text as a JavaScript string literal (JSON's string is one).
QString ScriptString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

}  // namespace

void TBrowserHost::WaitForElement(const QString& selector, int boundMs,
                                  std::function<void(bool shown, const QString& error)> done) {
    auto wait = std::make_shared<ElementWait>();
    wait->selector = selector;
    wait->boundMs = boundMs;
    wait->clock.start();
    wait->done = std::move(done);
    AskForElement(wait);
}

void TBrowserHost::AskForElement(const std::shared_ptr<ElementWait>& wait) {
    // Present, drawn with a size, and neither hidden nor transparent.
    const QString expression =
        QStringLiteral(
            "(s => { let e; try { e = document.querySelector(s); } catch (x) { return 'invalid'; } "
            "if (!e) return false; const r = e.getBoundingClientRect(), st = getComputedStyle(e); "
            "return r.width > 0 && r.height > 0 && st.visibility !== 'hidden' && "
            "st.display !== 'none' && Number(st.opacity) > 0; })(%1)")
            .arg(ScriptString(wait->selector));
    OnPage(QStringLiteral("Runtime.evaluate"),
           {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
           m_bounds.statusMs, [this, wait](const QJsonObject& r, const QString& error) {
               const QJsonValue value =
                   r.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
               if (!error.isEmpty()) return wait->done(false, error);
               if (value.toString() == QLatin1String("invalid"))
                   return wait->done(
                       false,
                       QStringLiteral("\"%1\" is not a selector the page understands").arg(wait->selector));
               if (value.toBool()) return wait->done(true, {});
               if (wait->clock.elapsed() >= wait->boundMs) return wait->done(false, {});
               QTimer::singleShot(100, m_nav.scope.Context(), [this, wait] { AskForElement(wait); });
           });
}

void TBrowserHost::HideElements(const QStringList& selectors, std::function<void()> done) {
    if (selectors.isEmpty()) {
        QTimer::singleShot(0, this, std::move(done));
        return;
    }
    QStringList list;
    for (const QString& s : selectors) list << ScriptString(s);
    // Hidden in their place (the layout stays as it is); a selector the page does not understand hides
    // nothing.
    const QString expression =
        QStringLiteral(
            "[%1].forEach(s => { try { document.querySelectorAll(s).forEach(e => "
            "e.style.setProperty('visibility', 'hidden', 'important')); } catch (x) {} })")
            .arg(list.join(u','));
    OnPage(QStringLiteral("Runtime.evaluate"), {{QStringLiteral("expression"), expression}},
           m_bounds.statusMs, [done](const QJsonObject&, const QString&) { done(); });
}

void TBrowserHost::CaptureShot(const TCaptureOptions& shot, std::function<void(Capture)> done) {
    auto fail = [done](const QString& why) {
        Capture failed;
        failed.error = why;
        done(std::move(failed));
    };
    // The part of the page to take, in CSS pixels (none: the view); its picture comes in device pixels.
    auto take = [this, done](QJsonObject clip) {
        // The box comes from the page, which may lie: it is kept on the page and to a picture Chromium can
        // draw and this program decode (its height cut to fit).
        if (!clip.isEmpty()) {
            const double scale = m_options.DeviceScale();
            const double width = std::clamp(clip.value(u"width").toDouble(), 1.0, kMaxShotSide / scale);
            const double height = std::clamp(
                clip.value(u"height").toDouble(), 1.0,
                std::max(1.0, std::min(kMaxShotSide / scale, kMaxShotPixels / (width * scale * scale))));
            clip = {{QStringLiteral("x"), std::clamp(clip.value(u"x").toDouble(), 0.0, 1e6)},
                    {QStringLiteral("y"), std::clamp(clip.value(u"y").toDouble(), 0.0, 1e6)},
                    {QStringLiteral("width"), width},
                    {QStringLiteral("height"), height},
                    {QStringLiteral("scale"), 1}};
        }
        CaptureViewPng([this, done](const QByteArray& png,
                                    const QString& error) { Report(png, error, PictureFromPng, done); },
                       clip);
    };
    WhenSetUp([this, shot, take, fail] {
        if (m_sessionId.isEmpty() || BrowserGone())
            return fail(m_nav.error.isEmpty() ? QStringLiteral("No page to capture") : m_nav.error);
        // The box is measured in the size the picture is taken in.
        ApplyViewport();
        if (!shot.element.isEmpty()) {
            const QString expression =
                QStringLiteral(
                    "(s => { const e = document.querySelector(s); if (!e) return null; "
                    "const r = e.getBoundingClientRect(); "
                    "return [r.left + scrollX, r.top + scrollY, r.width, r.height]; })(%1)")
                    .arg(ScriptString(shot.element));
            return OnPage(
                       QStringLiteral("Runtime.evaluate"),
                       {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
                       m_bounds.statusMs,
                       [shot, take, fail](const QJsonObject& r, const QString& error) {
                           if (!error.isEmpty()) return fail(error);
                           const QJsonArray box = r.value(QStringLiteral("result"))
                                                      .toObject()
                                                      .value(QStringLiteral("value"))
                                                      .toArray();
                           if (box.size() != 4)
                               return fail(
                                   QStringLiteral("No element of the page matches \"%1\"").arg(shot.element));
                           if (box.at(2).toDouble() < 1 || box.at(3).toDouble() < 1)
                               return fail(
                                   QStringLiteral("The element matching \"%1\" has no size on the page")
                                       .arg(shot.element));
                           take({{QStringLiteral("x"), box.at(0).toDouble()},
                                 {QStringLiteral("y"), box.at(1).toDouble()},
                                 {QStringLiteral("width"), box.at(2).toDouble()},
                                 {QStringLiteral("height"),
                                  std::min(box.at(3).toDouble(), double(shot.maxHeight))},
                                 {QStringLiteral("scale"), 1}});
                       }),
                   void();
        }
        if (!shot.fullPage) return take({});
        OnPage(QStringLiteral("Page.getLayoutMetrics"), {}, m_bounds.statusMs,
               [this, shot, take, fail](const QJsonObject& r, const QString& error) {
                   if (!error.isEmpty()) return fail(error);
                   const double height = r.value(QStringLiteral("cssContentSize"))
                                             .toObject()
                                             .value(QStringLiteral("height"))
                                             .toDouble();
                   // At least the view, at most the bound.
                   take({{QStringLiteral("x"), 0},
                         {QStringLiteral("y"), 0},
                         {QStringLiteral("width"), m_width},
                         {QStringLiteral("height"),
                          std::clamp(std::ceil(height), double(m_height), double(shot.maxHeight))},
                         {QStringLiteral("scale"), 1}});
               });
    });
}
