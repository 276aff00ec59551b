// SPDX-License-Identifier: LGPL-2.1-or-later
#include "atparser.h"

#include <QRegularExpression>

namespace {

constexpr char CtrlZ = 0x1a;
constexpr char Escape = 0x1b;
constexpr char Backspace = 0x08;
constexpr int MaxArguments = 32;
const QByteArray Mask = QByteArrayLiteral("********");

bool isNameChar(char c)
{
    return std::isalnum(uchar(c)) || c == '!' || c == '%' || c == '-' || c == '.' || c == '/' || c == ':' || c == '_';
}

bool isExtendedPrefix(char c)
{
    return c == '+' || c == '%' || c == '$' || c == '*' || c == '^' || c == '_' || c == '#' || c == '!';
}

// Reads the arguments of a set command from `at`; false on a string left open
// or too many of them.
bool readArguments(const QByteArray &body, int &at, QList<AtArgument> *arguments)
{
    for (;;) {
        AtArgument argument;
        while (at < body.size() && body[at] == ' ')
            at++;
        if (at < body.size() && body[at] == '"') {
            const int close = body.indexOf('"', at + 1);
            if (close < 0)
                return false;
            argument.text = body.mid(at + 1, close - at - 1);
            argument.quoted = true;
            at = close + 1;
            while (at < body.size() && body[at] == ' ')
                at++;
        } else {
            while (at < body.size() && body[at] != ',' && body[at] != ';') {
                if (body[at] == '"')
                    return false;
                if (body[at] != ' ')
                    argument.text += body[at];
                at++;
            }
        }
        arguments->append(argument);
        if (arguments->size() > MaxArguments)
            return false;
        if (at < body.size() && body[at] == ',') {
            at++;
            continue;
        }
        // After a string only a separator or the end may come.
        return at >= body.size() || body[at] == ';';
    }
}

bool readDigits(const QByteArray &body, int &at, QByteArray *digits)
{
    while (at < body.size() && std::isdigit(uchar(body[at])))
        *digits += body[at++];
    return digits->size() <= 9;
}

// The supplementary service procedures whose fields are codes: PIN and PUK
// changes and unblocking, barring and its password.
const QRegularExpression &codeProcedure()
{
    static const QRegularExpression re(QStringLiteral("^([*#]{1,2}(03|04|042|05|052|33|331|332|35|351|330|333|353))\\*"));
    return re;
}

QByteArray maskedControlString(const QByteArray &text)
{
    const QRegularExpressionMatch match = codeProcedure().match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return text;
    return match.captured(1).toLatin1() + '*' + Mask;
}

// Which arguments of a command are codes.
bool isCode(const AtCommand &command, int index)
{
    if (command.name == "+CPIN" || command.name == "+CPIN2")
        return true;
    if (command.name == "+CLCK")
        return index == 2;
    if (command.name == "+CPWD")
        return index == 1 || index == 2;
    return false;
}

} // namespace

// ---- Reader ----

bool AtReader::take(QByteArray *input, Item *item)
{
    int at = 0;
    bool complete = false;
    while (at < input->size() && !complete) {
        const char c = input->at(at++);
        if (m_text) {
            if (c == CtrlZ || c == Escape) {
                *item = {c == CtrlZ && !m_overlong ? Kind::Text : Kind::Cancelled, m_pending};
                m_text = false;
                complete = true;
            } else if (c == Backspace) {
                m_pending.chop(1);
            } else if (c != '\r' && c != '\n' && c != '\0') {
                if (m_pending.size() < MaxText)
                    m_pending += c;
                else
                    m_overlong = true;
            }
        } else if (c == '\r') {
            *item = {m_overlong ? Kind::Overlong : Kind::Line, m_pending};
            complete = true;
        } else if (c == Backspace) {
            m_pending.chop(1);
        } else if (c != '\n' && c != '\0') {
            if (m_pending.size() < MaxLine)
                m_pending += c;
            else
                m_overlong = true;
        }
    }
    input->remove(0, at);
    if (complete) {
        m_pending.clear();
        m_overlong = false;
    }
    return complete;
}

void AtReader::expectText()
{
    m_text = true;
    m_overlong = false;
    m_pending.clear();
}

void AtReader::clear()
{
    m_pending.clear();
    m_text = m_overlong = false;
}

// ---- Arguments ----

int AtArgument::number(bool *ok, int fallback) const
{
    if (isEmpty()) {
        *ok = true;
        return fallback;
    }
    *ok = !quoted && !text.isEmpty() && text.size() <= 9;
    for (const char c : text)
        *ok = *ok && std::isdigit(uchar(c));
    return *ok ? text.toInt() : fallback;
}

// ---- Command lines ----

