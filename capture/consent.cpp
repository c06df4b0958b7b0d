// Cookie-consent dialogs: the bridge, the rules a document is given, and what one navigation's documents
// told.
#include "consent.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <utility>
#include <vector>

const QString kConsentBinding = QStringLiteral("__bildoroConsent");

namespace {

QString Str(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

// The text as a JavaScript string literal in single quotes.
QString ScriptStringLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16 + 2);
    out += u'\'';
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '\'':
                out += QLatin1String("\\'");
                break;
            case '\n':
                out += QLatin1String("\\n");
                break;
            case '\r':
                out += QLatin1String("\\r");
                break;
            case 0x2028:
                out += QLatin1String("\\u2028");
                break;
            case 0x2029:
                out += QLatin1String("\\u2029");
                break;
            default:
                out += c;
        }
    }
    out += u'\'';
    return out;
}

// The library's compact rules (v: format, s: strings, r: rules; a rule's r[3] is the address pattern of a
// single site's rule, r[5] its pre-hiding selectors and r[6] its detection steps, whose "e"/"v" name a
// string of s: a selector or a chain of them).
const QJsonObject& ConsentRules() {
    static const QJsonObject rules = [] {
        QFile file(QStringLiteral(":/consent/rules/compact-rules.json"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }();
    return rules;
}

// The selectors the library's general rules look for first, for the page to look for in one query. A rule
// whose first step looks for no element (a snippet, a cookie) stands for its pre-hiding selectors; one
// without those makes every page a candidate ("*"). A selector that is whole only at the end of a list
// (an unclosed bracket or quote) would spoil the list for all: it is left out (the page also checks each).
QString ConsentGateUnits() {
    const QJsonArray strings = ConsentRules().value(u"s").toArray();
    const QJsonArray rules = ConsentRules().value(u"r").toArray();
    if (rules.isEmpty()) return QStringLiteral("['*']");
    auto selector = [](const QJsonValue& v) {
        const QString first = v.isArray() ? v.toArray().at(0).toString() : v.toString();
        static const QRegularExpression special(QStringLiteral("^(xpath|aria|text|pierce)/"));
        return first.contains(special) ? QString() : first;
    };
    std::function<QStringList(const QJsonObject&)> firstLooks = [&](const QJsonObject& step) -> QStringList {
        for (const auto& [shortKey, longKey] : {std::pair{"e", "exists"}, std::pair{"v", "visible"}}) {
            QString found;
            if (step.contains(QLatin1String(shortKey)))
                found = selector(strings.at(step.value(QLatin1String(shortKey)).toInt()));
            else if (step.contains(QLatin1String(longKey)))
                found = selector(step.value(QLatin1String(longKey)));
            else
                continue;
            return found.isEmpty() ? QStringList() : QStringList{found};
        }
        QStringList any;
        for (const QJsonValue& alternative : step.value(u"any").toArray()) {
            const QStringList looks = firstLooks(alternative.toObject());
            if (looks.isEmpty()) return {};
            any += looks;
        }
        return any;
    };
    auto closed = [](const QString& unit) {
        int brackets = 0, parentheses = 0;
        QChar quote;
        for (const QChar c : unit) {
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else {
                brackets += (c == u'[') - (c == u']');
                parentheses += (c == u'(') - (c == u')');
            }
        }
        return quote.isNull() && brackets == 0 && parentheses == 0;
    };
    // The platforms the library knows by code instead of by compact rules, with what they look for first
    // (Cookiebot and consentmanager are known by their globals, see the bridge; rules of frames begin there
    // at once).
    QStringList units = {QStringLiteral("#truste-show-consent"),
                         QStringLiteral("#truste-consent-track"),
                         QStringLiteral("div[id^='sp_message_container_']"),
                         QStringLiteral("#cmpbox"),
                         QStringLiteral("#_evidon_banner"),
                         QStringLiteral("#onetrust-banner-sdk"),
                         QStringLiteral("#onetrust-pc-sdk"),
                         QStringLiteral(".klaro"),
                         QStringLiteral(".unic"),
                         QStringLiteral(".cmp-root"),
                         QStringLiteral("tiktok-cookie-banner"),
                         QStringLiteral("#cmp-app-container"),
                         QStringLiteral("button[class*=Pills__StyledPill]")};
    for (const QJsonValue& value : rules) {
        const QJsonArray rule = value.toArray();
        if (!rule.at(3).toString().isEmpty()) continue;  // a site's rule: its address opens the page instead
        QStringList looks = firstLooks(rule.at(6).toArray().at(0).toObject());
        if (looks.isEmpty())
            for (const QJsonValue& i : rule.at(5).toArray()) looks += strings.at(i.toInt()).toString();
        if (looks.isEmpty()) return QStringLiteral("['*']");
        for (const QString& look : std::as_const(looks))
            if (closed(look) && !units.contains(look)) units += look;
    }
    QString literal = QStringLiteral("[");
    for (const QString& unit : std::as_const(units)) literal += ScriptStringLiteral(unit) + u',';
    return literal + u']';
}

// The name under which the bridge lets this host begin the library in a document whose address has rules of
// its own (the answer to "closed").
const QString kConsentOpen = QStringLiteral("__bildoroConsentOpen");

// The address patterns of the library's rules for single sites, by the rule's place in the compact rules.
// A document is given the general rules and only those site rules whose pattern matches its address: the
// library would otherwise try every pattern (hundreds) on each of its passes over the page.
const std::vector<std::pair<int, QRegularExpression>>& ConsentSitePatterns() {
    static const std::vector<std::pair<int, QRegularExpression>> patterns = [] {
        std::vector<std::pair<int, QRegularExpression>> out;
        const QJsonArray rules = ConsentRules().value(u"r").toArray();
        for (int i = 0; i < rules.size(); ++i) {
            const QString pattern = rules.at(i).toArray().at(3).toString();
            if (pattern.isEmpty()) continue;
            QRegularExpression re(pattern);
            if (re.isValid()) out.emplace_back(i, std::move(re));
        }
        return out;
    }();
    return patterns;
}

// The rules of the sites whose pattern matches `url`, as JSON texts.
QList<QByteArray> ConsentSiteRules(const QString& url) {
    QList<QByteArray> matched;
    const QJsonArray rules = ConsentRules().value(u"r").toArray();
    for (const auto& [index, re] : ConsentSitePatterns())
        if (re.match(url).hasMatch())
            matched += QJsonDocument(rules.at(index).toArray()).toJson(QJsonDocument::Compact);
    return matched;
}

// The answer to the library's "init" from a document at `url`: refuse (opt out) on every platform it knows,
// hide cosmetically where it knows no refusal; with the general rules and the rules of the sites matching
// the address. The script runs in the document's own world, so the rules' snippets run there at once
// ("isMainWorld") instead of each going to this host and back as an evaluation.
QByteArray ConsentInitAnswer(const QString& url) {
    static const QByteArray general = [] {
        QJsonArray rules;
        for (const QJsonValue& rule : ConsentRules().value(u"r").toArray())
            if (rule.toArray().at(3).toString().isEmpty()) rules.append(rule);
        const QByteArray list = QJsonDocument(rules).toJson(QJsonDocument::Compact);
        return "{\"v\":" + QByteArray::number(ConsentRules().value(u"v").toInt()) + ",\"s\":" +
               QJsonDocument(ConsentRules().value(u"s").toArray()).toJson(QJsonDocument::Compact) +
               ",\"r\":" + list.chopped(1);  // without the list's closing bracket
    }();
    QByteArray compact = general;
    for (const QByteArray& rule : ConsentSiteRules(url)) compact += (compact.endsWith('[') ? "" : ",") + rule;
    compact += "]}";
    return "{\"type\":\"initResp\",\"config\":{\"enabled\":true,\"autoAction\":\"optOut\","
           "\"enablePrehide\":true,\"enableCosmeticRules\":true,\"enableGeneratedRules\":true,"
           "\"detectRetries\":20,\"isMainWorld\":true,\"prehideTimeout\":2000,\"logs\":{\"lifecycle\":false,"
           "\"rulesteps\":false,\"detectionsteps\":false,\"evals\":false,\"errors\":false,"
           "\"messages\":false,\"waits\":false}},\"rules\":{\"compact\":" +
           compact + "}}";
}

// Bounds on what a document may send as the rule library's messages: the library's own are a few hundred
// bytes, a few dozen per document.
constexpr qsizetype kConsentMessageMaxChars = 16 * 1024;
constexpr int kConsentMessagesPerDocument = 400;
constexpr qsizetype kConsentDocumentsMax = 1000;

// A platform name as the library gives it ("onetrust", "com_sourcepoint"), kept to what such a name holds: a
// page that forges one cannot put control characters or a long text into a result line or the report.
QString ConsentPlatformName(const QString& name) {
    QString kept;
    for (QChar c : name.left(100))
        if (c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u' '))
            kept += c;
    return kept;
}

// States of the library in a document while it works on a dialog it found.
bool ConsentBusy(const QString& state) {
    return state == u"cmpDetected" || state == u"openPopupDetected" || state == u"runningOptOut" ||
           state == u"runningOptIn";
}

}  // namespace

