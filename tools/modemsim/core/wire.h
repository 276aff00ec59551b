// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_WIRE_H
#define MODEMSIM_WIRE_H

#include <QJsonValue>
#include <QString>
#include <QVariant>

// Values of any D-Bus type, written as their signature and a JSON text: the
// form recordings keep replies and signals in.
//
//   a(ssssssb)  [["Ondrix Mobile","Current","Home","GSM_900_1800","05","244",true]]
//   a{sv}       {"Timezone":["i",8],"UTC":["x",1700000000]}
//
// A variant is a pair [signature, value]; a dictionary is an object whose
// keys are the keys' text; "ay" is an array of numbers.

// A value that goes on the wire with exactly `signature`; invalid, with the
// reason in `error`, when `json` does not fit it or the signature is not one
// complete type.
QVariant wireValue(const QString &signature, const QJsonValue &json, QString *error = nullptr);

#endif
