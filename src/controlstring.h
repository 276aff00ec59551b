// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_CONTROLSTRING_H
#define ONDRIX_CONTROLSTRING_H

// The control strings a user types into a dialler (3GPP TS 22.030 clause
// 6.5.2): a prefix, a service code, fields separated by "*", a closing "#".
// Internal to the library.

#include <QString>
#include <QStringList>

namespace Ondrix {

struct ControlString {
    QString prefix;       // "**", "*", "#", "##" or "*#"
    QString code;         // the service code
    QStringList fields;   // the supplementary information, empty ones kept

    // Field `n` (from 1), empty when absent.
    QString field(int n) const { return fields.value(n - 1); }

    // The fields may hold codes: they are wiped as the parse goes.
    ~ControlString();
};

// Splits `command` into its parts; false when it is no control string. The
// prefix is the longest that still leaves a service code.
bool parseControlString(const QString &command, ControlString &out);

// The procedures the phone runs itself against the SIM card, whose fields
// are codes (TS 22.030 clause 6.6): change of PIN ("04") and PIN2 ("042"),
// unblocking with PUK ("05") and PUK2 ("052").
enum class SimProcedure { None, ChangePin, ChangePin2, UnblockPin, UnblockPin2 };
SimProcedure simProcedureOf(const QString &code);

// True when a string names a procedure whose fields carry a code: the SIM's
// own procedures, the barring password change and the barring programs. Such
// a string never goes to the network as USSD, whether or not it parses.
bool carriesCode(const QString &command);

// Overwrites the text of `text` with zeros when nobody else shares it.
void wipe(QString &text);

} // namespace Ondrix

#endif
