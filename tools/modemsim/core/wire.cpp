// SPDX-License-Identifier: LGPL-2.1-or-later
#include "wire.h"

#include "contract.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusSignature>
#include <QtDBus/QDBusVariant>

#include <utility>

namespace {

// Qt marshals a container by the meta-type of its elements, so every
// container or structure type met gets a shape: a meta-type whose value is
// written by its signature. There are few (the interfaces use a handful).
constexpr int Shapes = 32;
QString shapeSignature[Shapes];

template <int K>
struct Shape {
    QJsonValue json = QJsonValue(QJsonValue::Undefined);   // Qt's sample: defaults throughout
};

bool marshal(QDBusArgument &arg, const QString &signature, const QJsonValue &json, QString *error);

template <int K>
QDBusArgument &operator<<(QDBusArgument &arg, const Shape<K> &shape)
{
    marshal(arg, shapeSignature[K], shape.json, nullptr);
    return arg;
}

template <int K>
const QDBusArgument &operator>>(const QDBusArgument &arg, Shape<K> &)
{
    return arg;   // only ever sent
}

} // namespace

#define ONDRIX_SHAPE(K) Q_DECLARE_METATYPE(Shape<K>)
ONDRIX_SHAPE(0) ONDRIX_SHAPE(1) ONDRIX_SHAPE(2) ONDRIX_SHAPE(3) ONDRIX_SHAPE(4) ONDRIX_SHAPE(5) ONDRIX_SHAPE(6)
ONDRIX_SHAPE(7) ONDRIX_SHAPE(8) ONDRIX_SHAPE(9) ONDRIX_SHAPE(10) ONDRIX_SHAPE(11) ONDRIX_SHAPE(12) ONDRIX_SHAPE(13)
ONDRIX_SHAPE(14) ONDRIX_SHAPE(15) ONDRIX_SHAPE(16) ONDRIX_SHAPE(17) ONDRIX_SHAPE(18) ONDRIX_SHAPE(19) ONDRIX_SHAPE(20)
ONDRIX_SHAPE(21) ONDRIX_SHAPE(22) ONDRIX_SHAPE(23) ONDRIX_SHAPE(24) ONDRIX_SHAPE(25) ONDRIX_SHAPE(26) ONDRIX_SHAPE(27)
ONDRIX_SHAPE(28) ONDRIX_SHAPE(29) ONDRIX_SHAPE(30) ONDRIX_SHAPE(31)
#undef ONDRIX_SHAPE

namespace {

template <int K>
int registerShape()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return qDBusRegisterMetaType<Shape<K>>().id();
#else
    return qDBusRegisterMetaType<Shape<K>>();
#endif
}

const char *signatureOf(int id)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QDBusMetaType::typeToSignature(QMetaType(id));
#else
    return QDBusMetaType::typeToSignature(id);
#endif
}

template <std::size_t... K>
int registerShapeAt(int slot, std::index_sequence<K...>)
{
    int id = -1;
    ((slot == int(K) ? (id = registerShape<int(K)>(), 0) : 0), ...);
    return id;
}

template <std::size_t... K>
QVariant shapeValue(int slot, const QJsonValue &json, std::index_sequence<K...>)
{
    QVariant value;
    ((slot == int(K) ? (value = QVariant::fromValue(Shape<int(K)>{json}), 0) : 0), ...);
    return value;
}

int shapeIds[Shapes];

// The slot of a container or structure signature; -1 when all are taken.
int shapeSlot(const QString &signature)
{
    for (int k = 0; k < Shapes; k++) {
        if (shapeSignature[k].isEmpty()) {
            shapeSignature[k] = signature;
            shapeIds[k] = registerShapeAt(k, std::make_index_sequence<Shapes>());
        }
        if (shapeSignature[k] == signature) {
            // Qt learns the signature from a sample; one it cannot write is never used.
            const char *learnt = signatureOf(shapeIds[k]);
            return learnt && QLatin1String(learnt) == signature ? k : -1;
        }
    }
    return -1;
}

