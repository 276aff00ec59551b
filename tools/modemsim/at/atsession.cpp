// SPDX-License-Identifier: LGPL-2.1-or-later
#include "atsession.h"

#include "contract.h"
#include "modem.h"
#include "service.h"
#include "simulator.h"

#include <ondrix-qt/smscodec.h>

#include <cstdlib>

namespace {

constexpr int MaxHeld = 256;          // unsolicited results held while a command runs
constexpr int MaxUnread = 1 << 16;    // input a terminal may type ahead

// V.250 result codes in their numeric form (ATV0).
int numericCode(const QByteArray &text)
{
    static const QHash<QByteArray, int> codes{{"OK", 0},        {"CONNECT", 1}, {"RING", 2},     {"NO CARRIER", 3},
                                              {"ERROR", 4},     {"NO DIALTONE", 6}, {"BUSY", 7}, {"NO ANSWER", 8}};
    return codes.value(text, -1);
}

// The texts of the +CME ERROR codes the modem gives (3GPP TS 27.007 9.2), for +CMEE=2.
QByteArray cmeText(int code)
{
    static const QHash<int, const char *> texts{
        {3, "operation not allowed"},  {4, "operation not supported"}, {10, "SIM not inserted"},
        {11, "SIM PIN required"},      {12, "SIM PUK required"},        {13, "SIM failure"},
        {14, "SIM busy"},              {15, "SIM wrong"},               {16, "incorrect password"},
        {17, "SIM PIN2 required"},     {18, "SIM PUK2 required"},       {20, "memory full"},
        {21, "invalid index"},         {22, "not found"},               {24, "text string too long"},
        {26, "dial string too long"},  {27, "invalid characters in dial string"},
        {30, "no network service"},    {31, "network timeout"},         {32, "network not allowed - emergency calls only"},
        {50, "incorrect parameters"},  {100, "unknown"},
    };
    return texts.value(code, "unknown");
}

} // namespace

AtAnswer::AtAnswer(const QDBusMessage &message)
    : m_message(message)
    , m_signature(wireSignature(message.arguments()))
{
}

QString AtAnswer::error() const
{
    return failed() ? m_message.errorName().section(QLatin1Char('.'), -1) : QString();
}

AtSession::AtSession(Simulator *sim_, ModemEvents *events_, QObject *parent)
    : QObject(parent)
    , sim(sim_)
    , events(events_)
{
    m_gsm = sms_conv_ctx_open(SMS_LANG_DEFAULT);
    for (auto create : {createAtDevice, createAtCard, createAtPhonebook, createAtNetwork, createAtServices, createAtCalls, createAtMessages})
        m_parts.push_back(create(this));
    connect(sim, &Simulator::signalled, this,
            [this](const QString &interface, const QString &member, const QVariantList &args) {
                for (auto &part : m_parts)
                    part->signalled(interface, member, args);
            });
    // The modem started over: whatever ran is over, and the terminal is told
    // to start over too.
    connect(sim, &Simulator::wasReset, this, [this] {
        abortCommand();
        for (auto &part : m_parts)
            part->reset();
        unsolicited("+CRST: 1");
    });
}

AtSession::~AtSession()
{
    // The parts go first, and what they do as they go (a call ends) reaches
    // none of them.
    disconnect(sim, nullptr, this, nullptr);
    disconnect(events, nullptr, this, nullptr);
    m_parts.clear();
    sms_conv_ctx_close(m_gsm);
}

void AtSession::add(const QByteArray &name, Handler handler)
{
    m_handlers.insert(name, std::move(handler));
}

void AtSession::forward(const QByteArray &name, const AtCommand &command)
{
    const Handler handler = m_handlers.value(name);
    if (handler)
        handler(command);
    else
        cmeError(4);
}

// ---- Input ----

void AtSession::feed(const QByteArray &bytes)
{
    // A terminal that sends on and on while a command runs loses what its
    // modem cannot hold.
    m_input += bytes.left(qMax(0, MaxUnread - m_input.size()));
    read();
}

// Reads while the modem takes input: between commands, and for a prompt's
// text. What comes meanwhile waits, as in a modem's buffer.
void AtSession::read()
{
    AtReader::Item item;
    while ((!m_running || m_takeText) && m_reader.take(&m_input, &item)) {
        switch (item.kind) {
        case AtReader::Kind::Text:
        case AtReader::Kind::Cancelled: {
            auto take = std::move(m_takeText);
            m_takeText = nullptr;
            log("Received", item.kind == AtReader::Kind::Text ? item.bytes + "<ctrl-z>" : QByteArray("<esc>"));
            if (!take)
                break;
            if (item.kind == AtReader::Kind::Text)
                take(item.bytes);
            else
                error();
            break;
        }
        case AtReader::Kind::Overlong:
        case AtReader::Kind::Line:
            takeLine(item);
            break;
        }
    }
}

