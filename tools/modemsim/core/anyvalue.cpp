// SPDX-License-Identifier: LGPL-2.1-or-later
#include "anyvalue.h"

#include "contract.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusSignature>
#include <QtDBus/QDBusVariant>

#include <cstring>
#include <limits>

namespace {

// The records of the daemon's lists, so that a list of the right type can
// carry any values.
struct Sbsu { QString a; bool b = false; QString c; uint d = 0; };
struct Suu { QString a; uint b = 0, c = 0; };
struct Ssssssb { QString a[6]; bool b = false; };

QDBusArgument &operator<<(QDBusArgument &arg, const Sbsu &v)
{
    arg.beginStructure();
    arg << v.a << v.b << v.c << v.d;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Sbsu &) { return arg; }
QDBusArgument &operator<<(QDBusArgument &arg, const Suu &v)
{
    arg.beginStructure();
    arg << v.a << v.b << v.c;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Suu &) { return arg; }
QDBusArgument &operator<<(QDBusArgument &arg, const Ssssssb &v)
{
    arg.beginStructure();
    for (const QString &s : v.a)
        arg << s;
    arg << v.b;
    arg.endStructure();
    return arg;
}
const QDBusArgument &operator>>(const QDBusArgument &arg, Ssssssb &) { return arg; }

} // namespace

Q_DECLARE_METATYPE(Sbsu)
Q_DECLARE_METATYPE(Suu)
Q_DECLARE_METATYPE(Ssssssb)

namespace {

// A message holds 64 levels of containers, arrays and structures 32 each.
// Structures are built as arguments of their own and copied in, which QtDBus
// and libdbus handle only some levels deep: the sender's limit, not the bus's.
constexpr int MaxDepth = 60;
constexpr int MaxStructureDepth = 8;

// Texts a daemon really sends.
const char *const Vocabulary[] = {
    "Normal", "EmergencyOnly", "NoCoverage", "Service", "Active", "Inactive", "Deferred", "Tablet",
    "Signaling", "Call", "Data", "Idle", "Home", "Roaming", "Offline", "Searching", "NoSim",
    "Rejected", "PowerOff", "PowerSave", "Auto", "Manual", "Forced", "PLMNNotAllowed",
    "Congestion", "Available", "Current", "Forbidden", "Preferred", "AllSupported",
    "GSM_900_1800", "05", "244", "11", "+358405202000", "pin", "puk2", "Ok", "PINRequired",
    "RestrictionOn", "",
};

// The types anyValue() chooses among.
const char *const AnyTypes[] = {"y", "b", "n", "q", "i", "u", "x", "t", "d", "s", "o", "g", "as", "ay",
                                "ai", "a{sb}", "a{ss}", "a{sv}", "av", "a(sbsu)", "a(suu)",
                                "a(ssssssb)", "v", "(s)", "(ii)", "(sv)", "(v(v))"};

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<Sbsu>();
        qDBusRegisterMetaType<QList<Sbsu>>();
        qDBusRegisterMetaType<Suu>();
        qDBusRegisterMetaType<QList<Suu>>();
        qDBusRegisterMetaType<Ssssssb>();
        qDBusRegisterMetaType<QList<Ssssssb>>();
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<QMap<QString, bool>>();
        qDBusRegisterMetaType<QMap<QString, QString>>();
        return true;
    }();
    Q_UNUSED(done)
}

} // namespace

AnyValues::AnyValues(Source source)
    : m_source(std::move(source))
{
    registerTypes();
}

QString AnyValues::text()
{
    if (below(3) > 0)
        return QLatin1String(Vocabulary[below(quint32(std::size(Vocabulary)))]);
    // Valid text of any script, emoji and control characters included; never
    // NUL or a lone surrogate, which no bus carries.
    QString garbage;
    for (quint32 n = below(300); n > 0; n--) {
        const char32_t code = below(8) == 0 ? 0x1F300 + below(0x150) : 1 + below(0xD7FE);
        garbage += QString::fromUcs4(&code, 1);
    }
    return garbage;
}

