#include "LocalHttpServer.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

LocalHttpServer::LocalHttpServer(int status, const QByteArray& body)
    : m_status(status), m_body(body) {
    EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::OnNewConnection);
}

QString LocalHttpServer::Host() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
}

quint16 LocalHttpServer::RefusedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LocalHttpServer::OnNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            const bool complete = head->contains("\r\n\r\n");
            *head += socket->readAll();
            if (complete || !head->contains("\r\n\r\n"))
                return;
            m_requests << head->left(head->indexOf("\r\n"));
            if (m_status == kSilent)
                return;
            socket->write("HTTP/1.1 " + QByteArray::number(m_status) +
                          " Status\r\nContent-Type: text/plain\r\nContent-Length: " +
                          QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                          m_body);
            socket->disconnectFromHost();
        });
    }
}
