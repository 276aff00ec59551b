// SPDX-License-Identifier: LGPL-2.1-or-later
// oFono drives the simulator's AT port: what oFono's own D-Bus API shows
// and does is the simulated modem's state and behaviour.

#include "ofonobench.h"
#include "simbench.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtTest>

namespace {

const QString Modem = QStringLiteral("org.ofono.Modem");
const QString SimManager = QStringLiteral("org.ofono.SimManager");
const QString NetworkRegistration = QStringLiteral("org.ofono.NetworkRegistration");
const QString Ussd = QStringLiteral("org.ofono.SupplementaryServices");
const QString Forwarding = QStringLiteral("org.ofono.CallForwarding");
const QString Barring = QStringLiteral("org.ofono.CallBarring");
const QString CallSettings = QStringLiteral("org.ofono.CallSettings");
const QString Calls = QStringLiteral("org.ofono.VoiceCallManager");
// A change takes the simulator, the AT port and oFono: seconds on a loaded machine.
constexpr int Wait = 15000;

QString errorOf(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
}

// The objects and properties of a reply of a(oa{sv}) (operators, calls).
QList<QPair<QString, QVariantMap>> objects(const QDBusMessage &reply)
{
    QList<QPair<QString, QVariantMap>> list;
    const QDBusArgument arg = reply.arguments().value(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        arg.beginStructure();
        arg >> path >> properties;
        arg.endStructure();
        list.append({path.path(), properties});
    }
    arg.endArray();
    return list;
}

} // namespace

class TestOfono : public QObject
{
    Q_OBJECT

    SimBench bench;
    OfonoBench ofono;

