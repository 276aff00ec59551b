// SPDX-License-Identifier: LGPL-2.1-or-later
// The network: registration (+CREG, +CGREG), the operator and its
// selection (+COPS) and the signal (+CSQ), each change reported as the
// terminal asked.

#include "atsession.h"
#include "modem.h"

namespace {

const char Registration[] = "com.kelvo.hvt.CSNet.NetworkRegistration";
const char Operator[] = "com.kelvo.hvt.CSNet.NetworkOperator";
const char Cell[] = "com.kelvo.hvt.CSNet.NetworkCell";
const char Signal[] = "com.kelvo.hvt.CSNet.SignalStrength";

// 3GPP TS 27.007 <stat>: 0 not registered, 1 home, 2 searching, 3 denied,
// 5 roaming. Without coverage the modem goes on searching; with the radio
// off, in flight mode or without a card it does not.
int statOf(const QString &status)
{
    static const QHash<QString, int> stats{
        {QStringLiteral("Home"), 1},      {QStringLiteral("Roaming"), 5},    {QStringLiteral("Searching"), 2},
        {QStringLiteral("NoCoverage"), 2}, {QStringLiteral("Rejected"), 3},   {QStringLiteral("Offline"), 0},
        {QStringLiteral("PowerOff"), 0},   {QStringLiteral("PowerSave"), 0},  {QStringLiteral("NoSim"), 0}};
    return stats.value(status, 4);
}

// <AcT>: GSM, GSM with EGPRS, UTRAN, with HSDPA and HSUPA, E-UTRAN.
int technologyOf(const QString &cellType, const QString &data)
{
    if (cellType == QLatin1String("LTE"))
        return 7;
    if (cellType == QLatin1String("GSM"))
        return data == QLatin1String("EGPRS") ? 3 : 0;
    return data == QLatin1String("HSPA") ? 6 : data == QLatin1String("HSDPA") ? 4 : 2;
}

// <stat> of a scan: 1 available, 2 current, 3 forbidden.
int scanStat(const QString &availability)
{
    return availability == QLatin1String("Current") ? 2 : availability == QLatin1String("Forbidden") ? 3
           : availability == QLatin1String("Available") ? 1 : 0;
}

class NetworkPart : public AtPart
{
public:
    explicit NetworkPart(AtSession *session)
        : AtPart(session)
    {
        s->add("+CREG", [this](const AtCommand &c) { creg(c, "+CREG", &cregMode); });
        s->add("+CGREG", [this](const AtCommand &c) { creg(c, "+CGREG", &cgregMode); });
        s->add("+COPS", [this](const AtCommand &c) { cops(c); });
        s->add("+CSQ", [this](const AtCommand &c) { csq(c); });
    }

    void reset() override
    {
        cregMode = cgregMode = 0;
        format = 0;
        reported.clear();
        reportedData.clear();
    }

    void signalled(const QString &interface, const QString &member, const QVariantList &) override
    {
        if (member == QLatin1String("SignalStrengthChanged") || member == QLatin1String("SignalBarsChanged")) {
            // The signal as phonesim reports it, unasked.
            const QByteArray now = "+CSQ: " + csqValue();
            if (now != reportedSignal)
                s->unsolicited(now);
            reportedSignal = now;
            return;
        }
        if (interface.startsWith(QLatin1String("com.kelvo.hvt.CSNet")) || interface == QLatin1String("com.kelvo.hvt.GPRS"))
            report(interface == QLatin1String(Operator));
    }

private:
    QString status() const { return s->state(Registration, "RegistrationStatus").toString(); }

    // <stat>[,<lac>,<ci>[,<AcT>]] as +CREG mode 2 gives it: the cell where
    // the modem is camped.
    QByteArray location(int stat, int mode) const
    {
        QByteArray out = QByteArray::number(stat);
        if (mode < 2 || !camped(status()))
            return out;
        const int lac = s->state(Cell, "CellLac").toInt();
        const int ci = s->state(Cell, "CellId").toInt();
        const int act = technologyOf(s->state(Cell, "CellType").toString(),
                                     s->state("com.kelvo.hvt.CSNet.RadioAccess", "DataTechnology").toString());
        return out + ",\"" + QByteArray::number(lac & 0xffff, 16).toUpper().rightJustified(4, '0') + "\",\""
               + QByteArray::number(uint(ci) & 0xfffffff, 16).toUpper().rightJustified(4, '0') + "\","
               + QByteArray::number(act);
    }

    // Packet data follows the registration: attached where it is available.
    int dataStat() const
    {
        const int stat = statOf(status());
        if (stat != 1 && stat != 5)
            return stat;
        return s->state("com.kelvo.hvt.GPRS", "Attached").toBool() ? stat : 2;
    }

    // A change in the registration, the cell or the technology goes out as
    // the modes ask; so does another operator, for the terminal to read it.
    void report(bool operatorChanged)
    {
        if (cregMode > 0) {
            const QByteArray now = location(statOf(status()), cregMode);
            if (now != reported || operatorChanged)
                s->unsolicited("+CREG: " + now);
            reported = now;
        }
        if (cgregMode > 0) {
            const QByteArray now = location(dataStat(), cgregMode);
            if (now != reportedData)
                s->unsolicited("+CGREG: " + now);
            reportedData = now;
        }
    }

