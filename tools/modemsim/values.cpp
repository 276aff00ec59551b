// SPDX-License-Identifier: LGPL-2.1-or-later
#include "values.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>
#include <QStringList>

namespace {

QVariant parseMap(const QString &body, QString *error)
{
    QVariantMap map;
    if (body.trimmed().isEmpty())
        return map;
    for (const QString &entry : body.split(QLatin1Char(';'))) {
        const int eq = entry.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            if (error)
                *error = QStringLiteral("map entry \"%1\" is not KEY=VALUE").arg(entry);
            return {};
        }
        const QVariant value = parseValue(entry.mid(eq + 1), error);
        if (!value.isValid())
            return {};
        map.insert(entry.left(eq).trimmed(), value);
    }
    return map;
}

QString formatArgument(const QDBusArgument &arg);

QString formatPlain(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return formatArgument(value.value<QDBusArgument>());
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return formatPlain(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    switch (value.userType()) {
    case QMetaType::QString:
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    case QMetaType::QStringList:
        return QLatin1Char('[') + value.toStringList().join(QLatin1String(", ")) + QLatin1Char(']');
    case QMetaType::QVariantList: {
        QStringList items;
        for (const QVariant &item : value.toList())
            items << formatPlain(item);
        return QLatin1Char('[') + items.join(QLatin1String(", ")) + QLatin1Char(']');
    }
    case QMetaType::QVariantMap: {
        QStringList items;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            items << it.key() + QLatin1String(": ") + formatPlain(it.value());
        return QLatin1Char('{') + items.join(QLatin1String(", ")) + QLatin1Char('}');
    }
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::UChar:
        return QString::number(value.value<uchar>());
    default:
        return value.toString();
    }
}

QString formatArgument(const QDBusArgument &arg)
{
    switch (arg.currentType()) {
    case QDBusArgument::BasicType:
    case QDBusArgument::VariantType:
        return formatPlain(arg.asVariant());
    case QDBusArgument::ArrayType: {
        QStringList items;
        arg.beginArray();
        while (!arg.atEnd())
            items << formatPlain(arg.asVariant());
        arg.endArray();
        return QLatin1Char('[') + items.join(QLatin1String(", ")) + QLatin1Char(']');
    }
    case QDBusArgument::StructureType: {
        QStringList items;
        arg.beginStructure();
        while (!arg.atEnd())
            items << formatPlain(arg.asVariant());
        arg.endStructure();
        return QLatin1Char('(') + items.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    case QDBusArgument::MapType: {
        QStringList items;
        arg.beginMap();
        while (!arg.atEnd()) {
            arg.beginMapEntry();
            const QString key = formatPlain(arg.asVariant());
            items << key + QLatin1String(": ") + formatPlain(arg.asVariant());
            arg.endMapEntry();
        }
        arg.endMap();
        return QLatin1Char('{') + items.join(QLatin1String(", ")) + QLatin1Char('}');
    }
    default:
        return QStringLiteral("?");
    }
}

} // namespace

QVariant parseValue(const QString &text, QString *error)
{
    if (text.startsWith(QLatin1Char('{')) && text.endsWith(QLatin1Char('}')))
        return parseMap(text.mid(1, text.size() - 2), error);
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString type = colon > 0 ? text.left(colon) : QString();
    const QString body = text.mid(colon + 1);
    bool ok = false;
    // Reports a number that did not parse; `ok` is set by the conversion before.
    auto number = [&](auto value) -> QVariant {
        if (ok)
            return QVariant::fromValue(value);
        if (error)
            *error = QStringLiteral("\"%1\" is not a number of type %2").arg(body, type);
        return {};
    };
    if (type == QLatin1String("s"))
        return body;
    if (type == QLatin1String("b")) {
        ok = body == QLatin1String("true") || body == QLatin1String("false");
        return number(body == QLatin1String("true"));
    }
    if (type == QLatin1String("i")) {
        const int v = body.toInt(&ok);
        return number(v);
    }
    if (type == QLatin1String("u")) {
        const uint v = body.toUInt(&ok);
        return number(v);
    }
    if (type == QLatin1String("x")) {
        const qlonglong v = body.toLongLong(&ok);
        return number(v);
    }
    if (type == QLatin1String("t")) {
        const qulonglong v = body.toULongLong(&ok);
        return number(v);
    }
    if (type == QLatin1String("n")) {
        const short v = body.toShort(&ok);
        return number(v);
    }
    if (type == QLatin1String("q")) {
        const ushort v = body.toUShort(&ok);
        return number(v);
    }
    if (type == QLatin1String("y")) {
        const uint v = body.toUInt(&ok);
        ok = ok && v < 256;
        return number(uchar(v));
    }
    if (type == QLatin1String("d")) {
        const double v = body.toDouble(&ok);
        return number(v);
    }
    if (type == QLatin1String("o"))
        return QVariant::fromValue(QDBusObjectPath(body));
    if (type == QLatin1String("as"))
        return body.isEmpty() ? QStringList() : body.split(QLatin1Char(','));
    return text;
}

QString formatValue(const QVariant &value)
{
    return formatPlain(value);
}