// The script for every document (consent_bridge.js, with the library and the names filled in): a bridge that
// holds the library's content script until the document is worth its search. The library (a pass over some
// two hundred rules, some 50 ms of a fresh document's time, and again every half second while it finds
// nothing) begins only when the page has loaded (or after 3 s), so that its work does not slow the loading,
// and only once the document shows something a rule looks for first, or the global of a platform found by
// script. Frames begin at once. A document without any is looked at again after changes, five times over some
// 8 s, as the library itself would go on looking; it tells this host its address, for the rules of single
// sites.
//
// The library sends its messages through window.autoconsentSendMessage and is answered through
// window.autoconsentReceiveMessage; the bridge passes them over the page function (binding). The bridge runs
// before any script of the page and takes the binding away from the page at once (a binding put in place
// only after it began is taken at the first message), and window.autoconsentSendMessage exists only while
// the library starts and keeps it: the page's own scripts, its unload handlers and its frames reach neither.
// Whatever they forge all the same is bounded by the host (see HandleEvent). "init" is sent again until an
// answer comes. The library would
// begin looking when the page is idle, which a page that draws keeps it from for half a second: it begins
// at once here.
const QString& ConsentScript() {
    static const QString script = [] {
        QFile library(QStringLiteral(":/consent/dist/autoconsent.playwright.js"));
        QFile bridge(QStringLiteral(":/consent/bridge/consent_bridge.js"));
        if (!library.open(QIODevice::ReadOnly) || !bridge.open(QIODevice::ReadOnly)) return QString();
        return QString::fromUtf8(bridge.readAll())
            .replace(QLatin1String("__BILDORO_BINDING__"), kConsentBinding)
            .replace(QLatin1String("__BILDORO_OPEN__"), kConsentOpen)
            .replace(QLatin1String("__BILDORO_GATE_UNITS__"), ConsentGateUnits())
            .replace(QLatin1String("/*__BILDORO_LIBRARY__*/"), QString::fromUtf8(library.readAll()));
    }();
    return script;
}

