// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_CONTRACT_H
#define MODEMSIM_CONTRACT_H

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantList>

// The daemon interfaces as their introspection XML describes them. The
// simulator is built with the same files that are installed for tools and
// developers, answers "Introspect" from them and holds its own traffic and the
// calls it receives against them.

struct ContractArg {
    QString name;
    QString type;
    bool out = false;
    bool secret = false;   // annotated org.ondrix.Secret: a code, never logged
    // Annotated org.ondrix.Values (comma-separated; an empty value is nothing
    // between commas): all the argument takes beside a code.
    QStringList values;
};

struct ContractMember {
    QString name;
    QList<ContractArg> args;
    // The concatenated types of the in (method arguments) or out (reply, signal) arguments.
    QString signature(bool out) const;
    // Whether the `index`th in argument is a code.
    bool secretIn(int index) const;
    // Whether a log or a recording may show `value` as the `index`th in
    // argument. In a method that takes a code only an argument that is not
    // the code, holding one of its listed values, is shown: a caller that
    // puts the code in another place does not get it logged.
    bool shows(int index, const QVariant &value) const;
};

struct ContractInterface {
    QString name;
    QMap<QString, ContractMember> methods;
    QMap<QString, ContractMember> signalList;
    QMap<QString, QString> properties;       // name -> type
    QMap<QString, bool> writable;

    // The interface element for an "Introspect" answer.
    QString xml() const;
};

class Contract
{
public:
    // Reads one introspection document; false, with the reason in error(), if
    // it is not well-formed or lacks names or types.
    bool parse(const QByteArray &document);
    // The contract compiled into the simulator.
    static const Contract &builtIn();

    const ContractInterface *find(const QString &interface) const;
    // A method or signal of an interface; null when the files have none.
    const ContractMember *method(const QString &interface, const QString &name) const;
    const ContractMember *signal(const QString &interface, const QString &name) const;
    QStringList interfaces() const { return m_interfaces.keys(); }
    QString error() const { return m_error; }

private:
    QMap<QString, ContractInterface> m_interfaces;
    QString m_error;
};

// The D-Bus signature that `args` take on the wire.
QString wireSignature(const QVariantList &args);

// The complete types of a signature, in order: "sa{sv}(ii)" gives s, a{sv}, (ii).
QStringList completeTypes(const QString &signature);

#endif
