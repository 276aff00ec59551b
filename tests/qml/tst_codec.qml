// SPDX-License-Identifier: LGPL-2.1-or-later
import QtQuick 2.0
import QtTest 1.0
import Ondrix 1.0

TestCase {
    name: "Codec"

    // The codec's answers are maps: their keys as a plain object.
    function plain(map) { return JSON.parse(JSON.stringify(map)) }

    function test_encodeAndDecode() {
        var sent = plain(SmsCodec.encode("+358401234567", "x".repeat(200), SmsCounter.Default, 66))
        compare(sent.error, "")
        compare(sent.pdus.length, 2)
        var back = plain(SmsCodec.decode([sent.pdus[1], sent.pdus[0]]))
        compare(back.text, "x".repeat(200))
        compare(back.to, "+358401234567")
        compare(plain(SmsCodec.decode(["0011"])).error, "address was invalid")
    }

    SmsCounter { id: counter; text: "hello" }

    // What one message holds, in the alphabet the text needs.
    function test_counter() {
        compare(counter.segments, 1)
        compare(counter.remaining, 155)
        compare(counter.maxLength, 160)
        counter.text = "hello 中"
        compare(counter.maxLength, 70)
    }

    function test_cellBroadcast() {
        var page = plain(SmsCodec.decodeCellBroadcast("401203E80110" + "0".repeat(164)))
        compare(page.messageId, 1000)
        compare(page.pages, 1)
        compare(plain(SmsCodec.decodeCellBroadcast("00")).error, "invalid parameter")
    }
}
