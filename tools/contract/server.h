// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef CONTRACT_SERVER_H
#define CONTRACT_SERVER_H

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>
#include <QList>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <vector>

class Service;

// Serves the daemons' interfaces as the interface files describe them: owns
// their bus names, answers every call below "/com/kelvo" from the Service
// that holds the interface (properties and introspection included), and
// holds its own traffic against the files. The simulator and the oFono
// bridge are both one.
class ContractServer : public QDBusVirtualObject
{
    Q_OBJECT
public:
    // `name` prefixes what the server says on standard error.
    ContractServer(const QDBusConnection &connection, const QString &name, QObject *parent = nullptr);
    ~ContractServer() override;

    // Registers the objects and owns the names. A server that does not
    // serve the bus (setServesBus(false)) keeps its traffic inside.
    bool start();
    // Registers the objects only; the names follow with acquireNames().
    bool registerObjects();
    void setServesBus(bool serves) { m_servesBus = serves; }
    bool servesBus() const { return m_servesBus; }
    QDBusConnection connection() const { return m_connection; }

    // The daemons' names: those of the services added.
    QStringList busNames() const;
    bool acquireNames();
    void releaseNames();

    // The interfaces it serves; it owns them.
    void addService(Service *service);
    Service *service(const QString &interface) const;
    QList<Service *> services() const;

    // Where the traffic left the interface files: calls of members they do
    // not have or with other arguments, replies and signals of other types
    // (while checking() is on).
    QStringList contractViolations() const { return m_violations; }
    void clearContractViolations() { m_violations.clear(); }

    // Traffic. emitSignal() sends a signal that the interface files
    // describe; sendSignal() sends anything.
    void emitSignal(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args);
    void sendSignal(const QString &path, const QString &interface, const QString &member,
                    const QVariantList &args);
    // reply() answers as the interface files describe; sendReply() answers anything.
    void reply(const QDBusMessage &call, const QVariantList &args = {});
    void sendReply(const QDBusMessage &call, const QVariantList &args);
    void replyError(const QDBusMessage &call, const QString &name, const QString &text);
    // Hands a call to the service that holds its interface.
    void dispatch(const QDBusMessage &call);

    bool verbose = false;

    // QDBusVirtualObject
    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

Q_SIGNALS:
    // A signal went out.
    void signalled(const QString &interface, const QString &member, const QVariantList &args);

protected:
    // A call that arrived from the bus, after it was held against the
    // files; the simulator logs and scripts it here. The default dispatches it.
    virtual void received(const QDBusMessage &call);
    // Sends an answer to a call; the simulator keeps those of its own calls.
    virtual void deliver(const QDBusMessage &call, const QDBusMessage &answer);
    // Whether the server's own replies and signals are held against the files.
    void setChecking(bool on) { m_checking = on; }
    void violated(const QString &what);

private:
    void handleProperties(const QDBusMessage &call);
    Service *serviceAt(const QString &path, const QString &interface) const;
    void checkCall(const QDBusMessage &call);
    void checkSignal(const QString &interface, const QString &member, const QVariantList &args);

    QDBusConnection m_connection;
    QString m_name;
    std::vector<std::unique_ptr<Service>> m_services;
    QStringList m_violations;
    bool m_checking = true;
    bool m_servesBus = true;
};

#endif
