// One row of the website list.
#pragma once

#include <QString>

struct WebsiteEntry {
    QString url;           // the page to capture, taken as it stands
    QString picture;       // output file base name, without folder and ".jpg"
    bool checked = false;  // used only by the bulk deletion

    bool operator==(const WebsiteEntry&) const = default;
};

// The picture name proposed for a page: its host name in lower case without a leading "www."
// ("https://www.Example.org/a" gives "example.org"); empty when the address names no host.
QString PictureNameForUrl(const QString& url);