int basicId(QChar type)
{
    switch (type.toLatin1()) {
    case 'y': return QMetaType::UChar;
    case 'b': return QMetaType::Bool;
    case 'n': return QMetaType::Short;
    case 'q': return QMetaType::UShort;
    case 'i': return QMetaType::Int;
    case 'u': return QMetaType::UInt;
    case 'x': return QMetaType::LongLong;
    case 't': return QMetaType::ULongLong;
    case 'd': return QMetaType::Double;
    case 's': return QMetaType::QString;
    case 'o': return qMetaTypeId<QDBusObjectPath>();
    case 'g': return qMetaTypeId<QDBusSignature>();
    case 'v': return qMetaTypeId<QDBusVariant>();
    default: return -1;
    }
}

// The meta-type Qt writes elements of `signature` with.
int elementId(const QString &signature)
{
    if (signature.size() == 1)
        return basicId(signature[0]);
    const int slot = shapeSlot(signature);
    return slot < 0 ? -1 : shapeIds[slot];
}

bool fail(QString *error, const QString &why)
{
    if (error && error->isEmpty())
        *error = why;
    return false;
}

// The inner types of a structure "(...)" or a dictionary entry "{..}".
QStringList members(const QString &signature)
{
    return completeTypes(signature.mid(1, signature.size() - 2));
}

bool marshalBasic(QDBusArgument &arg, QChar type, const QJsonValue &json, QString *error)
{
    const bool undefined = json.isUndefined();   // Qt asks for a sample to learn the signature
    const double number = json.toDouble();
    if (!undefined && type != QLatin1Char('s') && type != QLatin1Char('o') && type != QLatin1Char('g')
        && type != QLatin1Char('b') && !json.isDouble())
        return fail(error, QStringLiteral("%1 is not a number").arg(json.toVariant().toString()));
    switch (type.toLatin1()) {
    case 'y': arg << uchar(number); break;
    case 'b':
        if (!undefined && !json.isBool())
            return fail(error, QStringLiteral("a flag is true or false"));
        arg << json.toBool();
        break;
    case 'n': arg << short(number); break;
    case 'q': arg << ushort(number); break;
    case 'i': arg << int(number); break;
    case 'u': arg << uint(number); break;
    case 'x': arg << qlonglong(number); break;
    case 't': arg << qulonglong(number); break;
    case 'd': arg << number; break;
    case 's': arg << json.toString(); break;
    case 'o': arg << QDBusObjectPath(undefined ? QStringLiteral("/") : json.toString()); break;
    case 'g': arg << QDBusSignature(undefined ? QStringLiteral("s") : json.toString()); break;
    default: return fail(error, QStringLiteral("no type \"%1\"").arg(type));
    }
    return true;
}

