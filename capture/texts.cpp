// German texts from the translation built into the program.
#include "texts.h"

#include <QCoreApplication>
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
