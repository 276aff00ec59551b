// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0
import Ondrix 1.0

TestCase {
    name: "ScanAndSelect"

    NetworkRegistration { id: registration }
    SignalSpy { id: scanned; target: registration; signalName: "operatorsSuccess" }
    SignalSpy { id: selected; target: registration; signalName: "selectionSuccess" }

    function test_scanAndSelectFromQml() {
        sim.reset()
        registration.scanOperators()
        scanned.wait()
        compare(registration.operators.length, 4)
        compare(registration.operators[1].name, "Nordic Wave")
        compare(registration.operators[3].availability, 2)   // forbidden
        registration.selectOperator(1)
        selected.wait()
        tryCompare(registration, "status", NetworkRegistration.Roaming)   // a preferred network abroad
    }
}
