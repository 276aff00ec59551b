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

namespace {

// The string as a dialler reads it: compatibility forms folded (full-width
// digits, "＊" and "＃" are the keys they look like), and white space, controls
// and format characters (a zero-width space, a direction mark) dropped.
QString dialled(const QString &command)
{
    const QString folded = command.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(folded.size());
    for (const QChar c : folded) {
        const QChar::Category category = c.category();
        if (c.isSpace() || category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        out += c;
    }
    return out;
}

bool isCodeProcedure(const QString &code)
{
    if (simProcedureOf(code) != SimProcedure::None || code == QLatin1String("03"))
        return true;
    for (const char *programme : barringProgrammes) {
        if (code == QLatin1String(programme))
            return true;
    }
    return false;
}

} // namespace

bool carriesCode(const QString &command)
{
    // A procedure's code where a procedure can start (the string's start, or
    // after anything but a digit or "*": what follows a digit is a field of
    // another code), ended by "*", "#" or the end; or anywhere, with a field of
    // digits after it, as a code's fields follow. Looser than a control
    // string: "**04*1234" without its "#" is still a code on its way out.
    static const QRegularExpression procedure(
        QStringLiteral("(?:^|[^0-9*])[*#]+([0-9]+)(?=[*#]|$)|[*#]([0-9]+)\\*[0-9]"));
    const QString text = dialled(command);
    for (int at = 0; at < text.size(); at++) {
        // Every start, overlapping ones too.
        const QRegularExpressionMatch match = procedure.match(text, at);
        if (!match.hasMatch())
            break;
        if (isCodeProcedure(match.captured(1)) || isCodeProcedure(match.captured(2)))
            return true;
        at = match.capturedStart();
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
