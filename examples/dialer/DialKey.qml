// SPDX-License-Identifier: LGPL-2.1-or-later
// One key of the dial pad: its digit, and the letters under it.
import QtQuick 2.15

Rectangle {
    id: key
    property string digit
    property string letters
    signal pressed(string digit)

    width: 72
    height: 72
    radius: width / 2
    color: touch.pressed ? "#3a4654" : "#232b35"

    Column {
        anchors.centerIn: parent
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: key.digit
            color: "#f2f5f8"
            font.pixelSize: 28
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: key.letters
            color: "#8c97a3"
            font.pixelSize: 10
            font.letterSpacing: 2
        }
    }
    MouseArea {
        id: touch
        anchors.fill: parent
        onClicked: key.pressed(key.digit)
        // A long press on 0 gives "+", the international prefix.
        onPressAndHold: key.pressed(key.digit === "0" ? "+" : key.digit)
    }
}
