// SPDX-License-Identifier: LGPL-2.1-or-later
// A phone's dialler on libondrix-qt: the status bar, a dial pad whose service
// codes and USSD reach the network, the SIM lock screen, operator selection
// and a message editor. Against the simulator:
//   make demo-qml SCENARIO=pin-locked-sim               (a bus, the simulator, its panel and this)
//   qmlscene -I build/qml examples/dialer/main.qml       (Qt 5, on a bus of your own)
//   qml -I build-qt6/qml examples/dialer/main.qml        (Qt 6)
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Ondrix 1.0

ApplicationWindow {
    id: window
    width: 360
    height: 720
    visible: true
    title: "Ondrix dialler"
    color: "#111820"
    palette.window: "#111820"
    palette.windowText: "#f2f5f8"
    palette.base: "#1a222c"
    palette.alternateBase: "#232b35"
    palette.text: "#f2f5f8"
    palette.button: "#232b35"
    palette.buttonText: "#f2f5f8"
    palette.brightText: "#ffffff"
    palette.highlight: "#34b86a"
    palette.highlightedText: "#0b0f14"
    palette.mid: "#39424d"
    palette.dark: "#0b0f14"
    palette.light: "#2a3440"
    palette.midlight: "#2a3440"

    // Which screen shows: 0 the dial pad, 1 the networks, 2 a message.
    property alias page: tabs.currentIndex
    // The number of the call on screen, "" without one.
    property string calling: ""

    // What the status bar shows. Without its daemons an object keeps what it
    // last had: none of it is shown as the modem's.
    readonly property bool present: modem.valid && registration.valid && op.valid && signal.valid
    readonly property bool registered: present && (registration.status === NetworkRegistration.AtHome
                                                   || registration.status === NetworkRegistration.Roaming)
    readonly property bool radioOn: present && modem.power && registration.status !== NetworkRegistration.PowerOff
                                    && registration.status !== NetworkRegistration.Offline
    // A USSD dialogue needs the network: the panel goes when the service does.
    onRegisteredChanged: if (!registered) closeUssd()
    readonly property string networkText: {
        if (!present)
            return "No modem"
        if (!radioOn)
            return registration.status === NetworkRegistration.Offline ? "Offline" : "Radio off"
        if (registered)
            return op.name !== "" ? op.name : op.mcc + " " + op.mnc
        if (registration.status === NetworkRegistration.Searching)
            return "Searching…"
        if (registration.status === NetworkRegistration.NoCoverage)
            return "No service"
        if (card.codeNeeded !== SimCard.NoCode)
            return "SIM locked · Emergency calls only"
        if (registration.status === NetworkRegistration.NoSim)
            return "No SIM · Emergency calls only"
        return "Emergency calls only"
    }

    // What the user typed: a call, the card's PIN or PUK procedure, a
    // supplementary service, or USSD. A string that carries a code is never
    // shown again, nor kept in the field.
    function dial(typed) {
        if (typed === "")
            return
        if (!ss.isServiceCode(typed))
            call(typed)
        else if (security.sendCodeRequest(typed))
            show("Changing the code…")
        else if (ss.sendSSRequest(typed))
            show("Asking the network…")
        else {
            ss.sendCommand(typed)
            show("Sending " + typed + "…")
        }
        if (ss.carriesCode(typed))
            dialled.text = ""
    }

    function call(number) {
        window.calling = number
    }

    function show(text) {
        ussdText.text = text
        ussdPanel.visible = true
    }

    // Closes the USSD panel; a dialogue the network left open is released.
    function closeUssd() {
        if (ussdAnswer.visible)
            ss.ussdRelease()
        ussdAnswer.visible = false
        ussdPanel.visible = false
    }

    // "NotProvisioned" as "not provisioned".
    function readable(name) {
        return name.replace(/([a-z])([A-Z])/g, "$1 $2").toLowerCase()
    }

    readonly property var serviceTitles: ({
        registerDivert: "Call divert registered", eraseDivert: "Call divert erased",
        activateDivert: "Call divert on", deactivateDivert: "Call divert off", checkDivert: "Call divert",
        changeBarringPassword: "Barring password changed", activateBarring: "Call barring on",
        deactivateBarring: "Call barring off", checkBarring: "Call barring",
        activateWaiting: "Call waiting on", deactivateWaiting: "Call waiting off", checkWaiting: "Call waiting",
        checkClir: "Caller ID", checkClip: "Caller ID presentation", checkColp: "Connected line presentation",
        checkColr: "Connected line restriction", checkCnap: "Calling name presentation"
    })

    function serviceText(operation, error, result) {
        var title = serviceTitles[operation]
        if (error !== SupplementaryServices.NoError)
            return title + ": " + readable(ss.errorName(error))
        switch (operation) {
        case "checkDivert":
            var lines = []
            for (var i = 0; i < result.length; i++) {
                if (result[i].active)
                    lines.push("to " + result[i].telephoneNumber
                               + (result[i].forwardDelay > 0 ? " after " + result[i].forwardDelay + " s" : ""))
            }
            return lines.length === 0 ? "Call divert: not active" : "Calls diverted " + lines.join("\n")
        case "checkBarring":
        case "checkWaiting":
            return title + (result.length > 0 ? ": active" : ": not active")
        case "checkClir":
            return ["Caller ID: always withheld", "Caller ID: withheld by default",
                    "Caller ID: shown by default"][result] || "Caller ID: unknown"
        case "checkClip":
        case "checkColp":
        case "checkColr":
        case "checkCnap":
            return title + (result ? ": provisioned" : ": not provisioned")
        }
        return title
    }

    SystemControl { id: modem }
    NetworkOperator { id: op }
    SignalStrength { id: signal; options: SignalStrength.BarsOption }
    NetworkRegistration { id: registration }
    SimCard { id: card }
    SIMSecurity {
        id: security
        onChangePINComplete: function(success) { window.show(success ? "Code changed" : "Code not changed") }
        onVerifyPUKComplete: function(success) { window.show(success ? "Code changed" : "Code not changed") }
    }
    SupplementaryServices {
        id: ss
        onServiceCompleted: function(operation, error, result) {
            window.show(window.serviceText(operation, error, result))
        }
        onCommandCompleted: function(result) { window.show(result) }
        onReplyCompleted: function(result) {
            if (result !== "")
                window.show(result)
        }
        onUserActionRequested: function(result) {
            window.show(result)
            ussdAnswer.visible = true
        }
        onNotifyReceived: function(message) {
            window.show(message)
            ss.sendNotifyAck()
        }
        onUssdReleased: function(message) {
            // Said in the panel that is open; a closed one stays closed.
            if (ussdPanel.visible)
                window.show(ussdText.text + "\n" + message)
            ussdAnswer.visible = false
        }
        onUssdError: function(operation, error, message) {
            // A dialogue the network ended already needs no release.
            if (operation === SupplementaryServices.UssdReleaseOp)
                return
            // A refused answer ends the dialogue here: the network is told.
            if (ussdAnswer.visible)
                ss.ussdRelease()
            window.show(message !== "" ? message : "The request failed")
            ussdAnswer.visible = false
        }
    }

    header: StatusBar {
        id: statusBar
        objectName: "statusBar"
        bars: window.radioOn ? signal.bars : 0
        network: window.networkText
        roaming: window.radioOn && registration.status === NetworkRegistration.Roaming
    }

    footer: TabBar {
        id: tabs
        visible: !lockScreen.visible && window.calling === ""
        TabButton { text: "Phone" }
        TabButton { text: "Networks" }
        TabButton { text: "Messages" }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex

        // The dial pad.
        Rectangle {
            color: "#111820"
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 16
                spacing: 8

                TextField {
                    id: dialled
                    objectName: "dialled"
                    placeholderText: "Enter a number"
                    placeholderTextColor: "#6b7682"
                    inputMethodHints: Qt.ImhDialableCharactersOnly
                    horizontalAlignment: TextInput.AlignHCenter
                    font.pixelSize: 30
                    color: "#f2f5f8"
                    background: Item {}
                    Layout.fillWidth: true
                    onAccepted: window.dial(text)
                }
                Rectangle {
                    id: ussdPanel
                    objectName: "ussdPanel"
                    visible: false
                    radius: 8
                    color: "#1f2833"
                    Layout.fillWidth: true
                    Layout.preferredHeight: panelColumn.implicitHeight + 20
                    ColumnLayout {
                        id: panelColumn
                        anchors.fill: parent
                        anchors.margins: 10
                        Text {
                            id: ussdText
                            objectName: "ussdText"
                            color: "#f2f5f8"
                            font.pixelSize: 14
                            wrapMode: Text.Wrap
                            Layout.fillWidth: true
                        }
                        RowLayout {
                            id: ussdAnswer
                            objectName: "ussdAnswer"
                            visible: false
                            Layout.fillWidth: true
                            TextField {
                                id: answerField
                                objectName: "answerField"
                                inputMethodHints: Qt.ImhDigitsOnly
                                Layout.fillWidth: true
                            }
                            Button {
                                text: "Send"
                                onClicked: { ss.sendReply(answerField.text); answerField.text = "" }
                            }
                        }
                        Button {
                            text: "Close"
                            flat: true
                            Layout.alignment: Qt.AlignRight
                            onClicked: window.closeUssd()
                        }
                    }
                }
                Item { Layout.fillHeight: true }
                // The keys make room for a network's message: the call row stays on screen.
                Grid {
                    objectName: "dialPad"
                    visible: !ussdPanel.visible
                    columns: 3
                    spacing: 18
                    Layout.alignment: Qt.AlignHCenter
                    DialKey { digit: "1"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "2"; letters: "ABC"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "3"; letters: "DEF"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "4"; letters: "GHI"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "5"; letters: "JKL"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "6"; letters: "MNO"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "7"; letters: "PQRS"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "8"; letters: "TUV"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "9"; letters: "WXYZ"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "*"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "0"; letters: "+"; onPressed: function(key) { dialled.text += key } }
                    DialKey { digit: "#"; onPressed: function(key) { dialled.text += key } }
                }
                RowLayout {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.topMargin: 8
                    spacing: 40
                    Item { width: 48; height: 48 }
                    Rectangle {
                        objectName: "callKey"
                        width: 72
                        height: 72
                        radius: 36
                        color: callTouch.pressed ? "#2e9e5b" : "#34b86a"
                        Text {
                            anchors.centerIn: parent
                            text: "Call"
                            color: "white"
                            font.pixelSize: 16
                            font.bold: true
                        }
                        MouseArea {
                            id: callTouch
                            anchors.fill: parent
                            onClicked: window.dial(dialled.text)
                        }
                    }
                    Text {
                        objectName: "backspace"
                        text: "⌫"
                        color: "#b8c2cc"
                        font.pixelSize: 30
                        width: 48
                        horizontalAlignment: Text.AlignHCenter
                        MouseArea {
                            anchors.fill: parent
                            onClicked: dialled.text = dialled.text.slice(0, -1)
                            onPressAndHold: dialled.text = ""
                        }
                    }
                }
            }
        }

        NetworkList {
            registration: registration
        }

        MessageEditor {
            id: messages
        }
    }

    PinDialog {
        id: lockScreen
        parent: window.contentItem
        anchors.fill: parent
        card: card
        onEmergencyCall: window.call("112")
    }

    // The call in progress; the call itself is the telephony stack's, not this library's.
    Rectangle {
        objectName: "callScreen"
        parent: window.contentItem
        anchors.fill: parent
        visible: window.calling !== ""
        color: "#0b0f14"
        MouseArea { anchors.fill: parent }
        ColumnLayout {
            anchors.centerIn: parent
            spacing: 16
            Text {
                objectName: "callTitle"
                text: window.calling === "112" ? "Emergency call" : "Calling"
                color: "#b8c2cc"
                font.pixelSize: 16
                Layout.alignment: Qt.AlignHCenter
            }
            Text {
                text: window.calling
                color: "#f2f5f8"
                font.pixelSize: 32
                Layout.alignment: Qt.AlignHCenter
            }
            Rectangle {
                width: 72
                height: 72
                radius: 36
                color: "#d64545"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 40
                Text { anchors.centerIn: parent; text: "End"; color: "white"; font.pixelSize: 16; font.bold: true }
                MouseArea { anchors.fill: parent; onClicked: window.calling = "" }
            }
        }
    }
}
