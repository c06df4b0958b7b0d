// A small HTTP/1.1 server on 127.0.0.1 for tests: fixed routes, delays, routes that never answer, and a
// record of every request with its headers. It runs in a thread of its own, so it answers while the test
// blocks.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>

class QThread;

class LocalHttpServer {
  public:
    struct Request {
        QByteArray method;
        QByteArray path;                        // as requested, query included
        QHash<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray Header(const QByteArray& name) const { return headers.value(name.toLower()); }
    };

    // Listens on a free port of 127.0.0.1; throws std::runtime_error when it cannot.
    LocalHttpServer();
    // Stops the thread; connections still waiting are closed.
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    quint16 Port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path (path starts with "/").
    QString Url(const QString& path) const;

    // Answers GET path (query ignored unless a route with the query exists) with status and body, after
    // delayMs.
    void AddRoute(const QString& path, const QByteArray& body,
                  const QByteArray& contentType = "text/html; charset=utf-8", int delayMs = 0,
                  int status = 200);
    // Extra header lines for the answers of an existing route ("Location: /next\r\n").
    void SetHeaders(const QString& path, const QByteArray& headerLines);
    // The next `answers` requests for an existing route get 503 Service Unavailable (a server busy for now).
    void SetBusyFirst(const QString& path, int answers);
    // Requests for path are read and recorded but never answered; the connection stays open.
    void AddNeverAnswering(const QString& path);
    // Requests for path get the headers of an HTML answer, but its body never comes; the connection stays
    // open.
    void AddBodyNeverComing(const QString& path);

    // An existing route answers as added only when the request's header `name` holds `part`; otherwise with
    // `status`, `body` and `headerLines` (a 401 and its challenge, a page of another colour).
    void SetRequired(const QString& path, const QByteArray& name, const QByteArray& part, int status,
                     const QByteArray& body, const QByteArray& headerLines = {});

    // Called in the server's thread with each request's path before it is answered (a test that must act at
    // a known point of a run, whatever the load on its own thread). Set it before the run starts.
    void SetOnRequest(std::function<void(const QByteArray& path)> onRequest);

    QList<Request> Requests() const;
    QList<Request> RequestsFor(const QString& path) const;
    void ClearRequests();

    struct Route {
        QByteArray body;
        QByteArray contentType;
        int delayMs = 0;
        int status = 200;
        bool neverAnswer = false;
        bool bodyNeverComes = false;
        QByteArray headerLines;
        int busyFirst = 0;
        QByteArray requiredName, requiredPart;  // SetRequired
        std::shared_ptr<Route> otherwise;
    };
    // Used by the server thread.
    // A request in a proxy's form ("http://host/path") finds the route of its path.
    bool FindRoute(const QByteArray& path, Route* route, const Request* request = nullptr);
    void Record(const Request& request);

  private:
    mutable QMutex m_mutex;
    QHash<QByteArray, Route> m_routes;
    QList<Request> m_requests;
    std::function<void(const QByteArray& path)> m_onRequest;
    quint16 m_port = 0;
    std::unique_ptr<QThread> m_thread;
};
