// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0
import Ondrix 1.0

TestCase {
    name: "Properties"

    SystemControl { id: modem }
    NetworkOperator { id: op }
    RadioAccess { id: radio }
    SmsCounter { id: counter }

    function init() { sim.reset() }

    function test_followTheSimulator() {
        compare(modem.valid, true)
        compare(modem.status, SystemControl.FullService)
        sim.set("com.kelvo.YKM.Modem", "ServiceState", "EmergencyOnly")
        tryCompare(modem, "status", SystemControl.LimitedService)
        sim.set("com.kelvo.hvt.CSNet.NetworkOperator", "OperatorName", "Ondrix Test")
        tryCompare(op, "name", "Ondrix Test")
        compare(op.country("244", "05"), "FI")
    }

    function test_enumsAndInvokables() {
        compare(radio.mode, RadioAccess.DualMode)
        radio.mode = RadioAccess.OnlyTwoG
        tryCompare(radio, "mode", RadioAccess.OnlyTwoG)
        tryCompare(radio, "technology", RadioAccess.TwoPointFiveG)
    }

    function test_segmentCounter() {
        counter.text = "hello"
        compare(counter.segments, 1)
        compare(counter.remaining, 155)
        counter.text = "€".repeat(81)   // 162 septets
        compare(counter.segments, 2)
        // The cheapest tables: a Turkish text in one segment instead of UCS-2's two.
        counter.text = "Günaydın! Bugün şehirde buluşalım mı? Ağaçların altında çay içer, sonra İstiklal'e yürürüz."
        compare(counter.segments, 2)
        counter.language = SmsCounter.Cheapest
        compare(counter.segments, 1)
        compare(counter.singleLanguage, SmsCounter.Turkish)
        compare(counter.lockingLanguage, SmsCounter.Default)
        counter.language = SmsCounter.Default
    }

    // Reading a property never calls the daemon: the values are read once,
    // without blocking, and kept by the daemon's announcements.
    function test_readsMakeNoCalls() {
        sim.set("com.kelvo.hvt.Call", "Total", 77)
        var timers = Qt.createQmlObject("import Ondrix 1.0; CallTimers {}", this)
        var time = Qt.createQmlObject("import Ondrix 1.0; NetworkTime {}", this)
        tryVerify(function() { return timers.timers.total === 77 })
        tryVerify(function() { return time.timeInfo.valid })
        compare(time.timeInfo.mcc, "244")
        verify(sim.flush())
        sim.clearCalls()
        for (var i = 0; i < 100; i++) {
            var t = timers.timers.last + time.timeInfo.timezone
        }
        sim.run("call start")
        tryVerify(function() { return timers.timers.last > 0 || timers.timers.dialled > 0 }, 5000)
        sim.run("call end")
        verify(sim.flush())
        compare(sim.members(), [])
        timers.destroy()
        time.destroy()
    }
}
