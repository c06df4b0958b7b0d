// German texts from the translation built into the program.
#include "texts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

bool UseGermanTexts() {
    static QTranslator* installed = [] {
        auto* translator = new QTranslator(QCoreApplication::instance());
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
