// SPDX-License-Identifier: LGPL-2.1-or-later
// Operator selection: a scan, the networks found with the current one and
// the forbidden ones marked, manual and automatic selection.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Ondrix 1.0

Rectangle {
    id: page
    property NetworkRegistration registration
    property string result: ""

    color: "#111820"

    function forbidden(op) {
        return op.availabilityName === "Forbidden" || op.preferenceName === "Forbidden"
    }

    Connections {
        target: page.registration
        function onSelectionSuccess() { page.result = "Registered" }
        function onSelectionFailure() { page.result = "The network refused the registration" }
        function onOperatorsChanged() {
            if (page.result === "Searching for networks…")
                page.result = page.registration.operators.length === 0 ? "No networks found" : ""
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        Text {
            text: "Networks"
            color: "#f2f5f8"
            font.pixelSize: 22
        }
        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "scan"
                text: "Search networks"
                Layout.fillWidth: true
                onClicked: {
                    page.result = "Searching for networks…"
                    page.registration.scanOperators()
                }
            }
            Button {
                objectName: "automatic"
                text: "Automatic"
                highlighted: page.registration.mode === NetworkRegistration.Automatic
                onClicked: {
                    page.result = "Selecting automatically…"
                    page.registration.selectOperator()
                }
            }
        }
        Text {
            objectName: "scanResult"
            text: page.result
            visible: text !== ""
            color: "#b8c2cc"
            font.pixelSize: 14
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        ListView {
            objectName: "networks"
            model: page.registration.operators
            clip: true
            spacing: 1
            Layout.fillWidth: true
            Layout.fillHeight: true
            delegate: Rectangle {
                readonly property bool current: modelData.availabilityName === "Current"
                readonly property bool barred: page.forbidden(modelData)
                objectName: "network" + index
                width: ListView.view.width
                height: 56
                color: touch.pressed && !barred ? "#2a3440" : "#1a222c"
                Column {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    Text {
                        text: modelData.name
                        color: barred ? "#6b7682" : "#f2f5f8"
                        font.pixelSize: 16
                        font.bold: current
                    }
                    Text {
                        text: modelData.mcc + " " + modelData.mnc + (modelData.umts ? "  ·  3G" : "  ·  2G")
                        color: "#8c97a3"
                        font.pixelSize: 12
                    }
                }
                Text {
                    objectName: "mark"
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: current ? "✓ Current" : barred ? "Forbidden" : ""
                    color: current ? "#5fd38d" : "#ff8a70"
                    font.pixelSize: 13
                }
                MouseArea {
                    id: touch
                    anchors.fill: parent
                    enabled: !barred && !current
                    onClicked: {
                        page.result = "Registering with " + modelData.name + "…"
                        page.registration.selectOperator(index)
                    }
                }
            }
        }
    }
}
