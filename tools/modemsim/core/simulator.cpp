// SPDX-License-Identifier: LGPL-2.1-or-later
#include "simulator.h"

#include "contract.h"
#include "service.h"

#include <QTextStream>

namespace {

// Calls from inside carry this and their number as their destination.
const QString InsidePrefix = QStringLiteral("org.ondrix.ModemSim.Inside.c");

// Times in milliseconds.
QVariantMap defaultSettings(bool instant)
{
    return {
        // The radio switching after "RequestRadio".
        {QStringLiteral("RadioSwitchTime"), instant ? 0 : 300},
        // An operator scan ("GetNetworks").
        {QStringLiteral("ScanTime"), instant ? 0 : 3000},
        // An operator selection, from searching to registered.
        {QStringLiteral("SelectionTime"), instant ? 0 : 2000},
        // Between steps of the signal level's drift; 0 keeps it still.
        {QStringLiteral("SignalDriftInterval"), instant ? 0 : 4000},
        // A supplementary service operation, during which the service is busy.
        {QStringLiteral("SSTime"), instant ? 0 : 700},
        // A call dialled on the AT port, from dialling to answered (a third of it dialling).
        {QStringLiteral("CallAnswerTime"), instant ? 0 : 3000},
        // The SIM lock's wait after every third wrong unlock code.
        {QStringLiteral("SimLockWaitTime"), 30000},
    };
}

} // namespace

Simulator::Simulator(const QDBusConnection &connection, bool instant, QObject *parent)
    : ContractServer(connection, QStringLiteral("ondrix-modemsim"), parent)
    , m_settings(defaultSettings(instant))
    , m_instant(instant)
{
}

Simulator::~Simulator() = default;

QStringList Simulator::settingNames()
{
    return defaultSettings(true).keys();
}

void Simulator::reset()
{
    m_settings = defaultSettings(m_instant);
    m_calls.clear();
    clearContractViolations();
    setChecking(true);
    for (Service *service : services())
        service->reset();
    // Calls from inside that the modem held end: the modem started over.
    const QList<quint64> inside = m_inside.keys();
    for (quint64 id : inside) {
        const QDBusMessage call = QDBusMessage::createMethodCall(InsidePrefix + QString::number(id), QString(), QString(), QString());
        deliver(call, QDBusMessage::createError(QStringLiteral("org.ondrix.ModemSim.Error.Reset"),
                                                QStringLiteral("The modem was reset")));
    }
    acquireNames();
    emit wasReset();
}

void Simulator::logAt(const QString &direction, const QByteArray &line)
{
    // Bytes as they went, every one outside printable ASCII as \xHH.
    QString shown;
    for (const char c : line) {
        const uchar u = uchar(c);
        shown += u >= 0x20 && u < 0x7f ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    m_calls.append({
        {QStringLiteral("path"), QString()},
        {QStringLiteral("interface"), QStringLiteral("AT")},
        {QStringLiteral("member"), direction},
        {QStringLiteral("signature"), QStringLiteral("s")},
        {QStringLiteral("args"), QVariantList{shown}},
    });
    if (verbose)
        QTextStream(stdout) << "at " << (direction == QLatin1String("Sent") ? "> " : "< ") << shown << '\n' << Qt::flush;
}

void Simulator::setSetting(const QString &name, const QVariant &value)
{
    m_settings.insert(name, value);
    for (Service *service : services())
        service->configure();
}

void Simulator::callInside(const QString &path, const QString &interface, const QString &member,
                           const QVariantList &args, Answered answered)
{
    const quint64 id = ++m_insideCalls;
    m_inside.insert(id, std::move(answered));
    QDBusMessage call = QDBusMessage::createMethodCall(InsidePrefix + QString::number(id), path, interface, member);
    call.setArguments(args);
    for (Interceptor *interceptor : qAsConst(m_interceptors)) {
        if (interceptor->intercept(call))
            return;
    }
    dispatch(call);
}

void Simulator::deliver(const QDBusMessage &call, const QDBusMessage &answer)
{
    if (!call.service().startsWith(InsidePrefix)) {
        ContractServer::deliver(call, answer);
        return;
    }
    // From the event loop, as an answer from the bus would come: the caller
    // is never entered again from inside its own call.
    const quint64 id = call.service().mid(InsidePrefix.size()).toULongLong();
    QMetaObject::invokeMethod(this, [this, id, answer] {
        if (Answered answered = m_inside.take(id))
            answered(answer);
    }, Qt::QueuedConnection);
}

// The arguments of a call as the log keeps them: every code replaced, and in
// a call that takes one, whatever is not what its place holds.
QVariantList Simulator::masked(const QDBusMessage &call)
{
    QVariantList args = call.arguments();
    if (const ContractMember *method = Contract::builtIn().method(call.interface(), call.member())) {
        for (int i = 0; i < args.size(); i++) {
            if (!method->shows(i, args[i]))
                args[i] = QStringLiteral("********");
        }
    }
    return args;
}

void Simulator::received(const QDBusMessage &message)
{
    m_calls.append({
        {QStringLiteral("path"), message.path()},
        {QStringLiteral("interface"), message.interface()},
        {QStringLiteral("member"), message.member()},
        {QStringLiteral("signature"), message.signature()},
        {QStringLiteral("args"), QVariant(showCodes ? message.arguments() : masked(message))},
    });
    emit called(message);
    for (Interceptor *interceptor : qAsConst(m_interceptors)) {
        if (interceptor->intercept(message))
            return;
    }
    dispatch(message);
}