bool parseAtLine(const QByteArray &line, QList<AtCommand> *commands, bool *error)
{
    commands->clear();
    *error = false;
    const QByteArray trimmed = line.trimmed();
    if (trimmed.size() < 2 || std::toupper(uchar(trimmed[0])) != 'A' || std::toupper(uchar(trimmed[1])) != 'T')
        return false;
    const QByteArray body = trimmed.mid(2);
    QList<AtCommand> parsed;
    int at = 0;
    auto fail = [&] {
        *error = true;
        return false;
    };
    while (at < body.size()) {
        const char c = char(std::toupper(uchar(body[at])));
        if (c == ' ' || c == ';') {
            at++;
            continue;
        }
        AtCommand command;
        if (isExtendedPrefix(c)) {
            command.name += c;
            at++;
            while (at < body.size() && isNameChar(body[at]))
                command.name += char(std::toupper(uchar(body[at++])));
            if (command.name.size() < 2)
                return fail();
            if (body.mid(at, 2) == "=?") {
                command.type = AtCommand::Test;
                at += 2;
            } else if (at < body.size() && body[at] == '?') {
                command.type = AtCommand::Read;
                at++;
            } else if (at < body.size() && body[at] == '=') {
                command.type = AtCommand::Set;
                at++;
                if (!readArguments(body, at, &command.arguments))
                    return fail();
            }
            while (at < body.size() && body[at] == ' ')
                at++;
            if (at < body.size() && body[at] != ';')
                return fail();
        } else if (c == 'D') {
            command.name = "D";
            at++;
            // The dial string runs to its ";" (a voice call) or the line's end.
            const int end = body.indexOf(';', at);
            const QByteArray dial = end < 0 ? body.mid(at) : body.mid(at, end - at + 1);
            at = end < 0 ? body.size() : end + 1;
            for (const char d : dial) {
                if (d != ' ')
                    command.dial += d;
            }
        } else if (c == 'S') {
            at++;
            QByteArray digits;
            if (!readDigits(body, at, &digits) || digits.isEmpty())
                return fail();
            command.name = "S" + digits;
            if (at < body.size() && body[at] == '?') {
                command.type = AtCommand::Read;
                at++;
            } else if (at < body.size() && body[at] == '=') {
                command.type = AtCommand::Set;
                at++;
                QByteArray value;
                if (!readDigits(body, at, &value))
                    return fail();
                command.arguments.append({value, false});
            } else {
                return fail();
            }
        } else if (c == '&' || std::isalpha(uchar(c))) {
            command.name += c;
            at++;
            if (c == '&') {
                if (at >= body.size() || !std::isalpha(uchar(body[at])))
                    return fail();
                command.name += char(std::toupper(uchar(body[at++])));
            }
            QByteArray digits;
            if (!readDigits(body, at, &digits))
                return fail();
            if (!digits.isEmpty())
                command.arguments.append({digits, false});
        } else {
            return fail();
        }
        parsed.append(command);
    }
    *commands = parsed;
    return true;
}

QByteArray maskedAtLine(const QByteArray &line)
{
    QList<AtCommand> commands;
    bool error = false;
    if (!parseAtLine(line, &commands, &error)) {
        // Not a command line the modem takes: nothing of it is read as a code,
        // but it may hold one all the same.
        static const QRegularExpression codes(QStringLiteral("CPIN|CLCK|CPWD|[*#]0[345]|[*#]3[35]"),
                                              QRegularExpression::CaseInsensitiveOption);
        return codes.match(QString::fromLatin1(line)).hasMatch() ? QByteArray("AT") + Mask : line;
    }
    QByteArray out = "AT";
    for (int i = 0; i < commands.size(); i++) {
        const AtCommand &command = commands[i];
        if (command.name == "D") {
            out += "D" + maskedControlString(command.dial);
            continue;
        }
        out += command.name;
        if (command.type == AtCommand::Test) {
            out += "=?";
        } else if (command.type == AtCommand::Read) {
            out += '?';
        } else if (command.type == AtCommand::Set || command.isExtended()) {
            if (command.type == AtCommand::Set)
                out += '=';
            for (int a = 0; a < command.arguments.size(); a++) {
                const AtArgument &argument = command.arguments[a];
                QByteArray text = argument.text;
                if (isCode(command, a) && !argument.isEmpty())
                    text = Mask;
                else if (command.name == "+CUSD" && a == 1)
                    text = maskedControlString(text);
                out += (a ? "," : "") + (argument.quoted ? '"' + text + '"' : text);
            }
        } else if (!command.arguments.isEmpty()) {
            out += command.arguments[0].text;
        }
        if (command.isExtended() && i + 1 < commands.size())
            out += ';';
    }
    return out;
}
