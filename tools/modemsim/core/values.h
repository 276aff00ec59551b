// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_VALUES_H
#define MODEMSIM_VALUES_H

#include <QString>
#include <QJsonValue>
#include <QVariant>

// Typed values written on a command line:
//   s:TEXT  b:true  i:-3  u:3  x:  t:  n:  q:  y:  d:1.5  o:/path  as:one,two
//   {Key=s:Text;Other=b:false}   a map "a{sv}"
//   v:a(su):[["x",1]]  any type: its signature and the value as JSON
// Text without a type prefix is a string.
QVariant parseValue(const QString &text, QString *error = nullptr);

// The same for a value of one type: a plain word takes that type ("2" for
// "i" is the integer 2); a typed one must be of it. Invalid, with the
// reason in `error`, when the text does not give that type.
QVariant parseValueAs(const QString &text, const QString &signature, QString *error);

// The value syntax of `value` as a value of `signature`, one word of a
// scenario line (quoted as the line needs it).
QString writeValue(const QVariant &value, const QString &signature);

// "v:SIGNATURE:JSON" for a value given as JSON, its single quotes escaped so
// that it can stand between single quotes in a scenario line.
QString writeJsonValue(const QString &signature, const QJsonValue &json);

// A readable form of any value received from D-Bus, nested containers included.
QString formatValue(const QVariant &value);

#endif
