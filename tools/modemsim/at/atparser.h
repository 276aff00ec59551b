// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_ATPARSER_H
#define MODEMSIM_ATPARSER_H

#include <QByteArray>
#include <QList>

// What a terminal sends, split as a modem's command processor splits it
// (ITU-T V.250): a command line ends at CR; LF and NUL are ignored, a
// backspace takes back the character before it. After a prompt ("> ") the
// input up to Ctrl-Z is text (a message), ESC cancels it. Any bytes are
// taken: a line or a text past its limit is dropped whole and reported.
class AtReader
{
public:
    static constexpr int MaxLine = 1024;
    static constexpr int MaxText = 1024;

    enum class Kind {
        Line,         // a command line, without its CR
        Overlong,     // a line past MaxLine, dropped
        Text,         // the text after a prompt, without its Ctrl-Z
        Cancelled,    // a text ended by ESC, or past MaxText
    };
    struct Item {
        Kind kind;
        QByteArray bytes;
    };

    // Reads from the front of `input` up to the end of the next item: true
    // with the item (`input` holds what follows it), false when all of
    // `input` was taken and no item is complete yet.
    bool take(QByteArray *input, Item *item);
    // The input from now on is text, up to Ctrl-Z or ESC.
    void expectText();
    bool expectingText() const { return m_text; }
    // Forgets a line or text begun.
    void clear();

private:
    QByteArray m_pending;
    bool m_text = false;
    bool m_overlong = false;
};

// One argument of an extended command: a quoted string (without its
// quotes), or the text between commas; empty when left out ("AT+X=1,,3").
struct AtArgument {
    QByteArray text;
    bool quoted = false;

    bool isEmpty() const { return text.isEmpty() && !quoted; }
    // A whole number, or `fallback` when the argument is left out; `ok` is
    // false for anything else.
    int number(bool *ok, int fallback = 0) const;
};

// One command of a command line: a basic one ("E0", "D+35840;", "S3?") or
// an extended one ("+CREG=2", "+COPS?", "+CLCK=?", "+CGMI").
struct AtCommand {
    enum Type { Execute, Set, Read, Test };

    QByteArray name;                 // upper case: "E", "D", "S3", "&F", "+CREG"
    Type type = Execute;
    QList<AtArgument> arguments;     // of Set; a basic command's number is its only argument
    QByteArray dial;                 // of D: the dial string, its ";" included

    bool isExtended() const { return !name.isEmpty() && !std::isalpha(uchar(name[0])) && name[0] != '&'; }
    // The argument at `index`, or an empty one.
    AtArgument argument(int index) const { return arguments.value(index); }
};

// The commands of one line, after its "AT"; false (and nothing) when the
// line is no command line (no "AT" prefix) or breaks the syntax, then
// `error` is true for a syntax error. "A/" repeats the last line: the
// caller handles it before.
bool parseAtLine(const QByteArray &line, QList<AtCommand> *commands, bool *error);

// A command line as the call log keeps it: the codes it carries (PIN, PUK,
// passwords; the fields of a control string that changes one) replaced
// with asterisks.
QByteArray maskedAtLine(const QByteArray &line);

#endif