bool marshal(QDBusArgument &arg, const QString &signature, const QJsonValue &json, QString *error)
{
    if (signature.size() == 1 && signature != QLatin1String("v"))
        return marshalBasic(arg, signature[0], json, error);
    if (signature == QLatin1String("v")) {
        const QJsonArray pair = json.toArray();
        const QVariant inner = json.isUndefined() ? QVariant(QString())
                                                  : wireValue(pair.at(0).toString(), pair.at(1), error);
        if (!inner.isValid())
            return fail(error, QStringLiteral("a variant is [signature, value]"));
        arg << QDBusVariant(inner);
        return true;
    }
    if (signature.startsWith(QLatin1String("a{"))) {
        const QStringList kv = members(signature.mid(1));
        if (kv.size() != 2 || kv[0].size() != 1)
            return fail(error, QStringLiteral("\"%1\" is no dictionary").arg(signature));
        if (elementId(kv[0]) < 0 || elementId(kv[1]) < 0)
            return fail(error, QStringLiteral("\"%1\" cannot be written").arg(signature));
        arg.beginMap(elementId(kv[0]), elementId(kv[1]));
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            arg.beginMapEntry();
            const QJsonValue key = kv[0] == QLatin1String("s") || kv[0] == QLatin1String("o")
                ? QJsonValue(it.key()) : QJsonValue(it.key().toDouble());
            const bool ok = marshalBasic(arg, kv[0][0], key, error) && marshal(arg, kv[1], it.value(), error);
            arg.endMapEntry();
            if (!ok)
                return false;
        }
        arg.endMap();
        return json.isUndefined() || json.isObject() || fail(error, QStringLiteral("a dictionary is an object"));
    }
    if (signature.startsWith(QLatin1Char('a'))) {
        const QString element = signature.mid(1);
        if (elementId(element) < 0)
            return fail(error, QStringLiteral("\"%1\" cannot be written").arg(signature));
        arg.beginArray(elementId(element));
        for (const QJsonValue &item : json.toArray()) {
            if (!marshal(arg, element, item, error))
                return false;
        }
        arg.endArray();
        return json.isUndefined() || json.isArray() || fail(error, QStringLiteral("an array is [...]"));
    }
    if (signature.startsWith(QLatin1Char('('))) {
        const QStringList fields = members(signature);
        const QJsonArray values = json.toArray();
        if (!json.isUndefined() && values.size() != fields.size())
            return fail(error, QStringLiteral("(%1) takes %2 fields").arg(fields.join(QString())).arg(fields.size()));
        arg.beginStructure();
        for (int i = 0; i < fields.size(); i++) {
            if (!marshal(arg, fields[i], values.at(i), error))
                return false;
        }
        arg.endStructure();
        return true;
    }
    return fail(error, QStringLiteral("\"%1\" is not a type").arg(signature));
}

} // namespace

QVariant wireValue(const QString &signature, const QJsonValue &json, QString *error)
{
    if (completeTypes(signature).size() != 1)
        return fail(error, QStringLiteral("\"%1\" is not one type").arg(signature)), QVariant();
    if (signature.size() == 1 && signature != QLatin1String("v")) {
        // Plain values: Qt sends them as they are.
        QDBusArgument probe;
        QString why;
        if (!marshalBasic(probe, signature[0], json, &why))
            return fail(error, why), QVariant();
        switch (signature[0].toLatin1()) {
        case 's': return json.toString();
        case 'b': return json.toBool();
        case 'o': return QVariant::fromValue(QDBusObjectPath(json.toString()));
        case 'g': return QVariant::fromValue(QDBusSignature(json.toString()));
        case 'd': return json.toDouble();
        case 'y': return QVariant::fromValue(uchar(json.toDouble()));
        case 'n': return QVariant::fromValue(short(json.toDouble()));
        case 'q': return QVariant::fromValue(ushort(json.toDouble()));
        case 'i': return int(json.toDouble());
        case 'u': return uint(json.toDouble());
        case 'x': return qlonglong(json.toDouble());
        case 't': return qulonglong(json.toDouble());
        }
    }
    // The types Qt has of its own go as Qt's.
    if (signature == QLatin1String("as") && json.isArray()) {
        QStringList list;
        for (const QJsonValue &item : json.toArray()) {
            if (!item.isString())
                return fail(error, QStringLiteral("\"as\" is an array of texts")), QVariant();
            list << item.toString();
        }
        return list;
    }
    if (signature == QLatin1String("a{sv}") && json.isObject()) {
        QVariantMap map;
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QJsonArray pair = it.value().toArray();
            const QVariant inner = wireValue(pair.at(0).toString(), pair.at(1), error);
            if (!inner.isValid())
                return fail(error, QStringLiteral("a variant is [signature, value]")), QVariant();
            map.insert(it.key(), inner);
        }
        return map;
    }
    // A trial run finds what does not fit before anything is sent.
    QDBusArgument trial;
    QString why;
    const int slot = shapeSlot(signature);
    if (slot < 0)
        return fail(error, QStringLiteral("too many kinds of value")), QVariant();
    if (!marshal(trial, signature, json, &why))
        return fail(error, why), QVariant();
    return shapeValue(slot, json, std::make_index_sequence<Shapes>());
}