QVariant AnyValues::valueOf(const QString &type, int depth)
{
    const QChar kind = type.isEmpty() ? QLatin1Char('s') : type[0];
    switch (kind.unicode()) {
    case 'y': return QVariant::fromValue(uchar(below(256)));
    case 'b': return bool(below(2));
    case 'n': return QVariant::fromValue(short(below(0)));
    case 'q': return QVariant::fromValue(ushort(below(0)));
    case 'i': {
        const int extremes[] = {0, -1, 1, 5, 255, -113, std::numeric_limits<int>::min(),
                                std::numeric_limits<int>::max()};
        return below(2) ? int(below(0)) : extremes[below(8)];
    }
    case 'u': return uint(below(0));
    case 'x': return qlonglong(bits64());
    case 't': return qulonglong(bits64());
    case 'd': {
        // Any bit pattern: infinities and NaNs too.
        const quint64 bits = bits64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 'o': {
        QString path = QStringLiteral("/com/kelvo");
        for (quint32 n = below(4); n > 0; n--)
            path += QLatin1Char('/') + QString(QLatin1Char(char('a' + below(26))));
        return QVariant::fromValue(QDBusObjectPath(path));
    }
    case 'g': {
        static const char *const signatures[] = {"s", "a{sv}", "(ii)", "v", "as", "ay"};
        return QVariant::fromValue(QDBusSignature(QLatin1String(signatures[below(quint32(std::size(signatures)))])));
    }
    case 'v':
        return QVariant::fromValue(QDBusVariant(depth < MaxDepth ? anyValue(depth + 1) : QVariant(0)));
    case '(': {
        if (depth > MaxStructureDepth)
            return text();
        QDBusArgument arg;
        arg.beginStructure();
        for (const QString &member : completeTypes(type.mid(1, type.size() - 2)))
            arg.appendVariant(valueOf(member, depth + 1));
        arg.endStructure();
        return QVariant::fromValue(arg);
    }
    case 'a':
        break;
    default:
        return text();
    }
    // Arrays: the ones the daemon's contract has, any values in them.
    const quint32 count = below(6);
    if (type == QLatin1String("as")) {
        QStringList list;
        for (quint32 n = 0; n < count; n++)
            list << text();
        return list;
    }
    if (type == QLatin1String("ay")) {
        QByteArray bytes;
        for (quint32 n = below(40); n > 0; n--)
            bytes.append(char(below(256)));
        return bytes;
    }
    if (type == QLatin1String("ai")) {
        QList<int> list;
        for (quint32 n = 0; n < count; n++)
            list << valueOf(QStringLiteral("i")).toInt();
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a{sb}")) {
        QMap<QString, bool> map;
        for (quint32 n = 0; n < count; n++)
            map.insert(text(), below(2));
        return QVariant::fromValue(map);
    }
    if (type == QLatin1String("a{ss}")) {
        QMap<QString, QString> map;
        for (quint32 n = 0; n < count; n++)
            map.insert(text(), text());
        return QVariant::fromValue(map);
    }
    if (type == QLatin1String("a(sbsu)")) {
        QList<Sbsu> list;
        for (quint32 n = 0; n < count; n++)
            list << Sbsu{text(), bool(below(2)), text(), below(0)};
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a(suu)")) {
        QList<Suu> list;
        for (quint32 n = 0; n < count; n++)
            list << Suu{text(), below(0), below(0)};
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a(ssssssb)")) {
        QList<Ssssssb> list;
        for (quint32 n = 0; n < count; n++) {
            Ssssssb entry;
            for (QString &s : entry.a)
                s = text();
            entry.b = below(2);
            list << entry;
        }
        return QVariant::fromValue(list);
    }
    if (type == QLatin1String("a{sv}")) {
        QVariantMap map;
        for (quint32 n = 0; n < count; n++)
            map.insert(text(), depth < MaxDepth ? anyValue(depth + 3) : QVariant(0));
        return map;
    }
    QVariantList list;   // av, and arrays of other types as that
    for (quint32 n = 0; n < count && depth < MaxDepth; n++)
        list << anyValue(depth + 2);
    return list;
}

QVariant AnyValues::anyValue(int depth)
{
    const quint32 choice = below(quint32(std::size(AnyTypes)));
    if (depth >= MaxDepth)
        return int(choice);
    return valueOf(QLatin1String(AnyTypes[choice]), depth);
}

QVariantList AnyValues::argumentsOf(const QString &signature)
{
    QVariantList args;
    for (const QString &type : completeTypes(signature))
        args << valueOf(type, 1);
    return args;
}

QVariantList AnyValues::anyArguments()
{
    QVariantList args;
    for (quint32 n = below(5); n > 0; n--)
        args << anyValue(1);
    return args;
}

QVariantMap AnyValues::propertyMap(const QMap<QString, QString> &types)
{
    QVariantMap map;
    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        const quint32 how = below(5);
        if (how == 0)
            continue;
        map.insert(it.key(), how == 1 ? anyValue(3) : valueOf(it.value(), 3));
    }
    if (below(4) == 0)
        map.insert(text(), anyValue(3));
    return map;
}
