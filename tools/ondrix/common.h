// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CLI_COMMON_H
#define ONDRIX_CLI_COMMON_H

#include <QStringList>
#include <QTextStream>

inline QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

inline QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// One "label:  value" line.
inline void line(const QString &label, const QString &value)
{
    out() << QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(value) << '\n' << Qt::flush;
}

int sms(const QStringList &args);
int cbs(const QStringList &args);
int smsc(const QStringList &args);

#endif
