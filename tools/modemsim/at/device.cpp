// SPDX-License-Identifier: LGPL-2.1-or-later
// The device: identification, radio power (+CFUN), character set and error
// format, the clock and network time reports, and the settings a terminal
// sets at start that change nothing here.

#include "atsession.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

const char Info[] = "com.kelvo.hvt.Info";
const char SystemState[] = "com.kelvo.YKM.Modem";
const QByteArray Manufacturer = "Ondrix";
const QByteArray Model = "ModemSim";

// "+24" or "-20": a zone in quarter hours, signed.
QByteArray quarters(int zone)
{
    return (zone < 0 ? "-" : "+") + QByteArray::number(qAbs(zone));
}

class Device : public AtPart
{
public:
    explicit Device(AtSession *session)
        : AtPart(session)
    {
        for (const char *name : {"+CGMI", "+GMI"})
            s->add(name, [this](const AtCommand &c) { fixed(c, Manufacturer); });
        for (const char *name : {"+CGMM", "+GMM"})
            s->add(name, [this](const AtCommand &c) { fixed(c, Model); });
        for (const char *name : {"+CGMR", "+GMR"})
            s->add(name, [this](const AtCommand &c) { fromModem(c, "GetMCUSWVersion"); });
        for (const char *name : {"+CGSN", "+GSN"})
            s->add(name, [this](const AtCommand &c) { fromModem(c, "GetIMEINumber"); });
        s->add("I", [this](const AtCommand &c) { fixed(c, Manufacturer + ' ' + Model); });
        s->add("+GCAP", [this](const AtCommand &c) { fixed(c, "+GCAP: +CGSM"); });
        s->add("+CFUN", [this](const AtCommand &c) { cfun(c); });
        s->add("+CSCS", [this](const AtCommand &c) { cscs(c); });
        s->add("+CMEE", [this](const AtCommand &c) { setting(c, "+CMEE", &s->errorMode, 2); });
        s->add("+CTZR", [this](const AtCommand &c) { setting(c, "+CTZR", &timeReports, 2); });
        s->add("+CCLK", [this](const AtCommand &c) { cclk(c); });
        // The battery of a phone on its charger.
        s->add("+CBC", [this](const AtCommand &c) { fixed(c, "+CBC: 0,100"); });
        s->add("+SIMSTATE", [this](const AtCommand &c) { simState(c); });
        s->add("+CLVL", [this](const AtCommand &c) { setting(c, "+CLVL", &volume, 8); });
        s->add("+CMUT", [this](const AtCommand &c) { setting(c, "+CMUT", &muted, 1); });
        s->add("+VTD", [this](const AtCommand &c) { setting(c, "+VTD", &toneDuration, 255); });
        cardStatus = s->state("com.kelvo.hvt.SIM", "Status").toString();
        // Registers and settings of the line: taken, and nothing changes.
        for (const char *name : {"S", "&C", "&D", "&W", "+CRC", "+CSSN", "+CDIP", "+CMER", "+CIND"})
            s->add(name, [this](const AtCommand &c) { accepted(c); });
    }

    void reset() override
    {
        timeReports = 0;
        cardStatus = s->state("com.kelvo.hvt.SIM", "Status").toString();
    }

    void signalled(const QString &interface, const QString &member, const QVariantList &args) override
    {
        if (member == QLatin1String("RawNetworkTimeChanged") && !args.isEmpty())
            timeReport(args.at(0).toMap());
        else if (interface == QLatin1String("com.kelvo.hvt.SIM") && member == QLatin1String("SIMStatus") && !args.isEmpty())
            cardReport(args.at(0).toString());
    }

private:
    // A command with one answer line (or none) whatever its form.
    void fixed(const AtCommand &c, const QByteArray &line)
    {
        if (c.type == AtCommand::Set || c.type == AtCommand::Read)
            return s->error();
        if (c.type == AtCommand::Execute)
            s->info(line);
        s->done();
    }

    void fromModem(const AtCommand &c, const char *member)
    {
        if (c.type == AtCommand::Test)
            return s->done();
        if (c.type != AtCommand::Execute)
            return s->error();
        s->ask(Info, member, {}, [this](const AtAnswer &a) {
            if (!a.is("s"))
                return s->cmeError(100);
            s->info(s->text(a.value(0).toString()));
            s->done();
        });
    }

    // A number the terminal sets and reads back, 0 to `most`.
    void setting(const AtCommand &c, const char *name, int *value, int most)
    {
        bool ok = true;
        if (c.type == AtCommand::Set) {
            const int set = c.argument(0).number(&ok, *value);
            if (!ok || set < 0 || set > most)
                return s->cmeError(50);
            *value = set;
        } else if (c.type == AtCommand::Read) {
            s->info(name + QByteArray(": ") + QByteArray::number(*value));
        } else if (c.type == AtCommand::Test) {
            s->info(name + QByteArray(": (0-") + QByteArray::number(most) + ')');
        }
        s->done();
    }

    void accepted(const AtCommand &c)
    {
        if (c.type == AtCommand::Read && c.name == "+CIND")
            s->info("+CIND: " + QByteArray::number(bars()) + ",1");
        else if (c.type == AtCommand::Test && c.name == "+CIND")
            s->info("+CIND: (\"signal\",(0-5)),(\"service\",(0-1))");
        else if (c.type == AtCommand::Test && c.name == "+CMER")
            s->info("+CMER: (0,3),(0),(0),(0-1),(0)");
        s->done();
    }

