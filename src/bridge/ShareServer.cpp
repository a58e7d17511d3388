#include "ShareServer.h"

#include "BridgeLog.h"
#include "BridgeReceiver.h"

#include <QPointer>
#include <QTcpSocket>

#include <utility>

ShareServer::ShareServer(BridgeReceiver& receiver, QObject* parent)
    : QObject(parent), m_receiver(receiver) {
    connect(&m_server, &QTcpServer::newConnection, this, &ShareServer::OnNewConnection);
    connect(&m_receiver, &BridgeReceiver::LineReceived, this, &ShareServer::OnReceiverLine);
}

ShareServer::~ShareServer() {
    Close();
}

bool ShareServer::Listen(const QString& host, int port) {
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(host)) {
        BridgeLog(QStringLiteral("--listen: \"%1\" is not an IP address").arg(host));
        return false;
    }
    if (!m_server.listen(address, static_cast<quint16>(port))) {
        BridgeLog(QStringLiteral("cannot listen on %1:%2: %3")
                      .arg(host)
                      .arg(port)
                      .arg(m_server.errorString()));
        return false;
    }
    BridgeLog(QStringLiteral("sharing the receiver on tcp://%1:%2").arg(host).arg(Port()));
    if (!address.isLoopback()) {
        BridgeLog(QStringLiteral("warning: the shared port listens beyond this machine (%1): "
                                 "anyone who reaches it can send the receiver any command")
                      .arg(host));
    }
    return true;
}

void ShareServer::Close() {
    m_server.close();
    while (!m_clients.empty())
        Drop(m_clients.begin()->first, {});
}

void ShareServer::OnNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QString peer =
            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        if (ClientCount() >= kMaxClients) {
            BridgeLog(QStringLiteral("refused the console at %1: %2 are connected already")
                          .arg(peer)
                          .arg(kMaxClients));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt stops reading from the kernel when this much is buffered, so a
        // client whose commands rest keeps its bytes on its own side.
        socket->setReadBufferSize(kMaxCommandBytes * 4);
        // A small kernel buffer towards the client, so that one that does not
        // read shows in Qt's own buffer soon, where the bound is checked.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 32 * 1024);
        // Each line goes out as it comes: a console waits for every answer.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients[socket].peer = peer;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadCommands(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Drop(socket, {}); });
        BridgeLog(QStringLiteral("console connected from %1").arg(peer));
        ReadCommands(socket);
    }
}

// The receiver frames commands with carriage returns; what lies between two of
// them is one command, and empty ones are framing. A client whose share of the
// queue is used up is not read on until one of its commands completes.
void ShareServer::ReadCommands(QTcpSocket* socket) {
    const auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    Client& client = it->second;
    const auto party = reinterpret_cast<BridgeReceiver::Party>(socket);
    for (;;) {
        const qsizetype end = client.input.indexOf('\r');
        if (end < 0) {
            if (socket->bytesAvailable() == 0)
                break;
            client.input += socket->read(kMaxCommandBytes);
            // Overlong: dropped whole, as the receiver drops it, so that its
            // tail does not arrive as a command of its own.
            if (client.input.indexOf('\r') < 0 && client.input.size() > kMaxCommandBytes) {
                client.input.clear();
                client.overlong = true;
            }
            continue;
        }
        const QByteArray command = client.input.left(end);
        // The limit holds also when the carriage return came in the same read.
        const bool overlong = std::exchange(client.overlong, false) || end > kMaxCommandBytes;
        if (overlong || command.isEmpty()) {
            client.input.remove(0, end + 1);
            continue;
        }
        if (!m_receiver.HasRoom(party, command))
            break;
        client.input.remove(0, end + 1);
        QPointer<QTcpSocket> guard(socket);
        const QString peer = client.peer;
        m_receiver.Submit(
            party, command, [this, guard, peer, command](const CommandChannel::Reply& reply) {
                if (reply.outcome == CommandChannel::Outcome::Closed ||
                    reply.outcome == CommandChannel::Outcome::Aborted) {
                    emit CommandRefused(
                        peer, command,
                        QStringLiteral("not carried out: the receiver is not connected"));
                }
                // Later, not from inside the queue's completion.
                QMetaObject::invokeMethod(
                    this,
                    [this, guard] {
                        if (!guard.isNull())
                            ReadCommands(guard.data());
                    },
                    Qt::QueuedConnection);
            });
    }
}

void ShareServer::OnReceiverLine(const QByteArray& line) {
    if (m_clients.empty())
        return;
    const QByteArray framed = line + '\r';
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        QTcpSocket* socket = (it++)->first;
        if (socket->bytesToWrite() > kMaxUnsentBytes) {
            Drop(socket, QStringLiteral("it does not read what the receiver sends"));
            continue;
        }
        socket->write(framed);
    }
}

void ShareServer::Drop(QTcpSocket* socket, const QString& why) {
    const auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    BridgeLog(why.isEmpty()
                  ? QStringLiteral("console at %1 disconnected").arg(it->second.peer)
                  : QStringLiteral("dropped the console at %1: %2").arg(it->second.peer, why));
    m_clients.erase(it);
    // Its waiting commands go with it; the others need not wait for them.
    m_receiver.Forget(reinterpret_cast<BridgeReceiver::Party>(socket));
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
