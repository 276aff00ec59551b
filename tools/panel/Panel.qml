// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator's control panel: what "ondrix-modemsim ctl" can do, as
// controls. Every control sends one command line to the simulator; the
// right-hand side shows what the daemons now hold and the calls they got.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

ApplicationWindow {
    id: panel
    width: 1000
    height: 700
    visible: true
    title: "Ondrix modem simulator" + (simulator.connected ? "" : " (not running)")

    readonly property var state: simulator.state
    function value(key) { return state[key] !== undefined ? state[key] : "–" }
    function run(command) { simulator.run(command) }

    // The controls show the state they change, each time the simulator's
    // changes (a control being set keeps what the user chose until then).
    readonly property string cardNow: value("SIM.Status")
    onCardNowChanged: cardState.currentIndex = Math.max(0, cardState.model.indexOf(cardNow))
    readonly property string registrationNow: value("NetworkRegistration.RegistrationStatus")
    onRegistrationNowChanged: {
        const index = registration.model.indexOf(registrationNow)
        if (index >= 0)
            registration.currentIndex = index
    }
    readonly property string networkNow: value("NetworkOperator.OperatorMCC") + " " + value("NetworkOperator.OperatorMNC")
    onNetworkNowChanged: {
        if (value("NetworkOperator.OperatorMCC") === "" || value("NetworkOperator.OperatorMCC") === "–")
            return
        mcc.text = value("NetworkOperator.OperatorMCC")
        mnc.text = value("NetworkOperator.OperatorMNC")
        operatorName.text = value("NetworkOperator.OperatorName")
    }
    readonly property string levelNow: value("SignalStrength.SignalDecibels")
    onLevelNowChanged: if (!level.pressed && !isNaN(parseInt(levelNow))) level.value = parseInt(levelNow)

    component Section: GroupBox {
        Layout.fillWidth: true
    }

    Rectangle {
        anchors.fill: parent
        color: "#f4f5f7"
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 10

        ScrollView {
            id: controls
            Layout.fillHeight: true
            Layout.preferredWidth: 560
            clip: true
            contentWidth: availableWidth
            contentHeight: sections.implicitHeight
            // Shown whenever the sections do not fit: at the default size some are below.
            ScrollBar.vertical.policy: contentHeight > height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded

            ColumnLayout {
                id: sections
                width: controls.availableWidth
                spacing: 8

                Section {
                    title: "Network"
                    GridLayout {
                        anchors.fill: parent
                        columns: 4
                        Label { text: "Signal" }
                        Slider {
                            id: level
                            objectName: "signalLevel"
                            from: -113
                            to: -51
                            stepSize: 1
                            value: -75
                            Layout.columnSpan: 2
                            Layout.fillWidth: true
                            // One command once the knob rests, not one per step of a drag.
                            onMoved: settle.restart()
                            Timer {
                                id: settle
                                interval: 150
                                onTriggered: panel.run("signal " + Math.round(level.value))
                            }
                        }
                        Label { text: Math.round(level.value) + " dBm" }
                        Label { text: "Registration" }
                        ComboBox {
                            id: registration
                            objectName: "registration"
                            model: ["Home", "Roaming", "Searching", "NoCoverage", "NoSim", "Rejected", "Offline"]
                            Layout.fillWidth: true
                        }
                        TextField { id: mcc; objectName: "mcc"; placeholderText: "MCC"; text: "244"; Layout.preferredWidth: 60 }
                        TextField { id: mnc; objectName: "mnc"; placeholderText: "MNC"; text: "05"; Layout.preferredWidth: 60 }
                        Label { text: "Operator" }
                        TextField {
                            id: operatorName
                            objectName: "operatorName"
                            text: "Ondrix Mobile"
                            Layout.columnSpan: 2
                            Layout.fillWidth: true
                        }
                        Button {
                            objectName: "register"
                            text: "Register"
                            onClicked: panel.run("register " + registration.currentText + " " + mcc.text + " " + mnc.text
                                                 + " " + simulator.quoted(operatorName.text))
                        }
                        Label { text: "Flight mode" }
                        Switch {
                            objectName: "flight"
                            checked: panel.value("NetworkRegistration.RegistrationStatus") === "Offline"
                            onToggled: panel.run("flight " + (checked ? "on" : "off"))
                        }
                    }
                }

                Section {
                    title: "SIM card (PIN 1234, PUK 12345678)"
                    RowLayout {
                        anchors.fill: parent
                        Button { objectName: "simInsert"; text: "Insert"; onClicked: panel.run("sim insert") }
                        Button { objectName: "simRemove"; text: "Remove"; onClicked: panel.run("sim remove") }
                        ComboBox {
                            id: cardState
                            objectName: "cardState"
                            model: ["Ok", "PINRequired", "PUKRequired", "NotReady", "PermanentlyBlocked", "Rejected",
                                    "SIMLockRejected", "NoSIM"]
                            Layout.fillWidth: true
                        }
                        Button { objectName: "setCardState"; text: "Set"; onClicked: panel.run("sim state " + cardState.currentText) }
                    }
                }

                Section {
                    title: "USSD"
                    RowLayout {
                        anchors.fill: parent
                        TextField { id: ussdCode; objectName: "ussdCode"; text: "*555#"; Layout.preferredWidth: 80 }
                        TextField {
                            id: ussdAnswer
                            objectName: "ussdAnswer"
                            placeholderText: "The network's answer"
                            Layout.fillWidth: true
                        }
                        Button {
                            objectName: "setUssd"
                            text: "Answer with it"
                            onClicked: panel.run("script com.kelvo.hvt.SS.USSD Command count=0 when=s:"
                                                 + simulator.quoted(ussdCode.text) + " "
                                                 + simulator.quoted("reply=s:" + ussdAnswer.text) + " reply=s:en")
                        }
                    }
                }

                Section {
                    title: "Cell and network time"
                    RowLayout {
                        anchors.fill: parent
                        TextField { id: cellId; objectName: "cellId"; placeholderText: "Cell id"; text: "7012"; Layout.preferredWidth: 70 }
                        TextField { id: cellName; objectName: "cellName"; placeholderText: "Cell name"; text: "Pasila"; Layout.fillWidth: true }
                        Button {
                            objectName: "changeCell"
                            text: "Change cell"
                            onClicked: {
                                panel.run("set com.kelvo.hvt.CSNet.NetworkCell CellName " + simulator.quoted("s:" + cellName.text))
                                panel.run("set com.kelvo.hvt.CSNet.NetworkCell CellId i:" + (parseInt(cellId.text) || 0))
                            }
                        }
                        Button {
                            objectName: "sendTime"
                            text: "Send network time"
                            onClicked: panel.run("set com.kelvo.hvt.CSNet.NetworkTime Network as:" + mcc.text + "," + mnc.text)
                        }
                    }
                }

                Section {
                    title: "Call"
                    RowLayout {
                        anchors.fill: parent
                        Button { objectName: "callOut"; text: "Outgoing"; onClicked: panel.run("call start") }
                        Button { objectName: "callIn"; text: "Incoming"; onClicked: panel.run("call start incoming") }
                        Button { objectName: "callEnd"; text: "End"; onClicked: panel.run("call end") }
                        Label {
                            objectName: "timers"
                            text: "last " + panel.value("Call.Last") + " s · dialled " + panel.value("Call.Dialled")
                                  + " s · received " + panel.value("Call.Received") + " s"
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                        }
                    }
                }

                Section {
                    title: "Scenario"
                    RowLayout {
                        anchors.fill: parent
                        ComboBox { id: scenario; objectName: "scenario"; model: simulator.scenarios; Layout.fillWidth: true }
                        SpinBox { id: speed; from: 1; to: 100; value: 1 }
                        Button { objectName: "play"; text: "Play"; onClicked: simulator.play(scenario.currentText, speed.value) }
                        Button { objectName: "stop"; text: "Stop"; onClicked: simulator.stop() }
                        Label { text: simulator.scenarioLine > 0 ? "line " + simulator.scenarioLine : "" }
                    }
                }

                Section {
                    title: "Command"
                    RowLayout {
                        anchors.fill: parent
                        TextField {
                            id: command
                            objectName: "command"
                            placeholderText: "any ctl command: setting SignalDriftInterval i:0"
                            Layout.fillWidth: true
                            onAccepted: panel.run(text)
                        }
                        Button { text: "Run"; onClicked: panel.run(command.text) }
                        Button { objectName: "reset"; text: "Reset"; onClicked: panel.run("reset") }
                    }
                }

                Label {
                    objectName: "message"
                    text: simulator.message
                    color: "#b3261e"
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Label { text: "The modem now"; font.bold: true }
            GridLayout {
                objectName: "now"
                columns: 2
                columnSpacing: 12
                Repeater {
                    model: [["Signal", "SignalStrength.SignalDecibels", " dBm"], ["Bars", "SignalStrength.SignalBars", ""],
                            ["Registration", "NetworkRegistration.RegistrationStatus", ""],
                            ["Operator", "NetworkOperator.OperatorName", ""],
                            ["Network", "NetworkOperator.OperatorMCC", "", "NetworkOperator.OperatorMNC"],
                            ["Cell", "NetworkCell.CellId", ""],
                            ["Cell name", "NetworkCell.CellName", ""], ["SIM", "SIM.Status", ""],
                            ["SIM present", "SIM.Present", ""], ["In a call", "Call.InCall", ""],
                            ["Service", "Modem.ServiceState", ""]]
                    delegate: RowLayout {
                        Layout.columnSpan: 2
                        Label { text: modelData[0]; Layout.preferredWidth: 100; color: "#555" }
                        Label {
                            objectName: "now." + modelData[1]
                            text: panel.value(modelData[1]) + modelData[2]
                                  + (modelData.length > 3 ? " " + panel.value(modelData[3]) : "")
                        }
                    }
                }
            }
            RowLayout {
                Label { text: "Calls the daemons received, lines of the AT port"; font.bold: true; Layout.fillWidth: true }
                Button { text: "Clear"; flat: true; onClicked: simulator.clearCalls() }
            }
            Frame {
                Layout.fillWidth: true
                Layout.fillHeight: true
                ListView {
                    objectName: "callLog"
                    anchors.fill: parent
                    clip: true
                    model: simulator.callLog
                    delegate: Label {
                        width: ListView.view.width
                        text: modelData
                        font.family: "monospace"
                        font.pixelSize: 11
                        elide: Text.ElideRight
                    }
                }
            }
        }
    }
}