    QVariant simulator(const QString &interface, const QString &name)
    {
        const QString prefix = interface.startsWith(QLatin1String("YKM")) ? QStringLiteral("com.kelvo.") : QStringLiteral("com.kelvo.hvt.");
        return bench.properties(prefix + interface).value(name);
    }
    void ctl(const QString &command) { QCOMPARE(bench.control(QStringLiteral("Run"), {command}).toString(), QString()); }
    QVariant registration(const char *name) { return ofono.property(NetworkRegistration, QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        const QString why = OfonoBench::unavailable();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        bench.simulatorArguments = QStringList{QStringLiteral("--at"), QStringLiteral("0")};
        QVERIFY(bench.start());
        QVERIFY2(ofono.start(bench.control(QStringLiteral("AtAddress")).toString()), qPrintable(ofono.output()));
        QVERIFY2(ofono.bringUp(), qPrintable(ofono.output()));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning().noquote() << ofono.output();
    }

    void cleanupTestCase()
    {
        ofono.stop();
        bench.stop();
    }

    void modemAndCard()
    {
        const QVariantMap modem = ofono.properties(Modem);
        QCOMPARE(modem.value("Manufacturer").toString(), QString("Ondrix"));
        QCOMPARE(modem.value("Model").toString(), QString("ModemSim"));
        QCOMPARE(modem.value("Revision"), simulator("Info", "MCUSWVersion"));
        QCOMPARE(modem.value("Serial"), simulator("Info", "IMEINumber"));

        const QVariantMap card = ofono.properties(SimManager);
        QCOMPARE(card.value("Present").toBool(), true);
        QCOMPARE(card.value("PinRequired").toString(), QString("none"));
        QCOMPARE(card.value("SubscriberIdentity"), simulator("SIM.Identity", "IMSI"));
        QCOMPARE(card.value("CardIdentifier"), simulator("SIM.Identity", "ICCID"));
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "ServiceProviderName"), simulator("SIM.Identity", "ServiceProviderName"), Wait);
        QCOMPARE(card.value("MobileNetworkCode").toString(), QString("05"));
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "SubscriberNumbers").toStringList(), QStringList{"+358401112223"}, Wait);
        QCOMPARE(card.value("PreferredLanguages").toStringList(), (QStringList{"fi", "sv", "en"}));

        // The modem's own emergency numbers and the card's.
        const QStringList emergency = ofono.property(Calls, "EmergencyNumbers").toStringList();
        for (const char *number : {"112", "911", "10022"})
            QVERIFY2(emergency.contains(number), qPrintable(emergency.join(' ')));
    }

    // The registration as the modem has it; every change made from the
    // control interface shows in oFono.
    void registration()
    {
        QTRY_COMPARE_WITH_TIMEOUT(registration("Name").toString(), QString("Ondrix Mobile"), Wait);
        QCOMPARE(registration("Status").toString(), QString("registered"));
        QCOMPARE(registration("MobileCountryCode").toString(), QString("244"));
        QCOMPARE(registration("MobileNetworkCode").toString(), QString("05"));
        QCOMPARE(registration("Technology").toString(), QString("hspa"));
        QCOMPARE(registration("LocationAreaCode").toInt(), simulator("CSNet.NetworkCell", "CellLac").toInt());
        QCOMPARE(registration("CellId").toInt(), simulator("CSNet.NetworkCell", "CellId").toInt());

        ctl("set com.kelvo.hvt.CSNet.NetworkCell CellId i:7012");
        QTRY_COMPARE_WITH_TIMEOUT(registration("CellId").toInt(), 7012, Wait);
        // -73 dBm is 20 of 31 on the scale of +CSQ.
        ctl("signal -73");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Strength").toInt(), 20 * 100 / 31, Wait);
        // Abroad oFono names the network and the card's provider.
        ctl("register Roaming 248 01 Baltic");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Name").toString(), QString("Ondrix Mobile (Baltic)"), Wait);
        QCOMPARE(registration("Status").toString(), QString("roaming"));
        QCOMPARE(registration("MobileCountryCode").toString(), QString("248"));
        ctl("register NoCoverage");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Status").toString(), QString("searching"), Wait);
        QVERIFY(!ofono.properties(NetworkRegistration).contains("Strength"));
        ctl("register Home 244 05 Ondrix");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Status").toString(), QString("registered"), Wait);
        ctl("flight on");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Status").toString(), QString("unregistered"), Wait);
        ctl("flight off");
        QTRY_COMPARE_WITH_TIMEOUT(registration("Name").toString(), QString("Ondrix Mobile"), Wait);
        QCOMPARE(registration("Status").toString(), QString("registered"));
    }

    void ussd()
    {
        QDBusMessage reply = ofono.call(Ussd, "Initiate", {"*100#"});
        QCOMPARE(errorOf(reply), QString());
        QCOMPARE(reply.arguments().value(1).value<QDBusVariant>().variant().toString(),
                 QString("Balance 12.34 EUR, valid until 31.12.2026"));

        // Cancelled by the phone; asked by the network. (A menu answered
        // twice is tst_backends', through the bridge.)
        ofono.call(Ussd, "Initiate", {"*123#"});
        QCOMPARE(errorOf(ofono.call(Ussd, "Cancel")), QString());
        QCOMPARE(ofono.property(Ussd, "State").toString(), QString("idle"));
        bench.emitSignal("com.kelvo.hvt.SS.USSD", "Request", {"Rate your call: 1-5", "en"});
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(Ussd, "State").toString(), QString("user-response"), Wait);
        QCOMPARE(errorOf(ofono.call(Ussd, "Cancel")), QString());
    }

    void callServices()
    {
        // Forwarding, kept by the network and read back.
        QVERIFY(ofono.setProperty(Forwarding, "VoiceUnconditional", "+358401234567"));
        QCOMPARE(ofono.property(Forwarding, "VoiceUnconditional").toString(), QString("+358401234567"));
        QVERIFY(ofono.setProperty(Forwarding, "VoiceUnconditional", ""));
        QCOMPARE(ofono.property(Forwarding, "VoiceUnconditional").toString(), QString());
        QVERIFY(ofono.setProperty(Forwarding, "VoiceNoReply", "+358509876543"));
        QVERIFY(ofono.setProperty(Forwarding, "VoiceNoReplyTimeout", QVariant::fromValue(ushort(30))));
        QCOMPARE(ofono.property(Forwarding, "VoiceNoReplyTimeout").toUInt(), 30u);

        // Barring takes the network's password; a wrong one changes nothing.
        auto bar = [this](const char *what, const char *password) {
            return errorOf(ofono.call(Barring, "SetProperty",
                                      {"VoiceOutgoing", QVariant::fromValue(QDBusVariant(QString(what))), password}));
        };
        QCOMPARE(bar("international", "0000"), QString());
        QVERIFY(!bar("all", "1111").isEmpty());
        QCOMPARE(ofono.property(Barring, "VoiceOutgoing").toString(), QString("international"));
        QCOMPARE(errorOf(ofono.call(Barring, "ChangePassword", {"0000", "4321"})), QString());
        QCOMPARE(bar("disabled", "4321"), QString());
        QCOMPARE(ofono.property(Barring, "VoiceOutgoing").toString(), QString("disabled"));

        // Waiting and the identity services.
        QCOMPARE(ofono.property(CallSettings, "VoiceCallWaiting").toString(), QString("enabled"));
        QVERIFY(ofono.setProperty(CallSettings, "VoiceCallWaiting", "disabled"));
        QCOMPARE(ofono.property(CallSettings, "VoiceCallWaiting").toString(), QString("disabled"));
        QVERIFY(ofono.setProperty(CallSettings, "VoiceCallWaiting", "enabled"));
        const QVariantMap settings = ofono.properties(CallSettings);
        QCOMPARE(settings.value("CallingLinePresentation").toString(), QString("enabled"));
        QCOMPARE(settings.value("CallingNamePresentation").toString(), QString("enabled"));
        QCOMPARE(settings.value("ConnectedLinePresentation").toString(), QString("disabled"));
        QCOMPARE(settings.value("CallingLineRestriction").toString(), QString("off"));
        bench.setProperty("com.kelvo.hvt.SS", "CLIR", "on");
        QVERIFY(ofono.setProperty(CallSettings, "HideCallerId", "enabled"));
        QCOMPARE(ofono.property(CallSettings, "CallingLineRestriction").toString(), QString("on"));
    }

    void messagesAndPhonebook()
    {
        const QString messages = QStringLiteral("org.ofono.MessageManager");
        QCOMPARE(ofono.property(messages, "ServiceCenterAddress"), simulator("SMS.SIM", "ServiceCentreAddress"));
        QVERIFY(ofono.setProperty(messages, "ServiceCenterAddress", "+358405209999"));
        QCOMPARE(simulator("SMS.SIM", "ServiceCentreAddress").toString(), QString("+358405209999"));

        const QDBusMessage cards = ofono.call("org.ofono.Phonebook", "Import");
        const QString vcards = cards.arguments().value(0).toString();
        for (const char *line : {"FN:Aino", "TEL;TYPE=VOICE:+358401234567", "EMAIL;TYPE=INTERNET:aino@example.fi",
                                 "FN:Mikko", "TEL;TYPE=VOICE:+35891234567"})
            QVERIFY2(vcards.contains(line), qPrintable(vcards + errorOf(cards)));
    }

    // A call dialled and ended; a call that rings and is answered. The
    // simulator's call state and its timers follow.
    void voiceCalls()
    {
        QDBusMessage dialled = ofono.call(Calls, "Dial", {"+358401234567", ""});
        QCOMPARE(errorOf(dialled), QString());
        const QString call = dialled.arguments().value(0).value<QDBusObjectPath>().path();
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property("org.ofono.VoiceCall", "State", call).toString(), QString("active"), Wait);
        QCOMPARE(simulator("Call", "InCall").toBool(), true);
        QTRY_VERIFY_WITH_TIMEOUT(simulator("Call", "Dialled").toUInt() >= 1, Wait);
        QCOMPARE(errorOf(ofono.call(Calls, "HangupAll")), QString());
        QTRY_COMPARE_WITH_TIMEOUT(simulator("Call", "InCall").toBool(), false, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(objects(ofono.call(Calls, "GetCalls")).size(), 0, Wait);

        ctl("call start incoming");
        QList<QPair<QString, QVariantMap>> calls;
        QTRY_COMPARE_WITH_TIMEOUT((calls = objects(ofono.call(Calls, "GetCalls"))).size(), 1, Wait);
        QCOMPARE(calls[0].second.value("State").toString(), QString("incoming"));
        QCOMPARE(calls[0].second.value("LineIdentification").toString(), QString("+358501234567"));
        QCOMPARE(errorOf(ofono.call("org.ofono.VoiceCall", "Answer", {}, calls[0].first)), QString());
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property("org.ofono.VoiceCall", "State", calls[0].first).toString(),
                                  QString("active"), Wait);
        ctl("call end");
        QTRY_COMPARE_WITH_TIMEOUT(objects(ofono.call(Calls, "GetCalls")).size(), 0, Wait);
    }

    // oFono takes the radio off and on; the simulator's radio follows.
    void radio()
    {
        QVERIFY(ofono.setProperty(Modem, "Online", false));
        QTRY_COMPARE_WITH_TIMEOUT(simulator("CSNet.NetworkRegistration", "RegistrationStatus").toString(), QString("PowerOff"), Wait);
        QCOMPARE(simulator("YKM.Modem", "RequestedMode").toString(), QString("Inactive"));
        QVERIFY(ofono.setProperty(Modem, "Online", true));
        QTRY_COMPARE_WITH_TIMEOUT(registration("Status").toString(), QString("registered"), Wait);
        QCOMPARE(simulator("YKM.Modem", "ModemState").toString(), QString("Normal"));
    }

    // The card from the start of the pin-locked scenario: its PIN, its PUK,
    // its codes changed and its query switched; taken out and put back.
    void cardCodes()
    {
        ofono.stop();
        bench.reset();
        QCOMPARE(bench.playScenario(QStringLiteral(ONDRIX_SCENARIOS_DIR "/pin-locked-sim.scenario"), 1000), QString());
        QVERIFY(bench.waitScenario());
        QVERIFY(ofono.start(bench.control(QStringLiteral("AtAddress")).toString()));
        QVERIFY2(ofono.bringUp(false), qPrintable(ofono.output()));
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "PinRequired").toString(), QString("pin"), Wait);

        auto retries = [this](const char *code) {
            const QDBusArgument map = ofono.property(SimManager, "Retries").value<QDBusArgument>();
            int left = -1;
            map.beginMap();
            while (!map.atEnd()) {
                QString name;
                uchar value = 0;
                map.beginMapEntry();
                map >> name >> value;
                map.endMapEntry();
                if (name == QLatin1String(code))
                    left = value;
            }
            map.endMap();
            return left;
        };
        QVERIFY(!errorOf(ofono.call(SimManager, "EnterPin", {"pin", "0000"})).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(retries("pin"), 2, Wait);
        QCOMPARE(errorOf(ofono.call(SimManager, "EnterPin", {"pin", "1234"})), QString());
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "PinRequired").toString(), QString("none"), Wait);
        QCOMPARE(simulator("SIM", "Status").toString(), QString("Ok"));
        // oFono reads the opened card to its end (its own numbers last): a
        // card taken out meanwhile brings oFono 1.31 down.
        QTRY_VERIFY_WITH_TIMEOUT(!ofono.property(SimManager, "SubscriberNumbers").toStringList().isEmpty(), Wait);

        QCOMPARE(errorOf(ofono.call(SimManager, "ChangePin", {"pin", "1234", "2468"})), QString());
        QCOMPARE(errorOf(ofono.call(SimManager, "UnlockPin", {"pin", "2468"})), QString());
        QCOMPARE(simulator("SIM.Security", "PINQuery").toBool(), false);
        QCOMPARE(errorOf(ofono.call(SimManager, "LockPin", {"pin", "2468"})), QString());
        QCOMPARE(simulator("SIM.Security", "PINQuery").toBool(), true);

        // Out, and back in asking for the PIN: three wrong ones want the PUK.
        ctl("sim remove");
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "Present").toBool(), false, Wait);
        ctl("sim insert");
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "PinRequired").toString(), QString("pin"), Wait);
        for (int i = 0; i < 3; i++)
            ofono.call(SimManager, "EnterPin", {"pin", "0000"});
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "PinRequired").toString(), QString("puk"), Wait);
        QCOMPARE(errorOf(ofono.call(SimManager, "ResetPin", {"puk", "12345678", "1234"})), QString());
        QTRY_COMPARE_WITH_TIMEOUT(ofono.property(SimManager, "PinRequired").toString(), QString("none"), Wait);
        QCOMPARE(simulator("SIM", "Status").toString(), QString("Ok"));
    }
};

QTEST_GUILESS_MAIN(TestOfono)
#include "tst_ofono.moc"
