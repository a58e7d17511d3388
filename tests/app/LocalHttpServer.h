#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A tiny HTTP server on 127.0.0.1 for the upgrade check: it answers every
// request with one fixed response or, when silent, reads the request and never
// answers. An endless body repeats for as long as the client reads it.
class LocalHttpServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kSilent = 0;

    // status kSilent: never answers.
    LocalHttpServer(int status, const QByteArray& body = {}, bool endless = false);

    // "127.0.0.1:<port>", as the profile key takes it.
    QString Host() const;
    // The request lines received, such as "GET /path HTTP/1.1".
    const QByteArrayList& Requests() const { return m_requests; }
    // A port on 127.0.0.1 that nothing listens on.
    static quint16 RefusedPort();

private:
    void OnNewConnection();

    QTcpServer m_server;
    int m_status;
    QByteArray m_body;
    bool m_endless;
    QByteArrayList m_requests;
};
