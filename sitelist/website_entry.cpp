// One row of the website list, and the picture name proposed for a page.
#include "website_entry.h"

#include <QUrl>

QString PictureNameForUrl(const QString& url) {
    QString host = QUrl(url.trimmed()).host();
    if (host.startsWith(QLatin1String("www."))) host.remove(0, 4);
    return host;
}
