// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM phonebooks, fixed dialling and the SIM lock against the simulated card.

#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>

#include "signalrecorder.h"
#include "simbench.h"

#include <QtTest>

using Ondrix::SIMLock;
using Ondrix::SIMPhonebook;
using Ondrix::SIM::SIMSecurity;

namespace {

const QString Lock = QStringLiteral("com.kelvo.hvt.SIM.SIMLock");

} // namespace

class TestSimPhonebook : public SimTestCase
{
    Q_OBJECT

private Q_SLOTS:
    // Each operation's call: the book by the daemon's name for it (one
    // outside the table as ""), the entry's fields in their places.
    void callsOnTheWire()
    {
        SIMPhonebook book;
        SignalRecorder recorder(&book);
        book.readFirst(SIMPhonebook::SDN);
        book.readNext(SIMPhonebook::ADN, 2);
        book.readExact(SIMPhonebook::FDN, 3);
        book.createEntry(SIMPhonebook::MSISDN, "Me", "+3584", "", "", "");
        book.updateEntry(SIMPhonebook::ADN, 5, "N", "040", "S", "050", "e@x.fi");
        book.deleteEntry(SIMPhonebook::MBDN, 1);
        book.info(SIMPhonebook::VMBX);
        book.getFDNStatus();
        book.setFDNStatus(SIMPhonebook::Disabled);
        book.readFirst(SIMPhonebook::PhonebookType(42));
        QCOMPARE(recorder.awaited(10).size(), 10);
        QCOMPARE(bench.wire(), (QStringList{
            "ReadFirst(s) \"sdn\"", "ReadNext(si) \"adn\", 2", "ReadExact(si) \"fdn\", 3",
            "Create(ssssss) \"msisdn\", \"Me\", \"+3584\", \"\", \"\", \"\"",
            "Update(sisssss) \"adn\", 5, \"N\", \"040\", \"S\", \"050\", \"e@x.fi\"", "Delete(si) \"mbdn\", 1",
            "GetInfo(s) \"vmbx\"", "GetFDNStatus()", "SetFDNStatus(s) \"Disabled\"", "ReadFirst(s) \"\""}));
    }

    void readingThroughAPhonebook()
    {
        SIMPhonebook book;
        SignalRecorder recorder(&book);
        book.readFirst(SIMPhonebook::ADN);
        book.readNext(SIMPhonebook::ADN, 2);
        book.readNext(SIMPhonebook::ADN, 5);
        book.readExact(SIMPhonebook::ADN, 4);
        book.readExact(SIMPhonebook::ADN, 251);
        book.info(SIMPhonebook::ADN);
        book.info(SIMPhonebook::EN);
        QCOMPARE(recorder.awaited(7), (QStringList{
            "readFirstComplete(1, \"Aino\", \"+358401234567\", \"\", \"\", \"aino@example.fi\", NoError)",
            "readNextComplete(5, \"Mikko\", \"+358509876543\", \"Mikko work\", \"+35891234567\", \"\", NoError)",
            "readNextComplete(0, \"\", \"\", \"\", \"\", \"\", DataNotAvailable)",
            "readExactComplete(0, \"\", \"\", \"\", \"\", \"\", DataNotAvailable)",
            "readExactComplete(0, \"\", \"\", \"\", \"\", \"\", InvalidLocation)",
            "infoComplete(250, 14, 20, 1, 14, 1, 20, 1, 40, NoError)",
            "infoComplete(0, 0, 0, 0, 0, 0, 0, 0, 0, PhonebookTypeNotSupported)"}));
    }

    void writingEntries()
    {
        SIMPhonebook book;
        SignalRecorder recorder(&book);
        book.createEntry(SIMPhonebook::ADN, "Liisa", "+358441234567", "", "", "");
        book.updateEntry(SIMPhonebook::ADN, 3, "A name far too long for the card", "040", "", "", "");
        book.updateEntry(SIMPhonebook::ADN, 3, "Liisa", "not a number", "", "", "");
        book.deleteEntry(SIMPhonebook::ADN, 3);
        book.deleteEntry(SIMPhonebook::ADN, 3);
        book.createEntry(SIMPhonebook::SDN, "Mine", "123", "", "", "");
        QCOMPARE(recorder.awaited(6), (QStringList{
            "createEntryComplete(3, NoError)", "updateEntryComplete(0, ParameterError)",
            "updateEntryComplete(0, ParameterError)", "deleteEntryComplete(NoError)",
            "deleteEntryComplete(DataNotAvailable)", "createEntryComplete(0, OperationFailed)"}));
    }

    // Fixed dialling changes only after PIN2; every object hears the change.
    void fixedDiallingWantsPin2()
    {
        SIMPhonebook book, other;
        SIMSecurity security;
        SignalRecorder recorder(&book), listener(&other), codes(&security);
        book.setFDNStatus(SIMPhonebook::Enabled);
        QCOMPARE(recorder.awaited(1), QStringList{"setFDNStatusComplete(OperationFailed)"});
        QCOMPARE(codes.awaited(1), QStringList{"verifyPINRequired(PIN2)"});

        security.verifyPIN(SIMSecurity::PIN2, QStringLiteral("5678"));
        QCOMPARE(codes.awaited(2).last(), QStringLiteral("verifyPINComplete(true, NoError)"));
        book.setFDNStatus(SIMPhonebook::Enabled);
        book.getFDNStatus();
        // The card's signal and the answers come in either order: the one as a
        // signal, the others through their calls.
        QStringList got = recorder.awaited(4).mid(1);
        got.sort();
        QCOMPARE(got, (QStringList{"fdnEnabled()", "fdnStatusComplete(Enabled, NoError)", "setFDNStatusComplete(NoError)"}));
        QTRY_COMPARE(listener.recorded(), QStringList{"fdnEnabled()"});
    }

    // ---- SIM lock ----

    // Wrong codes count: every third starts a wait; the right one opens the lock.
    void unlocking()
    {
        bench.setProperty(Lock, QStringLiteral("Status"), QStringLiteral("RestrictionOn"));
        SIMLock lock;
        SignalRecorder recorder(&lock);
        // The answers come in the order the card gave them.
        lock.simLockUnlock(SIMLock::SimLevel, QStringLiteral("12345678"));
        for (int i = 0; i < 4; i++)
            lock.simLockUnlock(SIMLock::NetworkLevel, QStringLiteral("00000000"));
        QCOMPARE(recorder.awaited(5), (QStringList{"simLockUnlockComplete(WrongLevel)",
                                                    "simLockUnlockComplete(WrongPassword)", "simLockUnlockComplete(WrongPassword)",
                                                    "simLockUnlockComplete(WrongPassword)", "simLockUnlockComplete(TimerNotElapsed)"}));
        QCOMPARE(bench.wire().value(1), QStringLiteral("UnlockSIMLock(is) 1, \"00000000\""));
        QVERIFY(SimBench::log().isEmpty());

        bench.reset();
        bench.setProperty(Lock, QStringLiteral("Status"), QStringLiteral("RestrictionOn"));
        recorder.clear();
        lock.simLockUnlock(SIMLock::NetworkLevel, QStringLiteral("12345678"));
        lock.simLockUnlock(SIMLock::NetworkLevel, QStringLiteral("12345678"));
        lock.simLockStatus();
        QCOMPARE(recorder.awaited(3), (QStringList{"simLockUnlockComplete(NoError)",
                                                    "simLockUnlockComplete(AlreadyOpened)",
                                                    "simLockStatusComplete(StatusOk, NoError)"}));
    }

};

QTEST_GUILESS_MAIN(TestSimPhonebook)
#include "tst_simphonebook.moc"