    void creg(const AtCommand &c, const char *name, int *mode)
    {
        const bool data = QByteArray(name) == "+CGREG";
        if (c.type == AtCommand::Test) {
            s->info(name + QByteArray(": (0-2)"));
        } else if (c.type == AtCommand::Read) {
            s->info(name + QByteArray(": ") + QByteArray::number(*mode) + ','
                    + location(data ? dataStat() : statOf(status()), *mode));
        } else if (c.type == AtCommand::Set) {
            bool ok = false;
            const int set = c.argument(0).number(&ok, 0);
            if (!ok || set < 0 || set > 2)
                return s->cmeError(50);
            *mode = set;
            (data ? reportedData : reported) = location(data ? dataStat() : statOf(status()), set);
        } else {
            return s->error();
        }
        s->done();
    }

    QByteArray csqValue() const
    {
        if (!camped(status()))
            return "99,99";
        const int dbm = s->state(Signal, "SignalDecibels").toInt();
        return QByteArray::number(qBound(0, (dbm + 113) / 2, 31)) + ",99";
    }

    void csq(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            s->info("+CSQ: (0-31,99),(99)");
        else if (c.type == AtCommand::Execute)
            s->info("+CSQ: " + csqValue());
        else
            return s->error();
        s->done();
    }

    // The operator's name in the format chosen, or its code.
    QByteArray operatorName(const QString &name, const QString &mcc, const QString &mnc, int as) const
    {
        if (as == 2)
            return (mcc + mnc).toLatin1();
        return s->text(as == 1 ? name.section(QLatin1Char(' '), 0, 0) : name);
    }

    void cops(const AtCommand &c)
    {
        if (c.type == AtCommand::Test)
            return scan();
        const bool manual = s->state(Registration, "SelectionMode").toString() == QLatin1String("Manual");
        if (c.type == AtCommand::Read) {
            QByteArray line = "+COPS: " + QByteArray::number(manual ? 1 : 0);
            const QString mcc = s->state(Operator, "OperatorMCC").toString();
            if (inService(status()) && !mcc.isEmpty()) {
                const int act = technologyOf(s->state(Cell, "CellType").toString(),
                                             s->state("com.kelvo.hvt.CSNet.RadioAccess", "DataTechnology").toString());
                line += ',' + QByteArray::number(format) + ",\""
                        + operatorName(s->state(Operator, "OperatorName").toString(), mcc,
                                       s->state(Operator, "OperatorMNC").toString(), format)
                        + "\"," + QByteArray::number(act);
            }
            s->info(line);
            return s->done();
        }
        bool ok[2];
        const int mode = c.argument(0).number(&ok[0], -1);
        const int as = c.argument(1).number(&ok[1], 0);
        if (c.type != AtCommand::Set || !ok[0] || !ok[1] || as > 2)
            return s->cmeError(50);
        if (mode == 3) {
            format = as;
            return s->done();
        }
        if (mode == 0)
            return s->ask(Registration, "SelectAnyOperator", {}, [this](const AtAnswer &a) { selected(a); });
        if ((mode == 1 || mode == 4) && as == 2) {
            const QString code = QString::fromLatin1(c.argument(2).text);
            if (code.size() < 5 || code.size() > 6)
                return s->cmeError(50);
            return s->ask(Registration, "SelectOperator", {code.mid(3), code.left(3)},
                          [this](const AtAnswer &a) { selected(a); });
        }
        s->cmeError(mode == 2 ? 3 : 4);
    }

    // The network refused the card (an operator the SIM forbids), or the
    // selection came to nothing.
    void selected(const AtAnswer &a)
    {
        if (a.is(""))
            return s->done();
        s->cmeError(a.error() == QLatin1String("Rejected") ? 32 : a.error() == QLatin1String("Interrupted") ? 31 : 30);
    }

    void scan()
    {
        s->ask(Registration, "GetNetworks", {}, [this](const AtAnswer &a) {
            if (!a.is("a(ssssssb)"))
                return s->cmeError(30);
            QByteArray line = "+COPS: ";
            for (const Network &n : a.list<Network>(0)) {
                const QByteArray longName = operatorName(n.name, n.mcc, n.mnc, 0);
                line += '(' + QByteArray::number(scanStat(n.availability)) + ",\"" + longName + "\",\""
                        + operatorName(n.name, n.mcc, n.mnc, 1) + "\",\"" + operatorName(n.name, n.mcc, n.mnc, 2)
                        + "\"," + (n.umts ? '2' : '0') + "),";
            }
            s->info(line + ",(0-4),(0-2)");
            s->done();
        });
    }

    int cregMode = 0;
    int cgregMode = 0;
    int format = 0;   // of the operator: 0 long name, 1 short, 2 numeric
    QByteArray reported, reportedData, reportedSignal;
};

} // namespace

std::unique_ptr<AtPart> createAtNetwork(AtSession *session)
{
    return std::make_unique<NetworkPart>(session);
}
