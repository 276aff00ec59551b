// SPDX-License-Identifier: LGPL-2.1-or-later
// Messages in PDU mode: the service centre (+CSCA, the card's parameters
// record), the settings a terminal makes at start (+CSMS, +CMGF, +CPMS,
// +CNMI, +CSCB) and sending (+CMGS), which the network takes.

#include "atsession.h"

namespace {

const char Parameters[] = "com.kelvo.hvt.SMS.SIM";

class Messages : public AtPart
{
public:
    explicit Messages(AtSession *session)
        : AtPart(session)
    {
        s->add("+CSCA", [this](const AtCommand &c) { csca(c); });
        s->add("+CSMS", [this](const AtCommand &c) { csms(c); });
        s->add("+CMGF", [this](const AtCommand &c) { cmgf(c); });
        s->add("+CPMS", [this](const AtCommand &c) { cpms(c); });
        s->add("+CMGS", [this](const AtCommand &c) { cmgs(c); });
        s->add("+CMGL", [this](const AtCommand &c) { c.type == AtCommand::Read ? s->error() : s->done(); });
        for (const char *name : {"+CNMI", "+CSCB", "+CMMS", "+CGSMS"})
            s->add(name, [this](const AtCommand &c) { setting(c); });
    }

private:
    void csca(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            return s->done();
        if (c.type == AtCommand::Read) {
            const QString number = s->state(Parameters, "ServiceCentreAddress").toString();
            const uint type = s->state(Parameters, "ServiceCentreType").toUInt();
            s->info("+CSCA: \"" + s->text(number) + "\"," + QByteArray::number(type ? type : 145));
            return s->done();
        }
        QString number;
        bool ok = false;
        const int type = c.argument(1).number(&ok, 0);
        if (c.type != AtCommand::Set || !s->fromText(c.argument(0).text, &number) || number.isEmpty()
            || number.size() > 21 || !ok || type > 255)
            return s->cmeError(50);
        // An international number may come as its digits and type 145.
        if (type == 145 && !number.startsWith(QLatin1Char('+')))
            number.prepend(QLatin1Char('+'));
        for (const QChar d : number) {
            if (!(d >= QLatin1Char('0') && d <= QLatin1Char('9')) && d != QLatin1Char('+'))
                return s->cmeError(50);
        }
        s->setState(Parameters, "ServiceCentreAddress", number);
        s->setState(Parameters, "ServiceCentreType", uint(type ? type : number.startsWith(QLatin1Char('+')) ? 145 : 129));
        s->done();
    }

    // Phase 2+ services: every message type.
    void csms(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            s->info("+CSMS: (0,1)");
        else if (c.type == AtCommand::Read)
            s->info("+CSMS: " + QByteArray::number(service) + ",1,1,1");
        else if (c.type == AtCommand::Set && (c.argument(0).text == "0" || c.argument(0).text == "1")) {
            service = c.argument(0).text.toInt();
            s->info("+CSMS: 1,1,1");
        } else
            return s->cmsError(302);
        s->done();
    }

    // PDU mode only.
    void cmgf(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            s->info("+CMGF: (0)");
        else if (c.type == AtCommand::Read)
            s->info("+CMGF: 0");
        else if (c.type != AtCommand::Set || c.argument(0).text != "0")
            return s->cmsError(303);
        s->done();
    }

    // The phone's memory, empty.
    void cpms(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            s->info("+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")");
        else if (c.type == AtCommand::Read)
            s->info("+CPMS: \"ME\",0,100,\"ME\",0,100,\"ME\",0,100");
        else if (c.type == AtCommand::Set)
            s->info("+CPMS: 0,100,0,100,0,100");
        else
            return s->error();
        s->done();
    }

    void setting(const AtCommand &c)
    {
        if (c.type == AtCommand::Test && c.name == "+CNMI")
            s->info("+CNMI: (0-2),(0-3),(0-3),(0-2),(0-1)");
        else if (c.type == AtCommand::Read && c.name == "+CSCB")
            s->info("+CSCB: 0,\"\",\"\"");
        s->done();
    }

    // A SUBMIT of <length> octets after the service centre, as hex.
    void cmgs(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            return s->done();
        bool ok = false;
        const int length = c.argument(0).number(&ok, -1);
        if (c.type != AtCommand::Set || !ok || length < 1 || length > 164)
            return s->cmsError(304);
        s->prompt([this, length](const QByteArray &text) {
            const QByteArray pdu = QByteArray::fromHex(text);
            if (text.size() % 2 || pdu.toHex().toUpper() != text.toUpper() || pdu.isEmpty()
                || pdu.size() - 1 - uchar(pdu[0]) != length)
                return s->cmsError(304);
            s->info("+CMGS: " + QByteArray::number(++reference & 0xff));
            s->done();
        });
    }

    int service = 0;
    int reference = 0;
};

} // namespace

std::unique_ptr<AtPart> createAtMessages(AtSession *session)
{
    return std::make_unique<Messages>(session);
}
