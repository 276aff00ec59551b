// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_COMMANDS_H
#define MODEMSIM_COMMANDS_H

#include <QStringList>
#include <QVariantList>

// The simulator's commands, as "ondrix-modemsim ctl" and scenarios write
// them ("set INTERFACE NAME VALUE", "sim state PINRequired", ...), turned into
// calls of the control interface.
struct Request {
    QString method;             // empty: the words are off
    QVariantList args;
    QString error = {};         // why, when they are off; empty: not a command at all
    QVariantList first = {};    // arguments of a SetProperty made before the call, if any

    bool valid() const { return !method.isEmpty(); }
};

Request requestOf(const QStringList &words);

#endif
