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

    function findChild(item, name) {
        for (var i = 0; i < item.children.length; i++) {
            var child = item.children[i]
            if (child.objectName === name)
                return child
            var found = findChild(child, name)
            if (found)
                return found
        }
        return null
    }

    // The dialler runs a PIN change against the card, shows no code, keeps
    // none in its field, and sends nothing to the network.
    function test_dialerKeepsCodes() {
        sim.reset()
        var component = Qt.createComponent(Qt.resolvedUrl("../../examples/dialer/main.qml"))
        var window = component.createObject(null, { visible: false })
        var field = findChild(window.contentItem, "dialled")
        var shown = findChild(window.contentItem, "ussdText")
        field.text = "**04*1234*4321*4321#"
        window.dial(field.text)
        tryCompare(shown, "text", "Code changed")
        compare(field.text, "")
        verify(sim.flush())
        var members = sim.members()
        verify(members.indexOf("ChangePIN") >= 0, members)
        verify(members.indexOf("Command") < 0, members)
        window.destroy()
    }
}
