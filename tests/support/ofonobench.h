// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef OFONOBENCH_H
#define OFONOBENCH_H

// oFono's daemon on the bench's private bus, driving the simulator's AT
// port through its phonesim driver: the real telephony stack between a
// test and the simulated modem. It runs in a mount namespace of its own
// with an empty storage, so that nothing of the machine's oFono (its
// service, its files) is touched and no run remembers the one before.

#include "simbench.h"

#include <QtDBus/QDBusMessage>

class OfonoBench : public QObject
{
    Q_OBJECT
public:
    // The modem's object: the group of the phonesim configuration.
    static const QString Modem;

    ~OfonoBench() override;

    // Why oFono cannot run here (not installed, no namespaces), or nothing.
    static QString unavailable();
    // Starts ofonod for the AT port at `address` ("127.0.0.1:PORT") and
    // waits for its modem.
    bool start(const QString &address);
    void stop();
    // Powers the modem, and brings it online when asked; true once there.
    bool bringUp(bool online = true);

    QVariantMap properties(const QString &interface, const QString &path = Modem);
    QVariant property(const QString &interface, const QString &name, const QString &path = Modem)
    {
        return properties(interface, path).value(name);
    }
    // A method of oFono's; its reply or error.
    QDBusMessage call(const QString &interface, const QString &member, const QVariantList &args = {},
                      const QString &path = Modem);
    bool setProperty(const QString &interface, const QString &name, const QVariant &value, const QString &path = Modem);

    // What ofonod printed, for a failure's report.
    QString output() const;

private:
    QTemporaryDir m_dir;
    ChildProcess m_daemon;
};

#endif
