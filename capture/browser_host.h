// The hidden browser view WB1: a page of exactly Width() x Height() pixels.
#pragma once

#include <QObject>

class TBrowserHost : public QObject {
    Q_OBJECT
public:
    explicit TBrowserHost(QObject* parent = nullptr);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The size applies to the next capture.
    void SetWidth(int width);
    void SetHeight(int height);

Q_SIGNALS:
    // Before each navigation (top level and frames), with its URL.
    void BeforeNavigate2(const QString& url);
    // After each document (top level and frames) has completed, with its URL.
    void DocumentComplete(const QString& url);

private:
    int m_width = 1024;
    int m_height = 768;
};