    int bars() const { return s->state("com.kelvo.hvt.CSNet.SignalStrength", "SignalBars").toInt(); }

    // 1 full, 4 radio off (flight mode too), 0 as the terminal left it.
    void cfun(const AtCommand &c)
    {
        if (c.type == AtCommand::Test) {
            s->info("+CFUN: (0,1,4),(0-1)");
            return s->done();
        }
        if (c.type == AtCommand::Read) {
            const bool on = s->state(SystemState, "ModemState").toString() == QLatin1String("Normal");
            s->info("+CFUN: " + QByteArray::number(on ? 1 : functionality == 0 ? 0 : 4));
            return s->done();
        }
        bool ok = false;
        const int fun = c.argument(0).number(&ok, -1);
        if (c.type != AtCommand::Set || !ok || (fun != 0 && fun != 1 && fun != 4))
            return s->cmeError(50);
        functionality = fun;
        s->ask(SystemState, "RequestRadio", {fun == 1, false}, [this](const AtAnswer &a) {
            a.is("") ? s->done() : s->cmeError(4);
        });
    }

    void cscs(const AtCommand &c)
    {
        static const QList<QByteArray> sets{"GSM", "IRA", "UCS2", "UTF-8"};
        if (c.type == AtCommand::Test) {
            s->info("+CSCS: (\"GSM\",\"IRA\",\"UCS2\",\"UTF-8\")");
        } else if (c.type == AtCommand::Read) {
            s->info("+CSCS: \"" + s->charset + '"');
        } else if (c.type == AtCommand::Set && sets.contains(c.argument(0).text.toUpper())) {
            s->charset = c.argument(0).text.toUpper();
        } else {
            return s->cmeError(50);
        }
        s->done();
    }

    // The time of the network's zone: "yy/MM/dd,hh:mm:ss+zz".
    static QByteArray clock(const QDateTime &utc, int zone)
    {
        const QDateTime local = utc.toOffsetFromUtc(zone * 15 * 60);
        return local.toString(QStringLiteral("yy/MM/dd,HH:mm:ss")).toLatin1() + quarters(zone);
    }

    void cclk(const AtCommand &c)
    {
        if (c.type == AtCommand::Test || c.type == AtCommand::Set)
            return c.type == AtCommand::Test ? s->done() : s->cmeError(3);
        s->ask("com.kelvo.hvt.CSNet.NetworkTime", "GetRawNetworkTime", {}, [this](const AtAnswer &a) {
            const QVariantMap report = a.is("a{sv}") ? a.value(0).toMap() : QVariantMap();
            const int zone = report.value(QStringLiteral("Timezone")).toInt();
            s->info("+CCLK: \"" + clock(QDateTime::currentDateTimeUtc(), zone) + '"');
            s->done();
        });
    }

    // +CTZV: the zone; +CTZE: the zone, daylight saving and the local time.
    void timeReport(const QVariantMap &report)
    {
        if (timeReports == 0 || !report.contains(QStringLiteral("Timezone")))
            return;
        const int zone = report.value(QStringLiteral("Timezone")).toInt();
        if (timeReports == 1) {
            s->unsolicited("+CTZV: " + quarters(zone));
            return;
        }
        const QDateTime utc = QDateTime::fromSecsSinceEpoch(report.value(QStringLiteral("UTC")).toLongLong(), Qt::UTC);
        s->unsolicited("+CTZE: \"" + quarters(zone) + "\"," + QByteArray::number(report.value(QStringLiteral("DST")).toUInt())
                       + ",\"" + clock(utc, zone).left(17) + '"');
    }

    void simState(const AtCommand &c)
    {
        if (c.type != AtCommand::Read)
            return c.type == AtCommand::Test ? s->done() : s->error();
        s->info("+SIMSTATE: " + QByteArray::number(inserted(s->state("com.kelvo.hvt.SIM", "Status").toString())));
        s->done();
    }

    static int inserted(const QString &status) { return status == QLatin1String("NoSIM") ? 0 : 1; }

    // A card taken out or put back. A card that a code opened is announced
    // anew, as if put back: oFono's phonesim driver has no other word for a
    // card that became ready, and waits for one after a PIN.
    void cardReport(const QString &status)
    {
        const bool opened = (cardStatus == QLatin1String("PINRequired") || cardStatus == QLatin1String("PUKRequired"))
                            && status == QLatin1String("Ok");
        if (opened) {
            s->unsolicited("+USIMSTATE: 0");
            s->unsolicited("+USIMSTATE: 1");
        } else if (inserted(status) != inserted(cardStatus)) {
            s->unsolicited("+USIMSTATE: " + QByteArray::number(inserted(status)));
        }
        cardStatus = status;
    }

    int timeReports = 0;
    int functionality = 1;
    int volume = 5;
    int muted = 0;
    int toneDuration = 1;
    QString cardStatus = QStringLiteral("Ok");
};

} // namespace

std::unique_ptr<AtPart> createAtDevice(AtSession *session)
{
    return std::make_unique<Device>(session);
}
