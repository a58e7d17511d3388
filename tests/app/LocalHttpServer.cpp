#include "LocalHttpServer.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

LocalHttpServer::LocalHttpServer(int status, const QByteArray& body, bool endless)
    : m_status(status), m_body(body), m_endless(endless) {
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
            const QByteArray length =
                m_endless ? QByteArray()
                          : "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
            socket->write("HTTP/1.1 " + QByteArray::number(m_status) +
                          " Status\r\nContent-Type: text/plain\r\n" + length +
                          "Connection: close\r\n\r\n" + m_body);
            if (!m_endless) {
                socket->disconnectFromHost();
                return;
            }
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
                if (socket->bytesToWrite() < 65536)
                    socket->write(m_body.repeated(64));
            });
        });
    }
}