void AtSession::takeLine(const AtReader::Item &item)
{
    if (item.kind == AtReader::Kind::Overlong) {
        log("Received", "<a line past " + QByteArray::number(AtReader::MaxLine) + " characters>");
        m_running = true;
        endLine("ERROR");
        return;
    }
    const QByteArray &typed = item.bytes;
    if (m_echo)
        emit output(typed + '\r');
    const QByteArray line = typed.trimmed().toUpper() == "A/" ? m_lastLine : typed;
    QList<AtCommand> commands;
    bool syntaxError = false;
    if (!parseAtLine(line, &commands, &syntaxError)) {
        if (!syntaxError)
            return;   // no command line: the modem waits for one
        logReceived(line);
        m_running = true;
        endLine("ERROR");
        return;
    }
    logReceived(line);
    m_lastLine = line;
    m_line = commands;
    m_running = true;
    runNext();
}

void AtSession::runNext()
{
    if (m_line.isEmpty()) {
        endLine("OK");
        return;
    }
    const AtCommand command = m_line.takeFirst();
    ++m_command;
    // The terminal's own settings.
    const int value = command.argument(0).text.toInt();
    if (command.name == "E" || command.name == "V" || command.name == "Q") {
        if (value > 1)
            return error();
        (command.name == "E" ? m_echo : command.name == "V" ? m_verbose : m_quiet) = command.name == "Q" ? value == 1 : value != 0;
        if (command.name == "E" && command.arguments.isEmpty())
            m_echo = false;
        return done();
    }
    if (command.name == "Z" || command.name == "&F") {
        m_echo = m_quiet = false;
        m_verbose = true;
        charset = "GSM";
        errorMode = 1;
        for (auto &part : m_parts)
            part->reset();
        return done();
    }
    const Handler handler = m_handlers.value(command.name.startsWith('S') && !command.isExtended() ? QByteArray("S")
                                                                                                   : command.name);
    if (!handler)
        return error();
    handler(command);
}

// ---- Responses ----

void AtSession::write(const QByteArray &line)
{
    log("Sent", line);
    emit output(m_verbose ? "\r\n" + line + "\r\n" : line + "\r\n");
}

void AtSession::info(const QByteArray &line)
{
    if (m_running)
        write(line);
}

void AtSession::done()
{
    if (m_running)
        runNext();
}

void AtSession::error()
{
    finalResult("ERROR");
}

void AtSession::cmeError(int code)
{
    finalResult(errorMode == 0 ? QByteArray("ERROR")
                : errorMode == 1 ? "+CME ERROR: " + QByteArray::number(code)
                                 : "+CME ERROR: " + cmeText(code));
}

void AtSession::cmsError(int code)
{
    finalResult(errorMode == 0 ? QByteArray("ERROR") : "+CMS ERROR: " + QByteArray::number(code));
}

void AtSession::finalResult(const QByteArray &text)
{
    if (!m_running)
        return;
    m_line.clear();
    endLine(text);
}

void AtSession::endLine(const QByteArray &result)
{
    m_running = false;
    ++m_command;
    m_takeText = nullptr;
    if (m_reader.expectingText())
        m_reader.clear();
    if (!m_quiet) {
        const int code = numericCode(result);
        if (m_verbose || code < 0)
            write(result);
        else {
            log("Sent", result);
            emit output(QByteArray::number(code) + '\r');
        }
    }
    flushUnsolicited();
    // Input typed ahead is read now, from the event loop: a long burst of
    // lines never deepens the stack.
    if (!m_input.isEmpty())
        QMetaObject::invokeMethod(this, [this] { read(); }, Qt::QueuedConnection);
}

void AtSession::prompt(std::function<void(const QByteArray &)> take)
{
    if (!m_running)
        return;
    m_takeText = std::move(take);
    m_reader.expectText();
    log("Sent", "> ");
    emit output("\r\n> ");
}

void AtSession::unsolicited(const QByteArray &line)
{
    if (!m_running) {
        write(line);
    } else if (m_held.size() < MaxHeld) {
        m_held.append(line);
    }
}

