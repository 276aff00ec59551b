// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_ATPORT_H
#define MODEMSIM_ATPORT_H

#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <memory>

class AtSession;
class ModemEvents;
class QTcpSocket;
class Simulator;

// The modem as an AT modem on a TCP port, for a telephony stack (oFono's
// phonesim driver) or a person with a terminal. One terminal at a time: a
// new connection replaces the one before, as a modem's serial line has one
// end. A terminal that stops reading is dropped before the modem's
// results pile up.
class AtPort : public QObject
{
    Q_OBJECT
public:
    AtPort(Simulator *sim, ModemEvents *events, QObject *parent = nullptr);
    ~AtPort() override;

    // Listens on `address` ("127.0.0.1" unless given) and `port` (0: any
    // free one); false with the reason in `error`.
    bool listen(const QString &address, quint16 port, QString *error);
    // "ADDRESS:PORT" it listens on.
    QString address() const;

private:
    void accept();
    void drop();

    Simulator *sim;
    ModemEvents *events;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    std::unique_ptr<AtSession> m_session;
};

#endif
