// SPDX-License-Identifier: LGPL-2.1-or-later
// The phone's status bar: signal bars, the network, a roaming mark and the clock.
import QtQuick 2.15

Rectangle {
    id: bar
    property int bars: 0
    property string network: ""
    property bool roaming: false

    implicitHeight: 30
    color: "#0b0f14"

    component Bar: Rectangle {
        property bool lit
        anchors.bottom: parent.bottom
        width: 4
        radius: 1
        color: lit ? "#f2f5f8" : "#39424d"
    }

    Row {
        id: signalBars
        objectName: "signalBars"
        property int shown: bar.bars
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        height: 16
        spacing: 2
        Bar { height: 4; lit: bar.bars > 0 }
        Bar { height: 7; lit: bar.bars > 1 }
        Bar { height: 10; lit: bar.bars > 2 }
        Bar { height: 13; lit: bar.bars > 3 }
        Bar { height: 16; lit: bar.bars > 4 }
    }

    Text {
        id: networkName
        objectName: "networkName"
        anchors.left: signalBars.right
        anchors.leftMargin: 8
        anchors.right: roamingMark.visible ? roamingMark.left : clock.left
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        text: bar.network
        color: "#f2f5f8"
        font.pixelSize: 13
        elide: Text.ElideRight
    }

    Rectangle {
        id: roamingMark
        objectName: "roamingMark"
        visible: bar.roaming
        anchors.right: clock.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        radius: 3
        color: "#e0a030"
        Text {
            anchors.centerIn: parent
            text: "R"
            font.pixelSize: 11
            font.bold: true
            color: "#0b0f14"
        }
    }

    Text {
        id: clock
        objectName: "clock"
        property date now: new Date()
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        text: Qt.formatTime(now, "hh:mm")
        color: "#f2f5f8"
        font.pixelSize: 13
        font.bold: true
        Timer {
            interval: 1000
            running: true
            repeat: true
            onTriggered: clock.now = new Date()
        }
    }
}
