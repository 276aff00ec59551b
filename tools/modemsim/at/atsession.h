// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MODEMSIM_ATSESSION_H
#define MODEMSIM_ATSESSION_H

#include "atparser.h"

#include <ondrix-qt/smscodec.h>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QtDBus/QDBusMessage>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

class AtSession;
class ModemEvents;
class Simulator;

// The modem's answer to a call the AT side made: its values, or its error.
class AtAnswer
{
public:
    explicit AtAnswer(const QDBusMessage &message);

    bool failed() const { return m_message.type() != QDBusMessage::ReplyMessage; }
    // The last part of the error's name ("WrongPassword"), empty when none.
    QString error() const;
    // Whether the values are of `signature`: anything else (the hostile mode
    // answers anything) is taken as a failure.
    bool is(const char *signature) const { return !failed() && m_signature == QLatin1String(signature); }
    QVariant value(int index) const { return m_message.arguments().value(index); }
    // A list of the modem's own values ("GetNetworks", ...); empty when the
    // answer holds other values of that signature.
    template <typename T>
    QList<T> list(int index) const
    {
        const QVariant v = value(index);
        return v.userType() == qMetaTypeId<QList<T>>() ? v.value<QList<T>>() : QList<T>();
    }

private:
    QDBusMessage m_message;
    QString m_signature;   // inside the simulator a message has none of its own
};

// One part of the AT modem (the card, the network, ...): the commands it
// takes and the result codes the modem's changes bring.
class AtPart
{
public:
    explicit AtPart(AtSession *session) : s(session) {}
    virtual ~AtPart() = default;

    // A signal of the modem went out: the unsolicited results it brings.
    virtual void signalled(const QString &interface, const QString &member, const QVariantList &args)
    {
        Q_UNUSED(interface) Q_UNUSED(member) Q_UNUSED(args)
    }
    // Back to the terminal's defaults (ATZ, AT&F).
    virtual void reset() {}

protected:
    AtSession *s;
};

// The AT modem one terminal talks to: it reads command lines, runs their
// commands one after the other against the simulator's modem and writes
// the responses; the modem's changes go out as unsolicited result codes,
// never in the middle of a response. Transport-free: bytes go in through
// feed() and come out through output().
class AtSession : public QObject
{
    Q_OBJECT
public:
    AtSession(Simulator *sim, ModemEvents *events, QObject *parent = nullptr);
    ~AtSession() override;

    void feed(const QByteArray &bytes);

    // ---- For the parts ----

    using Handler = std::function<void(const AtCommand &)>;
    void add(const QByteArray &name, Handler handler);
    // Hands the running command to the handler added under `name`: a part
    // takes some of another's command (the barring facilities of +CLCK).
    void forward(const QByteArray &name, const AtCommand &command);

    // The running command's responses. Each command ends in exactly one of
    // done(), error(), cmeError() or finalResult().
    void info(const QByteArray &line);
    void done();
    void error();
    void cmeError(int code);
    void cmsError(int code);
    void finalResult(const QByteArray &text);
    // A prompt ("> "): the text that follows goes to `take`, or it is
    // cancelled (then the command ends in an error).
    void prompt(std::function<void(const QByteArray &text)> take);
    // An unsolicited result code, held while a command runs.
    void unsolicited(const QByteArray &line);

    // The modem's state, read as it stands (a property of an interface).
    QVariant state(const char *interface, const char *name) const;
    void setState(const char *interface, const char *name, const QVariant &value);
    // Calls the modem for the running command: `then` sees the answer unless
    // the command ended meanwhile (the terminal went, the modem reset).
    void ask(const char *interface, const char *member, const QVariantList &args,
             std::function<void(const AtAnswer &)> then);
    // The same, whatever happens to the command: for the modem's own doings.
    void askAnyway(const char *interface, const char *member, const QVariantList &args,
                   std::function<void(const AtAnswer &)> then);

    Simulator *simulator() const { return sim; }
    ModemEvents *modemEvents() const { return events; }

    // Text as the terminal's character set (+CSCS) writes it inside quotes:
    // what the set cannot hold, quotes and line ends become "?".
    QByteArray text(const QString &value) const;
    // A string argument read in the terminal's character set; false when it
    // is not text of that set.
    bool fromText(const QByteArray &bytes, QString *value) const;
    // Plain GSM 7-bit default alphabet codes, one per octet, whatever the
    // character set (the SIM's files and USSD strings are these).
    QByteArray gsm(const QString &value) const;

    // Settings of the terminal.
    QByteArray charset = "GSM";   // +CSCS
    int errorMode = 1;            // +CMEE: numeric by default, as oFono's phonesim expects

Q_SIGNALS:
    void output(const QByteArray &bytes);

private:
    void read();
    void takeLine(const AtReader::Item &line);
    void runNext();
    void endLine(const QByteArray &result);
    void write(const QByteArray &line);
    void flushUnsolicited();
    void abortCommand();
    void log(const char *direction, const QByteArray &line);
    void logReceived(const QByteArray &line);
    QString path(const char *interface) const;

    Simulator *sim;
    ModemEvents *events;
    AtReader m_reader;
    QHash<QByteArray, Handler> m_handlers;
    std::vector<std::unique_ptr<AtPart>> m_parts;
    QList<AtCommand> m_line;            // the running line's commands still to run
    bool m_running = false;             // a command runs: its line has not ended
    quint64 m_command = 0;              // the running command's number
    QByteArray m_lastLine;              // for "A/"
    QList<QByteArray> m_held;           // unsolicited results held back
    QByteArray m_input;                 // what came and is not read yet
    std::function<void(const QByteArray &)> m_takeText;
    bool m_echo = false;                // E: off, as the terminals of a simulated modem want it
    bool m_verbose = true;              // V
    bool m_quiet = false;               // Q
    sms_conv_ctx_t *m_gsm = nullptr;    // the GSM default alphabet
};

// The parts, one per file.
std::unique_ptr<AtPart> createAtDevice(AtSession *session);
std::unique_ptr<AtPart> createAtCard(AtSession *session);
std::unique_ptr<AtPart> createAtPhonebook(AtSession *session);
std::unique_ptr<AtPart> createAtNetwork(AtSession *session);
std::unique_ptr<AtPart> createAtServices(AtSession *session);
std::unique_ptr<AtPart> createAtCalls(AtSession *session);
std::unique_ptr<AtPart> createAtMessages(AtSession *session);

#endif
