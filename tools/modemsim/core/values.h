// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_VALUES_H
#define MODEMSIM_VALUES_H

#include <QString>
#include <QVariant>

// Typed values written on a command line:
//   s:TEXT  b:true  i:-3  u:3  x:  t:  n:  q:  y:  d:1.5  o:/path  as:one,two
//   {Key=s:Text;Other=b:false}   a map "a{sv}"
// Text without a type prefix is a string.
QVariant parseValue(const QString &text, QString *error = nullptr);

// A readable form of any value received from D-Bus, nested containers included.
QString formatValue(const QVariant &value);

#endif
