// SPDX-License-Identifier: LGPL-2.1-or-later
// The dialler example through the shipped scenarios: what its screens show
// in each state, by the items' texts and visibility. Each state's screenshot
// goes where ONDRIX_SCREENSHOTS says.
import QtQuick 2.15
import QtTest 1.15
import Ondrix 1.0

TestCase {
    name: "Dialer"
    when: windowShown

    property var window: null
    SystemControl { id: controller }

    function find(item, name) {
        if (!item)
            return null
        for (var i = 0; i < item.children.length; i++) {
            var child = item.children[i]
            if (child.objectName === name)
                return child
            var found = find(child, name)
            if (found)
                return found
        }
        return null
    }
    function item(name) {
        var found = find(window.contentItem, name) || find(window.header, name) || find(window.contentItem.parent, name)
        verify(found !== null, "no item " + name)
        return found
    }
    function text(name) { return item(name).text }

    // The dialler as an application starts it: after the modem got where it is.
    function open() {
        var component = Qt.createComponent(Qt.resolvedUrl("../../examples/dialer/main.qml"))
        compare(component.status, Component.Ready, component.errorString())
        window = component.createObject(null, { visible: true })
        verify(window !== null)
        waitForRendering(window.contentItem)
    }
    // Evidence, not behaviour: a screenshot that cannot be taken is said, never failed.
    function shoot(name) {
        if (sim.screenshots() === "")
            return
        waitForRendering(window.contentItem)
        var saved = null
        var file = sim.screenshots() + "/dialer-" + name + ".png"
        if (window.contentItem.parent.grabToImage(function(shot) { saved = shot.saveToFile(file) })) {
            for (var waited = 0; saved === null && waited < 5000; waited += 50)
                wait(50)
        }
        if (saved !== true)
            console.warn("no screenshot " + file)
    }
    function play(scenario) { compare(sim.play(scenario, 50), "") }
    function dial(number) {
        item("dialled").text = number
        window.dial(number)
    }

    function init() { sim.reset() }
    function cleanup() {
        if (window)
            window.destroy()
        window = null
        controller.power = true
    }

    function test_home() {
        play("home")
        open()
        tryCompare(item("networkName"), "text", "Ondrix Mobile")
        verify(item("signalBars").shown > 0)
        compare(item("roamingMark").visible, false)
        compare(item("pinDialog").visible, false)
        verify(/^\d\d:\d\d$/.test(text("clock")))
        shoot("home")
    }

    // Locked before the application starts: the lock screen opens at once.
    function test_pinLockedAtStart() {
        play("pin-locked-sim")
        open()
        tryCompare(item("pinDialog"), "visible", true)
        compare(text("pinTitle"), "SIM locked")
        tryCompare(item("attempts"), "text", "3 attempts left")
        tryCompare(item("networkName"), "text", "SIM locked · Emergency calls only")
        shoot("pin")

        item("code").text = "0000"
        item("unlock").clicked()
        tryCompare(item("pinMessage"), "text", "Wrong PIN")
        tryCompare(item("attempts"), "text", "2 attempts left")
        compare(item("code").text, "")

        item("emergencyCall").clicked()
        tryCompare(item("callScreen"), "visible", true)
        compare(text("callTitle"), "Emergency call")
        window.calling = ""

        item("code").text = "1234"
        item("unlock").clicked()
        tryCompare(item("pinDialog"), "visible", false)
        tryCompare(item("networkName"), "text", "Ondrix Mobile", 10000)
    }

    function test_pukStep() {
        open()
        sim.run("sim state PUKRequired")
        tryCompare(item("pinDialog"), "visible", true)
        compare(text("pinTitle"), "SIM blocked")
        compare(item("newPin").visible, true)
        tryCompare(item("attempts"), "text", "10 attempts left")
        shoot("puk")
        item("code").text = "12345678"
        item("newPin").text = "4321"
        item("repeatPin").text = "4322"
        item("unlock").clicked()
        compare(text("pinMessage"), "The new PINs differ")
        item("repeatPin").text = "4321"
        item("unlock").clicked()
        tryCompare(item("pinDialog"), "visible", false)
    }

    function test_roamingAbroad() {
        play("roaming-abroad")
        open()
        tryCompare(item("networkName"), "text", "Telia EE")
        compare(item("roamingMark").visible, true)
        verify(item("signalBars").shown > 0)
        shoot("roaming")
    }

    function test_noCoverageAndBack() {
        open()
        sim.run("register NoCoverage")
        sim.run("signal -113")
        tryCompare(item("networkName"), "text", "No service")
        tryCompare(item("signalBars"), "shown", 0)
        shoot("no-coverage")
        sim.reset()
        play("no-coverage")
        tryCompare(item("networkName"), "text", "Ondrix Mobile")
        verify(item("signalBars").shown > 0)
    }

    function test_radioOffAndFlight() {
        open()
        controller.power = false
        tryCompare(item("networkName"), "text", "Radio off", 10000)
        tryCompare(item("signalBars"), "shown", 0)
        compare(item("roamingMark").visible, false)
        shoot("radio-off")
        controller.power = true
        tryCompare(item("networkName"), "text", "Ondrix Mobile", 10000)
        sim.run("flight on")
        tryCompare(item("networkName"), "text", "Offline")
        tryCompare(item("signalBars"), "shown", 0)
    }

    function test_weakSignalDrive() {
        play("weak-signal-drive")
        open()
        tryCompare(item("networkName"), "text", "Ondrix Mobile")
        sim.run("signal -109")
        tryCompare(item("signalBars"), "shown", 1)
        sim.run("signal -60")
        tryCompare(item("signalBars"), "shown", 5)
    }

    // Without its daemons the dialler shows no modem: no bars, no operator.
    function test_noModem() {
        open()
        tryCompare(item("networkName"), "text", "Ondrix Mobile")
        sim.run("release")
        tryCompare(item("networkName"), "text", "No modem")
        compare(item("signalBars").shown, 0)
        compare(item("roamingMark").visible, false)
        shoot("no-modem")
        sim.run("acquire")
        tryCompare(item("networkName"), "text", "Ondrix Mobile")
        verify(item("signalBars").shown > 0)
    }

    // A dialogue needs the network: the panel goes with the service, and a
    // modem reset ends the dialogue. The call row stays on screen meanwhile.
    function test_ussdPanelFollowsTheNetwork_data() {
        return [{tag: "radio off", command: "power"}, {tag: "no coverage", command: "register NoCoverage"},
                {tag: "flight", command: "flight on"}, {tag: "reset", command: "reset"}]
    }
    function test_ussdPanelFollowsTheNetwork(data) {
        open()
        dial("*123#")
        tryCompare(item("ussdAnswer"), "visible", true)
        var call = item("callKey"), back = item("backspace")
        var bottom = call.mapToItem(window.contentItem, 0, call.height).y
        verify(bottom <= window.contentItem.height, "the call key ends at " + bottom)
        verify(back.mapToItem(window.contentItem, back.width, 0).x <= window.contentItem.width)
        if (data.command === "power")
            controller.power = false
        else
            sim.run(data.command)
        tryCompare(item("ussdAnswer"), "visible", false)
        if (data.command !== "reset")
            tryCompare(item("ussdPanel"), "visible", false)
    }

    // The attempts shown are the card's when a code is about to be typed,
    // and the answer to a PIN is about the PIN, whatever screen follows it.
    function test_attemptsAsTheCardCountsThem() {
        play("pin-locked-sim")
        open()
        tryCompare(item("attempts"), "text", "3 attempts left")
        sim.run("script com.kelvo.hvt.SIM.Security PINAttemptsLeft reply=i:1")
        item("code").forceActiveFocus()
        tryCompare(item("attempts"), "text", "1 attempt left")
        sim.run("script com.kelvo.hvt.SIM.Security VerifyPIN reply=b:false")
        sim.run("sim state PUKRequired")
        item("code").text = "0000"
        item("unlock").clicked()
        tryCompare(item("pinTitle"), "text", "SIM blocked")
        tryCompare(item("pinMessage"), "text", "Wrong PIN")
    }

    function test_busyUssd() {
        sim.run("script com.kelvo.hvt.SS.USSD Command count=0 error=com.kelvo.hvt.SS.USSD.Error.Network.Busy \"message=The network is busy, try again later\"")
        open()
        dial("*100#")
        tryCompare(item("ussdText"), "text", "The network is busy, try again later")
        compare(item("ussdPanel").visible, true)
        shoot("busy-ussd")
    }

    function test_serviceCodesAndUssd() {
        open()
        dial("*#21#")
        tryVerify(function() { return text("ussdText").indexOf("Call divert") === 0 || text("ussdText").indexOf("Calls diverted") === 0 },
                  5000, text("ussdText"))
        dial("*#43#")
        tryVerify(function() { return text("ussdText").indexOf("Call waiting: ") === 0 }, 5000, text("ussdText"))
        dial("*123#")
        tryCompare(item("ussdAnswer"), "visible", true)
        verify(text("ussdText").length > 0)
        shoot("ussd-menu")
    }

    // A PIN change runs against the card, shows no code, keeps none in the
    // field, and sends nothing to the network.
    function test_codesStayOff() {
        open()
        sim.clearCalls()
        dial("**04*1234*4321*4321#")
        tryCompare(item("ussdText"), "text", "Code changed")
        compare(item("dialled").text, "")
        verify(sim.flush())
        var members = sim.members()
        verify(members.indexOf("ChangePIN") >= 0, members)
        verify(members.indexOf("Command") < 0, members)
    }

    function test_networkList() {
        open()
        window.page = 1
        item("scan").clicked()
        tryVerify(function() { return item("networks").count === 4 }, 10000)
        waitForRendering(item("networks"))
        var marks = []
        for (var i = 0; i < 4; i++)
            marks.push(find(item("network" + i), "mark").text)
        verify(marks.indexOf("✓ Current") >= 0, marks)
        verify(marks.indexOf("Forbidden") >= 0, marks)
        shoot("networks")

        // A forbidden network cannot be picked; another one can.
        sim.clearCalls()
        mouseClick(item("network" + marks.indexOf("Forbidden")))
        verify(sim.flush())
        compare(text("scanResult"), "")
        compare(sim.members().indexOf("SelectOperator"), -1)
        var other = marks.indexOf("")
        mouseClick(item("network" + other))
        tryCompare(item("scanResult"), "text", "Registered", 10000)
        tryCompare(item("networkName"), "text", item("network" + other).modelData.name, 10000)
    }

    function test_messageCounter() {
        open()
        window.page = 2
        item("body").text = "Meet at ten?"
        compare(text("counter"), "148 characters left")
        compare(text("segments"), "1 message")
        item("body").text = "Hyvää huomenta! Tavataan kymmeneltä kahvilassa torin laidalla, ja sitten mennään yhdessä katsomaan uutta näyttelyä. ☕"
        verify(/^\d+ characters? left$/.test(text("counter")), text("counter"))
        compare(text("segments"), "2 messages")
        shoot("message")
    }
}
