// SPDX-License-Identifier: LGPL-2.1-or-later
#include "contract.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>

QString ContractMember::signature(bool out) const
{
    QString signature;
    for (const ContractArg &arg : args) {
        if (arg.out == out)
            signature += arg.type;
    }
    return signature;
}

bool ContractMember::secretIn(int index) const
{
    for (const ContractArg &arg : args) {
        if (!arg.out && index-- == 0)
            return arg.secret;
    }
    return false;
}

bool ContractMember::shows(int index, const QVariant &value) const
{
    bool takesCode = false;
    const ContractArg *at = nullptr;
    for (const ContractArg &arg : args) {
        takesCode = takesCode || (!arg.out && arg.secret);
        if (!arg.out && index-- == 0)
            at = &arg;
    }
    if (!takesCode)
        return true;
    return at && !at->secret && at->values.contains(value.toString());
}

namespace {

const char SecretAnnotation[] = "org.ondrix.Secret";
const char ValuesAnnotation[] = "org.ondrix.Values";

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

void writeMember(QString &xml, const char *kind, const ContractMember &member, bool directions)
{
    xml += QStringLiteral("    <%1 name=\"%2\"").arg(QLatin1String(kind), escaped(member.name));
    if (member.args.isEmpty()) {
        xml += QStringLiteral("/>\n");
        return;
    }
    xml += QStringLiteral(">\n");
    for (const ContractArg &arg : member.args) {
        xml += QStringLiteral("      <arg name=\"%1\" type=\"%2\"").arg(escaped(arg.name), escaped(arg.type));
        if (directions)
            xml += arg.out ? QStringLiteral(" direction=\"out\"") : QStringLiteral(" direction=\"in\"");
        if (arg.secret) {
            xml += QStringLiteral(">\n        <annotation name=\"%1\" value=\"true\"/>\n      </arg>\n")
                       .arg(QLatin1String(SecretAnnotation));
        } else if (!arg.values.isEmpty()) {
            xml += QStringLiteral(">\n        <annotation name=\"%1\" value=\"%2\"/>\n      </arg>\n")
                       .arg(QLatin1String(ValuesAnnotation), escaped(arg.values.join(QLatin1Char(','))));
        } else {
            xml += QStringLiteral("/>\n");
        }
    }
    xml += QStringLiteral("    </%1>\n").arg(QLatin1String(kind));
}

} // namespace

QString ContractInterface::xml() const
{
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(escaped(name));
    for (const ContractMember &method : methods)
        writeMember(xml, "method", method, true);
    for (const ContractMember &signal : signalList)
        writeMember(xml, "signal", signal, false);
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                   .arg(escaped(it.key()), escaped(it.value()),
                        writable.value(it.key()) ? QStringLiteral("readwrite") : QStringLiteral("read"));
    }
    xml += QStringLiteral("  </interface>\n");
    return xml;
}