void AtSession::flushUnsolicited()
{
    const QList<QByteArray> held = m_held;
    m_held.clear();
    for (const QByteArray &line : held)
        write(line);
}

void AtSession::abortCommand()
{
    if (m_running) {
        m_line.clear();
        endLine("ERROR");
    }
}

// Codes stand in the log masked, as a bus caller's do, unless the
// simulator keeps them for a test bench.
void AtSession::logReceived(const QByteArray &line)
{
    log("Received", sim->showCodes ? line : maskedAtLine(line));
}

void AtSession::log(const char *direction, const QByteArray &line)
{
    sim->logAt(QLatin1String(direction), line);
}

// ---- The modem ----

QString AtSession::path(const char *interface) const
{
    const Service *service = sim->service(QLatin1String(interface));
    return service ? service->path() : QStringLiteral("/com/kelvo");
}

QVariant AtSession::state(const char *interface, const char *name) const
{
    const Service *service = sim->service(QLatin1String(interface));
    return service ? service->property(QLatin1String(name)) : QVariant();
}

void AtSession::setState(const char *interface, const char *name, const QVariant &value)
{
    if (Service *service = sim->service(QLatin1String(interface)))
        service->setProperty(QLatin1String(name), value);
}

void AtSession::ask(const char *interface, const char *member, const QVariantList &args,
                    std::function<void(const AtAnswer &)> then)
{
    const quint64 command = m_command;
    QPointer<AtSession> self(this);
    sim->callInside(path(interface), QLatin1String(interface), QLatin1String(member), args,
                    [self, command, then](const QDBusMessage &answer) {
                        if (self && self->m_running && self->m_command == command)
                            then(AtAnswer(answer));
                    });
}

void AtSession::askAnyway(const char *interface, const char *member, const QVariantList &args,
                          std::function<void(const AtAnswer &)> then)
{
    QPointer<AtSession> self(this);
    sim->callInside(path(interface), QLatin1String(interface), QLatin1String(member), args,
                    [self, then](const QDBusMessage &answer) {
                        if (self)
                            then(AtAnswer(answer));
                    });
}

// ---- Text ----

QByteArray AtSession::gsm(const QString &value) const
{
    QByteArray out;
    for (const QChar c : value) {
        const uint16_t unit = c.unicode();
        uint8_t *codes = nullptr;
        uint32_t count = 0;
        if (!c.isSurrogate() && sms_conv_ucs2_to_gsm(&unit, 2, &codes, &count, m_gsm) == 0)
            out.append(reinterpret_cast<const char *>(codes), int(count));
        else
            out += '?';
        std::free(codes);
    }
    return out;
}

QByteArray AtSession::text(const QString &value) const
{
    if (charset == "UCS2") {
        QByteArray out;
        for (const QChar c : value)
            out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
        return out;
    }
    // Inside quotes a quote would end the string and a CR the line.
    QString safe = value;
    safe.replace(QLatin1Char('"'), QLatin1Char('\''));
    for (QChar &c : safe) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\n')) || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    }
    if (charset == "UTF-8")
        return safe.toUtf8();
    if (charset == "IRA") {
        QByteArray out;
        for (const QChar c : safe)
            out += c.unicode() < 0x80 ? char(c.unicode()) : '?';
        return out;
    }
    // GSM: '@' is code 0, which no line may carry.
    QByteArray out = gsm(safe);
    out.replace('\0', '?');
    return out;
}

bool AtSession::fromText(const QByteArray &bytes, QString *value) const
{
    if (charset == "UCS2") {
        if (bytes.size() % 4)
            return false;
        value->clear();
        for (int i = 0; i < bytes.size(); i += 4) {
            bool ok = false;
            const ushort unit = bytes.mid(i, 4).toUShort(&ok, 16);
            if (!ok)
                return false;
            *value += QChar(unit);
        }
        return true;
    }
    if (charset == "UTF-8") {
        *value = QString::fromUtf8(bytes);
        return !value->contains(QChar::ReplacementCharacter);
    }
    if (charset == "IRA") {
        for (const char c : bytes) {
            if (uchar(c) >= 0x80)
                return false;
        }
        *value = QString::fromLatin1(bytes);
        return true;
    }
    char *text = nullptr;
    uint32_t length = 0;
    const bool ok = sms_conv_gsm_to_utf8(reinterpret_cast<const uint8_t *>(bytes.constData()), uint32_t(bytes.size()),
                                         &text, &length, m_gsm) == 0;
    if (ok)
        *value = QString::fromUtf8(text, int(length));
    std::free(text);
    return ok;
}
