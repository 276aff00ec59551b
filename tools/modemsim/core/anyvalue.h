// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_ANYVALUE_H
#define MODEMSIM_ANYVALUE_H

#include <QMap>
#include <QString>
#include <QVariant>

#include <functional>

// Values a broken or malicious daemon might send: of a given type with any
// contents, or of any type. Texts come from the daemon's own vocabulary, so
// that garbage also meets an application's tables, or are any valid text;
// numbers include the extremes; variants, maps and structures nest as deep
// as a sender can marshal them. Every choice is drawn from the source: a
// seeded generator makes a repeatable sequence, a fuzzer's input one it
// steers.
class AnyValues
{
public:
    // A number below `bound`, or any 32 bits when `bound` is 0.
    using Source = std::function<quint32(quint32 bound)>;

    explicit AnyValues(Source source);

    // A value of one complete type, the contract's types with any contents.
    QVariant valueOf(const QString &type, int depth = 0);
    // A value of a type the source chooses.
    QVariant anyValue(int depth = 0);
    // Arguments of each type of `signature`.
    QVariantList argumentsOf(const QString &signature);
    // Up to four arguments of any types.
    QVariantList anyArguments();
    // A property map of an interface (name -> type): some properties left
    // out, some of another type, now and then a name the interface lacks.
    QVariantMap propertyMap(const QMap<QString, QString> &types);
    QString text();

private:
    quint32 below(quint32 bound) { return m_source(bound); }
    quint64 bits64() { return quint64(m_source(0)) << 32 | m_source(0); }

    Source m_source;
};

#endif
