// SPDX-License-Identifier: LGPL-2.1-or-later
#include "controlstring.h"

#include <QRegularExpression>

namespace Ondrix {

namespace {

const char *const barringProgrammes[] = {"33", "331", "332", "35", "351", "330", "333", "353"};

} // namespace

ControlString::~ControlString()
{
    for (QString &text : fields)
        wipe(text);
}

bool parseControlString(const QString &command, ControlString &out)
{
    // The longest prefix that leaves a service code: alternatives longest first.
    // The whole string, line breaks included, is matched.
    static const QRegularExpression controlString(
        QRegularExpression::anchoredPattern(QStringLiteral("(\\*\\*|\\*#|##|\\*|#)(.+)#")),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = controlString.match(command);
    if (!match.hasMatch())
        return false;
    out.prefix = match.captured(1);
    QString body = match.captured(2);
    out.fields = body.split(QLatin1Char('*'));
    wipe(body);
    out.code = out.fields.takeFirst();
    return true;
}

SimProcedure simProcedureOf(const QString &code)
{
    if (code == QLatin1String("04"))
        return SimProcedure::ChangePin;
    if (code == QLatin1String("042"))
        return SimProcedure::ChangePin2;
    if (code == QLatin1String("05"))
        return SimProcedure::UnblockPin;
    if (code == QLatin1String("052"))
        return SimProcedure::UnblockPin2;
    return SimProcedure::None;
}

bool carriesCode(const QString &command)
{
    // Looser than a control string: "**04*1234" without its "#", or a stray
    // "#" inside, is still a code on its way out.
    static const QRegularExpression start(QStringLiteral("^[*#]{1,2}(\\d+)(?:[*#]|$)"));
    const QRegularExpressionMatch match = start.match(command);
    if (!match.hasMatch())
        return false;
    const QString code = match.captured(1);
    if (simProcedureOf(code) != SimProcedure::None || code == QLatin1String("03"))
        return true;
    for (const char *programme : barringProgrammes) {
        if (code == QLatin1String(programme))
            return true;
    }
    return false;
}

void wipe(QString &text)
{
    if (text.isDetached()) {
        volatile ushort *data = reinterpret_cast<volatile ushort *>(text.data());
        for (int i = 0; i < text.size(); i++)
            data[i] = 0;
    }
    text.clear();
}

} // namespace Ondrix
