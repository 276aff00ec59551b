// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef CONTRACT_SERVICE_H
#define CONTRACT_SERVICE_H

#include <QtDBus/QDBusMessage>
#include <QMap>
#include <QVariantMap>

class ContractServer;

// A call's signature. A call made inside a server (the simulator's AT
// port's) has not been on the wire: its arguments tell it.
QString signatureOf(const QDBusMessage &message);

// One daemon interface: its properties and the behaviour of its methods.
// Each interface a server serves is one subclass.
class Service
{
public:
    Service(ContractServer *server, const char *busName, const char *path, const char *interface);
    virtual ~Service();

    QString busName() const { return m_busName; }
    QString path() const { return m_path; }
    QString interface() const { return m_interface; }

    QVariantMap properties() const { return m_properties; }
    QVariant property(const QString &name) const { return m_properties.value(name); }

    // Stores a property and, when it changed, lets the interface announce it
    // as the real daemon would.
    void setProperty(const QString &name, const QVariant &value);
    // A property written with "Properties.Set"; false when it cannot be.
    virtual bool write(const QString &name, const QVariant &value);

    // Puts the interface back into its start-up state.
    virtual void reset() = 0;

    // Takes up changed settings.
    virtual void configure() {}

    // Answers a method call of this interface. Returns false for a method the
    // interface does not have.
    virtual bool call(const QDBusMessage &message) = 0;

    // The interface on the wire as its introspection XML describes it, which
    // the hostile mode imitates and garbles: the reply signature of each
    // method, the signature of each signal.
    const QMap<QString, QString> &replySignatures() const { return m_replies; }
    const QMap<QString, QString> &signalSignatures() const { return m_signals; }

protected:
    // Called after a property changed through setProperty().
    virtual void announce(const QString &name, const QVariant &value);

    void setDefaults(const QVariantMap &properties) { m_properties = properties; }
    // Stores a property without announcing it.
    void store(const QString &name, const QVariant &value) { m_properties.insert(name, value); }
    void emitSignal(const QString &member, const QVariantList &args);
    // Answers "GetName" with the property "Name"; false when there is none.
    bool answerGetter(const QDBusMessage &message);

    ContractServer *server;

private:
    QString m_busName;
    QString m_path;
    QString m_interface;
    QVariantMap m_properties;
    QMap<QString, QString> m_replies;
    QMap<QString, QString> m_signals;
};

#endif
