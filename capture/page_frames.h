// TPageFrames: the frames of a page's top document and the addresses they show.
#pragma once

#include <QHash>
#include <QString>

class TPageFrames {
  public:
    void Clear() { m_urls.clear(); }
    // A frame shows a new document; a new top document takes the frames of the old one with it.
    void Navigated(const QString& frameId, const QString& url, bool top);
    // A frame has gone, unless it only moved to a process of its own ("swap") and lives on there.
    void Detached(const QString& frameId, const QString& reason);
    bool Has(const QString& frameId) const { return m_urls.contains(frameId); }
    QString UrlOf(const QString& frameId) const { return m_urls.value(frameId); }

  private:
    QHash<QString, QString> m_urls;  // by frame id
};
