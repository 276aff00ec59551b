// SPDX-License-Identifier: LGPL-2.1-or-later
// A message editor with the counter a phone shows under it: the characters
// left in the current message and how many messages the text will take.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Ondrix 1.0

Rectangle {
    id: page
    color: "#111820"

    property alias text: body.text

    SmsCounter {
        id: counter
        text: body.text
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        Text {
            text: "New message"
            color: "#f2f5f8"
            font.pixelSize: 22
        }
        TextField {
            objectName: "recipient"
            placeholderText: "To"
            placeholderTextColor: "#6b7682"
            inputMethodHints: Qt.ImhDialableCharactersOnly
            Layout.fillWidth: true
        }
        TextArea {
            id: body
            objectName: "body"
            placeholderText: "Message"
            placeholderTextColor: "#6b7682"
            wrapMode: TextEdit.Wrap
            background: Rectangle {
                color: "#1a222c"
                border.color: body.activeFocus ? "#34b86a" : "#39424d"
                radius: 2
            }
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
        RowLayout {
            Layout.fillWidth: true
            Text {
                objectName: "counter"
                text: counter.remaining + (counter.remaining === 1 ? " character left" : " characters left")
                color: "#b8c2cc"
                font.pixelSize: 13
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "segments"
                text: counter.segments === 1 ? "1 message" : counter.segments + " messages"
                color: counter.segments > 1 ? "#e0a030" : "#b8c2cc"
                font.pixelSize: 13
            }
        }
    }
}
