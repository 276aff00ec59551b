// SPDX-License-Identifier: LGPL-2.1-or-later
// The SIM lock screen: the PIN, or once the PIN is blocked the PUK and a new
// PIN, with the attempts left and a way to make an emergency call. Codes go
// straight to the card; the fields are cleared at once.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Ondrix 1.0

Rectangle {
    id: dialog
    property SimCard card
    property string message: ""
    readonly property bool puk: card !== null && card.codeNeeded === SimCard.PukCode
    // Which code the card's last answer is about: the screen may have turned
    // from PIN to PUK meanwhile.
    property bool pukSubmitted: false
    signal emergencyCall()

    objectName: "pinDialog"
    visible: card !== null && card.codeNeeded !== SimCard.NoCode
    onVisibleChanged: if (visible) card.refresh()
    color: "#0b0f14"

    function attemptsText(left) {
        if (left < 0)
            return ""
        return left === 1 ? "1 attempt left" : left + " attempts left"
    }

    function submit() {
        pukSubmitted = puk
        if (puk) {
            if (newPin.text !== repeatPin.text) {
                dialog.message = "The new PINs differ"
                return
            }
            card.enterPuk(code.text, newPin.text)
        } else {
            card.enterPin(code.text)
        }
        code.text = ""
        newPin.text = ""
        repeatPin.text = ""
    }

    Connections {
        target: dialog.card
        function onCodeEntered(accepted, error) {
            if (accepted)
                dialog.message = ""
            else if (error === SIM.NoError || error === SIM.WrongPassword)   // the card said no
                dialog.message = dialog.pukSubmitted ? "Wrong PUK" : "Wrong PIN"
            else
                dialog.message = "The card did not answer"
        }
    }

    // Swallows touches meant for the screens below.
    MouseArea { anchors.fill: parent }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        anchors.topMargin: 56
        spacing: 14

        Text {
            objectName: "pinTitle"
            text: dialog.puk ? "SIM blocked" : "SIM locked"
            color: "#f2f5f8"
            font.pixelSize: 26
            Layout.alignment: Qt.AlignHCenter
        }
        Text {
            text: dialog.puk ? "Enter the PUK code from your operator and a new PIN" : "Enter the SIM PIN"
            color: "#b8c2cc"
            font.pixelSize: 14
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        Text {
            objectName: "attempts"
            text: dialog.attemptsText(dialog.puk ? dialog.card.pukAttemptsLeft : dialog.card.pinAttemptsLeft)
            color: (dialog.puk ? dialog.card.pukAttemptsLeft : dialog.card.pinAttemptsLeft) === 1 ? "#ff8a70" : "#e0a030"
            font.pixelSize: 14
            Layout.alignment: Qt.AlignHCenter
        }
        TextField {
            id: code
            objectName: "code"
            placeholderText: dialog.puk ? "PUK" : "PIN"
            placeholderTextColor: "#6b7682"
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhDigitsOnly
            validator: RegularExpressionValidator { regularExpression: /[0-9]{0,16}/ }
            font.pixelSize: 22
            horizontalAlignment: TextInput.AlignHCenter
            Layout.fillWidth: true
            onAccepted: dialog.submit()
            // Before a code is typed the attempts shown are the card's own:
            // another application may have used one.
            onActiveFocusChanged: if (activeFocus && dialog.card) dialog.card.refresh()
            onTextChanged: if (text.length === 1 && dialog.card) dialog.card.refresh()
        }
        TextField {
            id: newPin
            objectName: "newPin"
            visible: dialog.puk
            placeholderText: "New PIN"
            placeholderTextColor: "#6b7682"
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhDigitsOnly
            validator: RegularExpressionValidator { regularExpression: /[0-9]{0,8}/ }
            font.pixelSize: 22
            horizontalAlignment: TextInput.AlignHCenter
            Layout.fillWidth: true
        }
        TextField {
            id: repeatPin
            objectName: "repeatPin"
            visible: dialog.puk
            placeholderText: "New PIN again"
            placeholderTextColor: "#6b7682"
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhDigitsOnly
            validator: RegularExpressionValidator { regularExpression: /[0-9]{0,8}/ }
            font.pixelSize: 22
            horizontalAlignment: TextInput.AlignHCenter
            Layout.fillWidth: true
        }
        Text {
            objectName: "pinMessage"
            text: dialog.card !== null && dialog.card.busy ? "Checking…" : dialog.message
            color: "#ff8a70"
            font.pixelSize: 14
            Layout.alignment: Qt.AlignHCenter
        }
        Button {
            objectName: "unlock"
            font.pixelSize: 16
            text: "Unlock"
            enabled: code.text.length >= 4 && !dialog.card.busy
            Layout.fillWidth: true
            onClicked: dialog.submit()
        }
        Item { Layout.fillHeight: true }
        Button {
            objectName: "emergencyCall"
            font.pixelSize: 16
            text: "Emergency call"
            Layout.fillWidth: true
            palette.button: "#b3261e"
            palette.buttonText: "#ffffff"
            onClicked: dialog.emergencyCall()
        }
    }
}
