#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <map>

class BridgeReceiver;
class QTcpSocket;

// The receiver's own line protocol on a TCP port, so that consoles and
// ampdesk-cli reach the receiver ("tcp://host:port") while the bridge keeps it.
// Each client's command goes to the receiver whole, through the session's one
// queue, in the client's fair share of it and in turns with MQTT and the other
// clients (one command each), so a console never waits behind MQTT's whole
// backlog; a client's commands still waiting when it goes are dropped. Every
// line the receiver sends goes to every client. A client that does not read is
// dropped once its unsent output passes a bound, and one that sends faster
// than the receiver answers is simply not read meanwhile: neither stalls the
// receiver, MQTT or the other clients. A command that could not be carried out
// is reported (CommandRefused), never dropped silently.
//
// The port carries the receiver's raw protocol without any check: whoever
// reaches it can send the receiver anything. A listener beyond the loopback
// interface is logged as a warning.
class ShareServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxClients = 8;
    static constexpr qint64 kMaxUnsentBytes = 64 * 1024;
    // A command longer than this without its carriage return is dropped.
    static constexpr qsizetype kMaxCommandBytes = 1024;

    explicit ShareServer(BridgeReceiver& receiver, QObject* parent = nullptr);
    ~ShareServer() override;

    // Logs and returns false when the port cannot be had.
    bool Listen(const QString& host, int port);
    quint16 Port() const { return m_server.serverPort(); }
    int ClientCount() const { return static_cast<int>(m_clients.size()); }
    void Close();

signals:
    // A console's command was not carried out (the receiver is not connected).
    void CommandRefused(const QString& peer, const QByteArray& command, const QString& reason);

private:
    struct Client {
        QByteArray input;
        bool overlong = false;  // what comes up to the next carriage return is dropped
        QString peer;
    };

    void OnNewConnection();
    void ReadCommands(QTcpSocket* socket);
    void OnReceiverLine(const QByteArray& line);
    void Drop(QTcpSocket* socket, const QString& why);

    BridgeReceiver& m_receiver;
    QTcpServer m_server;
    std::map<QTcpSocket*, Client> m_clients;
};
