// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef OFONO_OFONO_H
#define OFONO_OFONO_H

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// oFono as the bridge follows it: whether ofonod is on the bus, which of its
// modems the bridge serves (the one asked for, else the first with a SIM
// manager, else the first), that modem's interfaces and the properties of
// each, and its voice calls. Everything arrives as oFono's own signals; a
// value of the wrong type is taken as absent.
class Ofono : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *Service = "org.ofono";

    // `wanted`: the path of the modem to serve; empty for the first one.
    Ofono(const QDBusConnection &bus, const QString &wanted, QObject *parent = nullptr);

    void start();

    // Whether a modem is followed and its state has been read.
    bool ready() const { return m_ready; }
    QString modem() const { return m_modem; }

    // Whether the modem offers `interface` now ("org.ofono.SimManager").
    bool has(const QString &interface) const { return m_values.contains(interface); }
    // A property of the modem ("org.ofono.Modem") or of one of its
    // interfaces; invalid when there is none.
    QVariant value(const QString &interface, const QString &name) const;
    QVariantMap values(const QString &interface) const { return m_values.value(interface); }
    // The modem's voice calls: path -> properties.
    QHash<QString, QVariantMap> calls() const { return m_calls; }

    using Answered = std::function<void(const QDBusMessage &answer)>;
    // Calls a method of one of the modem's interfaces, at the modem's path
    // unless `path` is given; `answered` gets the reply or the error, once.
    void call(const QString &interface, const QString &member, const QVariantList &args, Answered answered,
              const QString &path = QString());
    // "SetProperty" of an interface, with `extra` arguments after the value
    // (a barring password).
    void set(const QString &interface, const QString &name, const QVariant &value, Answered answered,
             const QVariantList &extra = {});

Q_SIGNALS:
    // A modem is followed and read (true), or none is any more.
    void readyChanged(bool ready);
    // Something of the modem changed: a property, an interface or a call.
    void changed();
    // A signal of the modem's interfaces that is not a property change
    // ("NotificationReceived", "RequestReceived", ...).
    void signalled(const QString &interface, const QString &member, const QVariantList &args);

private Q_SLOTS:
    void onSignal(const QDBusMessage &message);

private:
    void appeared();
    void vanished();
    void choose();
    void follow(const QString &path);
    void readInterfaces();
    void read(const QString &interface);
    void readCalls();
    void settle();
    void modemProperty(const QString &name, const QVariant &value);

    QDBusConnection m_bus;
    QString m_wanted;
    QStringList m_order;                       // modems in the order oFono listed them
    QHash<QString, QVariantMap> m_modems;      // path -> the modem's properties
    QString m_modem;
    QHash<QString, QVariantMap> m_values;      // interface -> properties ("org.ofono.Modem" too)
    QHash<QString, QVariantMap> m_calls;
    int m_reading = 0;                         // reads of the modem's state not yet answered
    quint64 m_generation = 0;                  // answers of an earlier modem are dropped
    bool m_ready = false;
};

#endif
