// German texts from the translation built into the program.
#include "texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <cstring>

namespace {

// A translator that answers for one context only.
class ContextTranslator : public QTranslator {
  public:
    ContextTranslator(const char* context, QObject* parent) : QTranslator(parent), m_context(context) {}
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        if (m_context && (!context || std::strcmp(context, m_context) != 0)) return {};
        return QTranslator::translate(context, sourceText, disambiguation, n);
    }

  private:
    const char* m_context;
};

}  // namespace

bool UseGermanTexts(const char* onlyContext) {
    static QTranslator* installed = [onlyContext]() -> QTranslator* {
        auto* translator = new ContextTranslator(onlyContext, QCoreApplication::instance());
        if (translator->load(QStringLiteral(":/i18n/bildoro_de.qm")) &&
            QCoreApplication::installTranslator(translator))
            return translator;
        delete translator;
        return static_cast<QTranslator*>(nullptr);
    }();
    return installed != nullptr;
}

bool UseQtGermanTexts() {
    static const bool installed = [] {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QStringLiteral("qtbase_de"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
        return false;
    }();
    return installed;
}

bool MessagesLocaleIsGerman() {
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(name);
        if (!locale.isEmpty()) break;
    }
    if (locale.isEmpty() || locale == QLatin1String("C") || locale.startsWith(QLatin1String("C.")) ||
        locale == QLatin1String("POSIX"))
        return false;
    const QString language = qEnvironmentVariable("LANGUAGE").section(u':', 0, 0);
    if (!language.isEmpty()) locale = language;
    return QLocale(locale.section(u'.', 0, 0)).language() == QLocale::German;
}

QString SystemErrorText(int error) {
    switch (error) {
        case ENOENT:
            return QCoreApplication::translate("bildoro", "No such file or directory");
        case EACCES:
        case EPERM:
            return QCoreApplication::translate("bildoro", "Permission denied");
        case EROFS:
            return QCoreApplication::translate("bildoro", "Read-only file system");
        case ENOSPC:
            return QCoreApplication::translate("bildoro", "No space left on device");
        case EDQUOT:
            return QCoreApplication::translate("bildoro", "Disk quota exceeded");
        case EFBIG:
            return QCoreApplication::translate("bildoro", "File too large");
        case ENOTDIR:
            return QCoreApplication::translate("bildoro", "Not a directory");
        case EISDIR:
            return QCoreApplication::translate("bildoro", "Is a directory");
        case ENAMETOOLONG:
            return QCoreApplication::translate("bildoro", "File name too long");
        case ELOOP:
            return QCoreApplication::translate("bildoro", "Too many levels of symbolic links");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString ExplainedNetworkError(const QString& reason) {
    static const struct {
        const char* code;
        const char* text;
    } known[] = {
        {"net::ERR_NAME_NOT_RESOLVED", QT_TRANSLATE_NOOP("bildoro", "Name not found")},
        {"net::ERR_NAME_RESOLUTION_FAILED", QT_TRANSLATE_NOOP("bildoro", "Name lookup failed")},
        {"net::ERR_CONNECTION_REFUSED", QT_TRANSLATE_NOOP("bildoro", "Connection refused")},
        {"net::ERR_CONNECTION_RESET", QT_TRANSLATE_NOOP("bildoro", "Connection reset")},
        {"net::ERR_CONNECTION_CLOSED", QT_TRANSLATE_NOOP("bildoro", "Connection closed")},
        {"net::ERR_CONNECTION_FAILED", QT_TRANSLATE_NOOP("bildoro", "Connection failed")},
        {"net::ERR_CONNECTION_TIMED_OUT", QT_TRANSLATE_NOOP("bildoro", "Connection timed out")},
        {"net::ERR_TIMED_OUT", QT_TRANSLATE_NOOP("bildoro", "Timed out")},
        {"net::ERR_ADDRESS_UNREACHABLE", QT_TRANSLATE_NOOP("bildoro", "Address unreachable")},
        {"net::ERR_INTERNET_DISCONNECTED", QT_TRANSLATE_NOOP("bildoro", "No network connection")},
        {"net::ERR_EMPTY_RESPONSE", QT_TRANSLATE_NOOP("bildoro", "The server sent nothing")},
        {"net::ERR_TOO_MANY_REDIRECTS", QT_TRANSLATE_NOOP("bildoro", "Too many redirects")},
        {"net::ERR_ABORTED", QT_TRANSLATE_NOOP("bildoro", "Loading was broken off (a download, or no page)")},
        {"net::ERR_FILE_NOT_FOUND", QT_TRANSLATE_NOOP("bildoro", "File not found")},
        {"net::ERR_ACCESS_DENIED", QT_TRANSLATE_NOOP("bildoro", "Access denied")},
        {"net::ERR_INVALID_URL", QT_TRANSLATE_NOOP("bildoro", "Invalid address")},
        {"net::ERR_UNSAFE_PORT", QT_TRANSLATE_NOOP("bildoro", "Port not allowed")},
        {"net::ERR_SSL_PROTOCOL_ERROR", QT_TRANSLATE_NOOP("bildoro", "Secure connection failed")},
        {"net::ERR_CERT_AUTHORITY_INVALID", QT_TRANSLATE_NOOP("bildoro", "Certificate not trusted")},
        {"net::ERR_CERT_COMMON_NAME_INVALID", QT_TRANSLATE_NOOP("bildoro", "Certificate for another name")},
        {"net::ERR_CERT_DATE_INVALID", QT_TRANSLATE_NOOP("bildoro", "Certificate expired or not yet valid")},
        {"net::ERR_BLOCKED_BY_RESPONSE", QT_TRANSLATE_NOOP("bildoro", "Blocked by the server")},
        {"net::ERR_HTTP_RESPONSE_CODE_FAILURE",
         QT_TRANSLATE_NOOP("bildoro", "The server answered with an error")},
    };
    const QString code = reason.trimmed();
    if (!code.startsWith(QLatin1String("net::ERR_"))) return reason;
    for (const auto& k : known)
        if (code == QLatin1String(k.code))
            return QStringLiteral("%1 (%2)").arg(QCoreApplication::translate("bildoro", k.text), code);
    return QStringLiteral("%1 (%2)").arg(QCoreApplication::translate("bildoro", "Network error"), code);
}
