// A small HTTP/1.1 server on 127.0.0.1 for tests.
#include "local_http_server.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <stdexcept>

namespace {

QByteArray ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

class ServerThread : public QThread {
  public:
    ServerThread(LocalHttpServer* owner, quint16* port, QSemaphore* ready)
        : m_owner(owner), m_port(port), m_ready(ready) {}

  protected:
    void run() override {
        QTcpServer server;
        if (server.listen(QHostAddress::LocalHost, 0)) *m_port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) Serve(socket);
        });
        m_ready->release();
        if (*m_port) exec();
    }

  private:
    void Serve(QTcpSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            // One request per connection: every answer closes it.
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0 || socket->property("answered").toBool()) return;
            socket->setProperty("answered", true);
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            LocalHttpServer::Request request;
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            m_owner->Record(request);
            LocalHttpServer::Route route;
            if (!m_owner->FindRoute(request.path, &route, &request)) {
                route.status = 404;
                route.body = "<html><body>not found</body></html>";
                route.contentType = "text/html";
            }
            if (route.neverAnswer) return;
            if (route.bodyNeverComes) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n");
                return;
            }
            QByteArray answer = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' +
                                ReasonPhrase(route.status) + "\r\nContent-Type: " + route.contentType +
                                "\r\nContent-Length: " + QByteArray::number(route.body.size()) +
                                "\r\nCache-Control: no-store\r\nConnection: close\r\n" + route.headerLines +
                                "\r\n";
            if (request.method != "HEAD") answer += route.body;
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(route.delayMs, socket, [guard, answer] {
                if (!guard) return;
                guard->write(answer);
                guard->disconnectFromHost();
            });
        });
    }

    LocalHttpServer* m_owner;
    quint16* m_port;
    QSemaphore* m_ready;
};

}  // namespace

LocalHttpServer::LocalHttpServer() {
    QSemaphore ready;
    m_thread = std::make_unique<ServerThread>(this, &m_port, &ready);
    m_thread->start();
    ready.acquire();
    if (m_port == 0) {
        m_thread->wait();
        throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
    }
}

LocalHttpServer::~LocalHttpServer() {
    m_thread->quit();
    m_thread->wait();
}

QString LocalHttpServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LocalHttpServer::AddRoute(const QString& path, const QByteArray& body, const QByteArray& contentType,
                               int delayMs, int status) {
    QMutexLocker lock(&m_mutex);
    m_routes.insert(path.toUtf8(), Route{body, contentType, delayMs, status, false, false, {}});
}

void LocalHttpServer::SetHeaders(const QString& path, const QByteArray& headerLines) {
    QMutexLocker lock(&m_mutex);
    m_routes[path.toUtf8()].headerLines = headerLines;
}

void LocalHttpServer::SetBusyFirst(const QString& path, int answers) {
    QMutexLocker lock(&m_mutex);
    m_routes[path.toUtf8()].busyFirst = answers;
}

void LocalHttpServer::AddNeverAnswering(const QString& path) {
    QMutexLocker lock(&m_mutex);
    Route route;
    route.neverAnswer = true;
    m_routes.insert(path.toUtf8(), route);
}

void LocalHttpServer::AddBodyNeverComing(const QString& path) {
    QMutexLocker lock(&m_mutex);
    Route route;
    route.bodyNeverComes = true;
    m_routes.insert(path.toUtf8(), route);
}

void LocalHttpServer::SetRequired(const QString& path, const QByteArray& name, const QByteArray& part,
                                  int status, const QByteArray& body, const QByteArray& headerLines) {
    QMutexLocker lock(&m_mutex);
    Route& route = m_routes[path.toUtf8()];
    route.requiredName = name;
    route.requiredPart = part;
    route.otherwise = std::make_shared<Route>(Route{body, "text/html", 0, status, false, false, headerLines});
}

bool LocalHttpServer::FindRoute(const QByteArray& requested, Route* route, const Request* request) {
    QMutexLocker lock(&m_mutex);
    QByteArray path = requested;
    if (path.startsWith("http://")) path = path.mid(path.indexOf('/', 7));
    auto it = m_routes.find(path);
    if (it == m_routes.end()) it = m_routes.find(path.left(path.indexOf('?')));
    if (it == m_routes.end()) return false;
    *route = it.value();
    if (request && !route->requiredName.isEmpty() &&
        !request->Header(route->requiredName).contains(route->requiredPart))
        *route = *it->otherwise;
    if (it->busyFirst > 0) {
        --it->busyFirst;
        route->status = 503;
        route->body = "<html><body>busy</body></html>";
    }
    return true;
}

void LocalHttpServer::Record(const Request& request) {
    std::function<void(const QByteArray&)> onRequest;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        onRequest = m_onRequest;
    }
    if (onRequest) onRequest(request.path);
}

void LocalHttpServer::SetOnRequest(std::function<void(const QByteArray& path)> onRequest) {
    QMutexLocker lock(&m_mutex);
    m_onRequest = std::move(onRequest);
}

QList<LocalHttpServer::Request> LocalHttpServer::Requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<LocalHttpServer::Request> LocalHttpServer::RequestsFor(const QString& path) const {
    QMutexLocker lock(&m_mutex);
    QList<Request> found;
    for (const Request& r : m_requests)
        if (r.path == path.toUtf8()) found.append(r);
    return found;
}

void LocalHttpServer::ClearRequests() {
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}
