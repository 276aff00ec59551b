// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0
import Ondrix 1.0

TestCase {
    name: "PinDialog"

    SIMStatus { id: card }
    SIMSecurity { id: security }
    SignalSpy { id: asked; target: security; signalName: "verifyPINRequired" }
    SignalSpy { id: verified; target: security; signalName: "verifyPINComplete" }
    SignalSpy { id: changed; target: card; signalName: "statusChanged" }

    function test_unlockFromQml() {
        sim.reset()
        sim.set("com.kelvo.hvt.SIM", "Status", "PINRequired")
        asked.wait()
        compare(asked.signalArguments[0][0], SIMSecurity.PIN)
        security.verifyPIN(SIMSecurity.PIN, "0000")
        verified.wait()
        compare(verified.signalArguments[0][0], false)
        compare(verified.signalArguments[0][1], SIM.NoError)
        security.verifyPIN(SIMSecurity.PIN, "1234")
        tryCompare(verified, "count", 2)
        compare(verified.signalArguments[1][0], true)
        tryVerify(function() { return changed.count > 0 && changed.signalArguments[changed.count - 1][0] === SIMStatus.Ok })
    }
}
