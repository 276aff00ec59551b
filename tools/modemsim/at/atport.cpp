// SPDX-License-Identifier: LGPL-2.1-or-later
#include "atport.h"

#include "atsession.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

// What a terminal may leave unread before it is dropped.
constexpr qint64 MaxUnread = 1 << 20;

} // namespace

AtPort::AtPort(Simulator *sim_, ModemEvents *events_, QObject *parent)
    : QObject(parent)
    , sim(sim_)
    , events(events_)
{
    connect(&m_server, &QTcpServer::newConnection, this, &AtPort::accept);
}

AtPort::~AtPort()
{
    drop();
}

bool AtPort::listen(const QString &address, quint16 port, QString *error)
{
    const QHostAddress host(address.isEmpty() ? QStringLiteral("127.0.0.1") : address);
    if (host.isNull()) {
        *error = QStringLiteral("\"%1\" is no address").arg(address);
        return false;
    }
    if (!m_server.listen(host, port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

QString AtPort::address() const
{
    return QStringLiteral("%1:%2").arg(m_server.serverAddress().toString()).arg(m_server.serverPort());
}

void AtPort::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        drop();
        m_client = socket;
        m_session = std::make_unique<AtSession>(sim, events);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket == m_client && m_session)
                m_session->feed(socket->readAll());
        });
        connect(m_session.get(), &AtSession::output, this, [this, socket](const QByteArray &bytes) {
            if (socket != m_client)
                return;
            socket->write(bytes);
            if (socket->bytesToWrite() > MaxUnread)
                QMetaObject::invokeMethod(this, [this, socket] { if (socket == m_client) drop(); }, Qt::QueuedConnection);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == m_client)
                QMetaObject::invokeMethod(this, [this, socket] { if (socket == m_client) drop(); }, Qt::QueuedConnection);
        });
    }
}

// The terminal went (or is replaced): its session ends with it.
void AtPort::drop()
{
    m_session.reset();
    if (m_client) {
        QTcpSocket *socket = m_client;
        m_client = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}