bool Contract::parse(const QByteArray &document)
{
    QXmlStreamReader xml(document);
    ContractInterface interface;
    ContractMember member;
    QString memberKind;
    bool inArg = false;
    auto fail = [this, &xml](const QString &why) {
        m_error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(why);
        return false;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        const auto name = xml.name();
        const QXmlStreamAttributes attributes = xml.attributes();
        const QString nameAttribute = attributes.value(QLatin1String("name")).toString();
        const QString type = attributes.value(QLatin1String("type")).toString();
        if (xml.isStartElement()) {
            if (name == QLatin1String("interface")) {
                if (nameAttribute.isEmpty())
                    return fail(QStringLiteral("an interface without a name"));
                interface = ContractInterface();
                interface.name = nameAttribute;
            } else if (name == QLatin1String("method") || name == QLatin1String("signal")) {
                if (nameAttribute.isEmpty() || interface.name.isEmpty())
                    return fail(QStringLiteral("a member without a name or interface"));
                member = ContractMember();
                member.name = nameAttribute;
                memberKind = name.toString();
            } else if (name == QLatin1String("arg")) {
                if (type.isEmpty() || memberKind.isEmpty())
                    return fail(QStringLiteral("an argument without a valid type"));
                const bool out = memberKind == QLatin1String("signal")
                    || attributes.value(QLatin1String("direction")) == QLatin1String("out");
                member.args.append({nameAttribute, type, out, false, {}});
                inArg = true;
            } else if (name == QLatin1String("annotation") && inArg
                       && nameAttribute == QLatin1String(SecretAnnotation)) {
                member.args.last().secret = attributes.value(QLatin1String("value")) == QLatin1String("true");
            } else if (name == QLatin1String("annotation") && inArg
                       && nameAttribute == QLatin1String(ValuesAnnotation)) {
                member.args.last().values = attributes.value(QLatin1String("value")).toString().split(QLatin1Char(','));
            } else if (name == QLatin1String("property")) {
                if (nameAttribute.isEmpty() || type.isEmpty() || interface.name.isEmpty())
                    return fail(QStringLiteral("a property without a name or type"));
                interface.properties.insert(nameAttribute, type);
                interface.writable.insert(nameAttribute,
                                          attributes.value(QLatin1String("access")).contains(QLatin1String("write")));
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("arg"))
                inArg = false;
            if (name == QLatin1String("method"))
                interface.methods.insert(member.name, member);
            else if (name == QLatin1String("signal"))
                interface.signalList.insert(member.name, member);
            else if (name == QLatin1String("interface"))
                m_interfaces.insert(interface.name, interface);
            if (name == QLatin1String("method") || name == QLatin1String("signal"))
                memberKind.clear();
        }
    }
    if (xml.hasError())
        return fail(xml.errorString());
    return true;
}

const Contract &Contract::builtIn()
{
    static const Contract contract = [] {
        Contract loaded;
        const QDir dir(QStringLiteral(":/interfaces"));
        for (const QString &file : dir.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
            QFile input(dir.filePath(file));
            if (!input.open(QIODevice::ReadOnly) || !loaded.parse(input.readAll()))
                qFatal("interface file %s: %s", qPrintable(file), qPrintable(loaded.error()));
        }
        return loaded;
    }();
    return contract;
}

const ContractInterface *Contract::find(const QString &interface) const
{
    auto it = m_interfaces.constFind(interface);
    return it == m_interfaces.cend() ? nullptr : &*it;
}

namespace {

const ContractMember *memberIn(const QMap<QString, ContractMember> &members, const QString &name)
{
    auto it = members.constFind(name);
    return it != members.cend() ? &*it : nullptr;
}

} // namespace

const ContractMember *Contract::method(const QString &interface, const QString &name) const
{
    const ContractInterface *found = find(interface);
    return found ? memberIn(found->methods, name) : nullptr;
}

const ContractMember *Contract::signal(const QString &interface, const QString &name) const
{
    const ContractInterface *found = find(interface);
    return found ? memberIn(found->signalList, name) : nullptr;
}

QString wireSignature(const QVariantList &args)
{
    QString signature;
    for (const QVariant &arg : args) {
        if (arg.userType() == qMetaTypeId<QDBusArgument>())
            signature += arg.value<QDBusArgument>().currentSignature();
        else
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            signature += QLatin1String(QDBusMetaType::typeToSignature(arg.metaType()));
#else
            signature += QLatin1String(QDBusMetaType::typeToSignature(arg.userType()));
#endif
    }
    return signature;
}

QStringList completeTypes(const QString &signature)
{
    QStringList types;
    int i = 0;
    while (i < signature.size()) {
        const int start = i;
        while (i < signature.size() && signature[i] == QLatin1Char('a'))
            i++;
        if (i < signature.size() && (signature[i] == QLatin1Char('(') || signature[i] == QLatin1Char('{'))) {
            int depth = 0;
            do {
                if (signature[i] == QLatin1Char('(') || signature[i] == QLatin1Char('{'))
                    depth++;
                else if (signature[i] == QLatin1Char(')') || signature[i] == QLatin1Char('}'))
                    depth--;
                i++;
            } while (depth > 0 && i < signature.size());
        } else {
            i++;
        }
        types << signature.mid(start, i - start);
    }
    return types;
}
