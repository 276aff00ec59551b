// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0

TestCase {
    name: "Example"

    // The dialler example loads: every type and property it uses exists.
    function test_dialerLoads() {
        var component = Qt.createComponent(Qt.resolvedUrl("../../examples/dialer/main.qml"))
        tryVerify(function() { return component.status !== Component.Loading })
        compare(component.status, Component.Ready, component.errorString())
        var window = component.createObject(null, { visible: false })
        verify(window !== null)
        tryCompare(window, "title", "Ondrix dialler")
        window.destroy()
    }
}
