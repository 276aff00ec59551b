// SPDX-License-Identifier: LGPL-2.1-or-later
#include "values.h"

#include "contract.h"
#include "wire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>
#include <QHash>
#include <QStringList>

namespace {

// A message holds 64 levels of containers; a map of variants takes three
// (array, entry, variant) and the control call wraps its values in two more.
constexpr int MaxMapDepth = 20;

QVariant parseValueAt(const QString &text, QString *error, int depth);

QVariant parseMap(const QString &body, QString *error, int depth)
{
    if (depth > MaxMapDepth) {
        if (error)
            *error = QStringLiteral("maps nest %1 deep at most: D-Bus carries no deeper value").arg(MaxMapDepth);
        return {};
    }
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
        const QVariant value = parseValueAt(entry.mid(eq + 1), error, depth);
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

// The numbers and flags of the value syntax: each type letter with its parser.
using Parse = QVariant (*)(const QString &body, bool *ok);

const QHash<QString, Parse> &scalars()
{
    static const QHash<QString, Parse> table{
        {QStringLiteral("b"), [](const QString &b, bool *ok) {
             *ok = b == QLatin1String("true") || b == QLatin1String("false");
             return QVariant(b == QLatin1String("true"));
         }},
        {QStringLiteral("i"), [](const QString &b, bool *ok) { return QVariant(b.toInt(ok)); }},
        {QStringLiteral("u"), [](const QString &b, bool *ok) { return QVariant(b.toUInt(ok)); }},
        {QStringLiteral("x"), [](const QString &b, bool *ok) { return QVariant(b.toLongLong(ok)); }},
        {QStringLiteral("t"), [](const QString &b, bool *ok) { return QVariant(b.toULongLong(ok)); }},
        {QStringLiteral("n"), [](const QString &b, bool *ok) { return QVariant::fromValue(b.toShort(ok)); }},
        {QStringLiteral("q"), [](const QString &b, bool *ok) { return QVariant::fromValue(b.toUShort(ok)); }},
        {QStringLiteral("y"), [](const QString &b, bool *ok) {
             const uint v = b.toUInt(ok);
             *ok = *ok && v < 256;
             return QVariant::fromValue(uchar(v));
         }},
        {QStringLiteral("d"), [](const QString &b, bool *ok) { return QVariant(b.toDouble(ok)); }},
    };
    return table;
}

QVariant parseValueAt(const QString &text, QString *error, int depth)
{
    if (text.startsWith(QLatin1Char('{')) && text.endsWith(QLatin1Char('}')))
        return parseMap(text.mid(1, text.size() - 2), error, depth + 1);
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString type = colon > 0 ? text.left(colon) : QString();
    const QString body = text.mid(colon + 1);
    if (const Parse parse = scalars().value(type)) {
        bool ok = false;
        const QVariant value = parse(body, &ok);
        if (ok)
            return value;
        if (error)
            *error = QStringLiteral("\"%1\" is not a number of type %2").arg(body, type);
        return {};
    }
    if (type == QLatin1String("s"))
        return body;
    if (type == QLatin1String("v")) {
        // v:SIGNATURE:JSON, any type.
        const int second = body.indexOf(QLatin1Char(':'));
        QJsonParseError parsed{};
        const QJsonDocument document = QJsonDocument::fromJson(
            QStringLiteral("[%1]").arg(body.mid(second + 1)).toUtf8(), &parsed);
        if (second <= 0 || parsed.error != QJsonParseError::NoError || document.array().size() != 1) {
            if (error)
                *error = QStringLiteral("\"%1\" is not v:SIGNATURE:JSON").arg(text.left(60));
            return {};
        }
        return wireValue(body.left(second), document.array().at(0), error);
    }
    if (type == QLatin1String("o"))
        return QVariant::fromValue(QDBusObjectPath(body));
    if (type == QLatin1String("as"))
        return body.isEmpty() ? QStringList() : body.split(QLatin1Char(','));
    return text;
}

} // namespace

QVariant parseValue(const QString &text, QString *error)
{
    return parseValueAt(text, error, 0);
}

QVariant parseValueAs(const QString &text, const QString &signature, QString *error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString type = colon > 0 ? text.left(colon) : QString();
    const bool typed = text.startsWith(QLatin1Char('{')) || scalars().contains(type)
        || type == QLatin1String("s") || type == QLatin1String("o") || type == QLatin1String("as")
        || type == QLatin1String("v");
    // A plain word takes the type asked for: "2" is an integer where one is wanted.
    const QVariant value = typed || signature == QLatin1String("s")
        ? parseValueAt(typed ? text : QStringLiteral("s:") + text, error, 0)
        : parseValueAt(signature + QLatin1Char(':') + text, error, 0);
    if (!value.isValid())
        return {};
    const QString actual = wireSignature({value});
    if (actual != signature) {
        if (error)
            *error = QStringLiteral("\"%1\" is of type %2, not %3").arg(text.left(60), actual, signature);
        return {};
    }
    return value;
}

namespace {

QJsonValue jsonOf(const QVariant &value, const QString &signature)
{
    if (signature == QLatin1String("v")) {
        const QVariant inner = value.userType() == qMetaTypeId<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
        const QString type = wireSignature({inner});
        return QJsonArray{type, jsonOf(inner, type)};
    }
    if (signature.startsWith(QLatin1String("a{"))) {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        const QString type = completeTypes(signature.mid(2, signature.size() - 3)).value(1);
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), jsonOf(it.value(), type));
        return object;
    }
    if (signature == QLatin1String("as"))
        return QJsonArray::fromStringList(value.toStringList());
    return QJsonValue::fromVariant(value);
}

// One word of a scenario line.
QString quoted(const QString &word)
{
    if (!word.contains(QLatin1Char(' ')) && !word.contains(QLatin1Char('"')) && !word.contains(QLatin1Char('\''))
        && !word.isEmpty())
        return word;
    return QLatin1Char('\'') + word + QLatin1Char('\'');
}

} // namespace

QString writeValue(const QVariant &value, const QString &signature)
{
    if (signature.size() == 1 && signature != QLatin1String("v") && signature != QLatin1String("s")
        && signature != QLatin1String("o"))
        return signature + QLatin1Char(':') + (signature == QLatin1String("b") ? QString::fromLatin1(value.toBool() ? "true" : "false")
                                               : signature == QLatin1String("y") ? QString::number(value.value<uchar>())
                                                                                : value.toString());
    if ((signature == QLatin1String("s") || signature == QLatin1String("o")) && !value.toString().contains(QLatin1Char('\'')))
        return quoted(signature + QLatin1Char(':') + value.toString());
    // Anything else, and text that holds a single quote: JSON, the quote escaped.
    return QLatin1Char('\'') + writeJsonValue(signature, jsonOf(value, signature)) + QLatin1Char('\'');
}

QString writeJsonValue(const QString &signature, const QJsonValue &json)
{
    QString text = QString::fromUtf8(QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact));
    text = text.mid(1, text.size() - 2).replace(QLatin1Char('\''), QLatin1String("\\u0027"));
    return QStringLiteral("v:%1:%2").arg(signature, text);
}

QString formatValue(const QVariant &value)
{
    return formatPlain(value);
}
