// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef OFONO_BRIDGE_H
#define OFONO_BRIDGE_H

#include "ofono.h"
#include "server.h"
#include "service.h"

#include <QList>

// The error a member that oFono cannot back answers with, at once.
extern const char NotSupported[];

// One interface of the contract, served from oFono: its properties follow
// oFono's (follow() is called on every change of the modem), its methods
// are oFono's methods, translated both ways.
class BridgeService : public Service
{
public:
    BridgeService(ContractServer *server, Ofono *ofono, const char *busName, const char *path, const char *interface);

    // Takes up the modem's state as it is now; changed properties are
    // announced as the daemon announces them.
    virtual void follow() = 0;

    // The contract's properties are read-only here, but those a service takes.
    bool write(const QString &name, const QVariant &value) override;

protected:
    // A property of one of the modem's oFono interfaces.
    QVariant ofonoValue(const char *interface, const char *name) const;
    bool offers(const char *interface) const;

    // Answers at once that oFono has nothing behind the member.
    void notSupported(const QDBusMessage &call, const QString &why);
    // Calls oFono for a contract call: `then` gets oFono's reply; an error is
    // answered as the contract's `errorPrefix` + what oFono's error means.
    void forward(const QDBusMessage &call, const char *interface, const char *member, const QVariantList &args,
                 std::function<void(const QDBusMessage &reply)> then, const QString &path = QString());
    // The same for a property of oFono's: the contract call gets an empty reply.
    void forwardSet(const QDBusMessage &call, const char *interface, const char *name, const QVariant &value,
                    const QVariantList &extra = {});
    // The contract's error for oFono's, for this interface.
    virtual QString errorFor(const QDBusMessage &error) const;
    void replyError(const QDBusMessage &call, const QDBusMessage &error) const;

    // Stores every property of `values` and then announces the changed ones
    // in the order given.
    void update(const QList<QPair<QString, QVariant>> &values);

    Ofono *ofono;
    QString errorPrefix;   // "com.kelvo.hvt.SS.Error."
};

// The contract's interfaces by area, one factory per file.
QList<BridgeService *> createSystem(ContractServer *server, Ofono *ofono);
QList<BridgeService *> createNetwork(ContractServer *server, Ofono *ofono);
QList<BridgeService *> createCard(ContractServer *server, Ofono *ofono);
QList<BridgeService *> createServices(ContractServer *server, Ofono *ofono);

// Whether oFono's registration status has service.
bool inService(const QString &ofonoStatus);

#endif
