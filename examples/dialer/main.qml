// SPDX-License-Identifier: LGPL-2.1-or-later
// A phone's dialler on libondrix-qt: a status bar, the PIN dialog, operator
// selection, USSD dialogues and the SMS counter. Against the simulator:
//   scripts/privatebus.sh (or make demo) for a bus, then
//   qmlscene -I build/qml examples/dialer/main.qml      (Qt 5)
//   qml -I build-qt6/qml examples/dialer/main.qml       (Qt 6)
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Ondrix 1.0

ApplicationWindow {
    id: window
    width: 420
    height: 720
    visible: true
    title: "Ondrix dialler"

    // What the user typed: a call, the card's PIN or PUK procedure, a
    // supplementary service, or USSD. A string that carries a code is never
    // shown again, nor kept in the field.
    function dial(typed) {
        if (!ss.isServiceCode(typed))
            ussdText.text = "Calling " + typed
        else if (security.sendCodeRequest(typed))
            ussdText.text = "Changing the code..."
        else if (!ss.sendSSRequest(typed))
            ss.sendCommand(typed)
        if (ss.carriesCode(typed))
            dialled.text = ""
    }

    SystemControl { id: modem }
    NetworkOperator { id: op }
    SignalStrength { id: signal; options: SignalStrength.BarsOption }
    NetworkRegistration {
        id: registration
        onSelectionSuccess: scanResult.text = "Registered"
        onSelectionFailure: scanResult.text = "Refused"
    }
    SIMSecurity {
        id: security
        onVerifyPINRequired: pinDialog.open()
        onVerifyPINComplete: {
            if (!success)
                pinDialog.open()
        }
        onChangePINComplete: ussdText.text = success ? "Code changed" : "Code not changed"
        onVerifyPUKComplete: ussdText.text = success ? "Code changed" : "Code not changed"
    }
    SupplementaryServices {
        id: ss
        onCommandCompleted: ussdText.text = result
        onReplyCompleted: if (result !== "") ussdText.text = result
        onUserActionRequested: { ussdText.text = result; ussdAnswer.visible = true }
        onNotifyReceived: { ussdText.text = message; ss.sendNotifyAck() }
        onUssdReleased: { ussdText.text += "\n" + message; ussdAnswer.visible = false }
        onUssdError: ussdText.text = "Failed: " + message
    }
    SmsCounter { id: counter; text: smsField.text }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            anchors.margins: 8
            Label { text: op.name; font.bold: true }
            Label { text: modem.status === SystemControl.FullService ? "" : "limited" }
            Item { Layout.fillWidth: true }
            Label { text: "▮".repeat(signal.bars) + "·".repeat(5 - signal.bars) }
        }
    }

    Dialog {
        id: pinDialog
        title: "Enter the PIN"
        modal: true
        anchors.centerIn: parent
        standardButtons: Dialog.Ok
        TextField { id: pinField; echoMode: TextInput.Password; inputMethodHints: Qt.ImhDigitsOnly }
        onAccepted: { security.verifyPIN(SIMSecurity.PIN, pinField.text); pinField.text = "" }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10

        GroupBox {
            title: "Networks"
            Layout.fillWidth: true
            ColumnLayout {
                anchors.fill: parent
                Button { text: "Scan"; onClicked: { scanResult.text = "Scanning..."; registration.scanOperators() } }
                Repeater {
                    model: registration.operators
                    delegate: Button {
                        text: modelData.name + " (" + modelData.mcc + " " + modelData.mnc + ") " + modelData.availabilityName
                        onClicked: { scanResult.text = "Selecting..."; registration.selectOperator(index) }
                    }
                }
                Label { id: scanResult }
            }
        }

        GroupBox {
            title: "Service codes and USSD"
            Layout.fillWidth: true
            ColumnLayout {
                anchors.fill: parent
                RowLayout {
                    TextField { id: dialled; objectName: "dialled"; placeholderText: "*100#"; Layout.fillWidth: true }
                    Button { text: "Dial"; onClicked: window.dial(dialled.text) }
                }
                Label { id: ussdText; objectName: "ussdText"; wrapMode: Text.Wrap; Layout.fillWidth: true }
                RowLayout {
                    id: ussdAnswer
                    visible: false
                    TextField { id: answerField; Layout.fillWidth: true }
                    Button { text: "Answer"; onClicked: { ss.sendReply(answerField.text); answerField.text = "" } }
                }
            }
        }

        GroupBox {
            title: "Message"
            Layout.fillWidth: true
            Layout.fillHeight: true
            ColumnLayout {
                anchors.fill: parent
                TextArea { id: smsField; Layout.fillWidth: true; Layout.fillHeight: true; wrapMode: TextEdit.Wrap }
                Label { text: counter.remaining + " / " + counter.segments }
            }
        }
    }
}
