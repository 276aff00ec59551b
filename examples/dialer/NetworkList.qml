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
                font.pixelSize: 16
                text: "Search networks"
                Layout.fillWidth: true
                onClicked: {
                    page.result = "Searching for networks…"
                    page.registration.scanOperators()
                }
            }
            Button {
                objectName: "automatic"
                font.pixelSize: 16
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
            id: networks
            objectName: "networks"
            model: page.registration.operators
            clip: true
            spacing: 1
            Layout.fillWidth: true
            Layout.fillHeight: true
            // A row tapped: register with its network, unless it is the
            // current one or forbidden.
            TapHandler {
                onTapped: function(point) {
                    const index = networks.indexAt(point.position.x + networks.contentX,
                                                   point.position.y + networks.contentY)
                    const op = index >= 0 ? page.registration.operators[index] : null
                    if (!op || op.availabilityName === "Current" || op.availabilityName === "Forbidden"
                            || op.preferenceName === "Forbidden")
                        return
                    page.result = "Registering with " + op.name + "…"
                    page.registration.selectOperator(index)
                }
            }
            delegate: Rectangle {
                id: row
                required property var modelData
                required property int index
                readonly property bool current: modelData.availabilityName === "Current"
                readonly property bool barred: modelData.availabilityName === "Forbidden"
                                               || modelData.preferenceName === "Forbidden"
                objectName: "network" + index
                width: ListView.view.width
                height: 56
                color: "#1a222c"
                Column {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    Text {
                        text: row.modelData.name
                        color: row.barred ? "#6b7682" : "#f2f5f8"
                        font.pixelSize: 16
                        font.bold: row.current
                    }
                    Text {
                        text: row.modelData.mcc + " " + row.modelData.mnc + (row.modelData.umts ? "  ·  3G" : "  ·  2G")
                        color: "#8c97a3"
                        font.pixelSize: 12
                    }
                }
                Text {
                    objectName: "mark"
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: row.current ? "✓ Current" : row.barred ? "Forbidden" : ""
                    color: row.current ? "#5fd38d" : "#ff8a70"
                    font.pixelSize: 13
                }
            }
        }
    }
}