void TConsentState::DocumentCreated(const QString& document) {
    if (m_documents.size() < kConsentDocumentsMax) m_documents.insert(document, {});
}

TConsentState::Reply TConsentState::Take(const QString& document, const QString& payload) {
    // Whatever the page itself can reach, it can forge: a message counts only from a document of this
    // navigation (not the last row's, whose unload handlers still run), within a size and a number per
    // document.
    const auto known = m_documents.find(document);
    if (known == m_documents.end() || payload.size() > kConsentMessageMaxChars ||
        ++known->messages > kConsentMessagesPerDocument)
        return {};
    const QJsonObject message = QJsonDocument::fromJson(payload.toUtf8()).object();
    // The rules are sent once per document: a page that repeats "init" gets nothing more.
    if (Str(message, "type") == u"init" && std::exchange(known->initAnswered, true)) return {};
    return Handle(message);
}

TConsentState::Reply TConsentState::Handle(const QJsonObject& message) {
    const QString type = Str(message, "type");
    if (type == u"init")
        return {QStringLiteral("window.autoconsentReceiveMessage && window.autoconsentReceiveMessage(%1)")
                    .arg(QString::fromUtf8(ConsentInitAnswer(Str(message, "url")))),
                false};
    if (type == u"closed") {
        // A document that shows nothing a general rule looks for: the library begins there only when a rule
        // of its own site applies.
        if (ConsentSiteRules(Str(message, "url")).isEmpty()) return {};
        return {QStringLiteral("window.%1 && window.%1()").arg(kConsentOpen), false};
    }
    if (type == u"popupFound" || (type == u"cmpDetected" && m_platform.isEmpty())) {
        m_platform = ConsentPlatformName(Str(message, "cmp"));
    } else if (type == u"optOutResult" || type == u"autoconsentDone") {
        // A refusal that failed still counts when the platform's rules hide the dialog cosmetically.
        if (message.value(QStringLiteral("result")).toBool() || type == u"autoconsentDone") {
            m_handled = true;
            if (m_platform.isEmpty()) m_platform = ConsentPlatformName(Str(message, "cmp"));
        }
    } else if (type == u"report") {
        const QJsonObject state = message.value(QStringLiteral("state")).toObject();
        const QString lifecycle = Str(state, "lifecycle");
        if (m_states.size() < 1000 || m_states.contains(Str(message, "instanceId")))
            m_states.insert(Str(message, "instanceId"), lifecycle);
        // Reported before the refusal's own message: the capture may come between the two.
        if (lifecycle == u"optOutSucceeded") m_handled = true;
        if (lifecycle == u"optOutFailed" || lifecycle == u"done" || lifecycle == u"nothingDetected")
            m_ended = true;
    } else {
        return {};
    }
    return {{}, true};
}

bool TConsentState::Pending() const {
    // A platform's message comes before the report of the state it leads to.
    if (!m_platform.isEmpty() && !m_handled && !m_ended) return true;
    for (const QString& state : m_states)
        if (ConsentBusy(state)) return true;
    return false;
}
