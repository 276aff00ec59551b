// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0
import Ondrix 1.0

TestCase {
    name: "Ussd"

    SupplementaryServices { id: ss }
    SignalSpy { id: refused; target: ss; signalName: "ussdError" }

    // However a code is dressed up, QML does not send it as USSD either.
    function test_codesStayOnThePhone_data() {
        var pin = "**04*1234*4321*4321#"
        return [{tag: "a space", typed: " " + pin}, {tag: "a zero-width space", typed: "\u200b" + pin},
                {tag: "full-width", typed: "\uff0a\uff0a\uff10\uff14*1234*4321*4321\uff03"},
                {tag: "a letter first", typed: "x**33*0000#"}]
    }
    function test_codesStayOnThePhone(data) {
        sim.reset()
        refused.clear()
        verify(ss.carriesCode(data.typed))
        ss.sendCommand(data.typed)
        compare(refused.count, 1)
        compare(refused.signalArguments[0][1], SupplementaryServices.UssdInvalidParameters)
        verify(sim.flush())
        compare(sim.members().indexOf("Command"), -1)
    }

    // A dialogue the network left open goes with the object that started it.
    function test_releasedWithItsObject() {
        sim.reset()
        var object = Qt.createQmlObject("import Ondrix 1.0; SupplementaryServices {}", this)
        var asked = Qt.createQmlObject("import QtTest 1.0; SignalSpy { signalName: 'userActionRequested' }", this)
        asked.target = object
        object.sendCommand("*123#")
        asked.wait()
        object.destroy()
        tryVerify(function() { return sim.members().indexOf("Release") >= 0 })
        asked.destroy()
    }
}
