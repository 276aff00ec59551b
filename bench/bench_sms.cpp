// SPDX-License-Identifier: LGPL-2.1-or-later
// What the SMS codec costs per call: sizing under a message editor, the whole
// send and receive paths, and one received PDU.

#include <ondrix-qt/smscodec.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string gsmText(size_t length)
{
    const std::string piece = "The quick brown fox jumps over the lazy dog {€} ";
    std::string text;
    while (text.size() < length)
        text += piece;
    text.resize(length);
    return text;
}

std::string ucs2Text(size_t characters)
{
    const std::string piece = "Быстрая бурая лиса 😀 ";   // Cyrillic and an emoji
    std::string text;
    size_t count = 0;
    for (size_t i = 0; count < characters; i = (i + 1) % piece.size()) {
        text += piece[i];
        if ((static_cast<unsigned char>(piece[i]) & 0xC0) != 0x80)
            count++;
    }
    return text;
}

void size(benchmark::State &state, const std::string &text)
{
    sms_msg_t *msg = sms_msg_new_txt_message("+358401234567", text.c_str());
    sms_conv_ctx_t *ctx = sms_conv_ctx_open(SMS_LANG_DEFAULT);
    sms_msg_size_t result;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sms_msg_get_size(msg, &result, ctx));
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    sms_conv_ctx_close(ctx);
    sms_msg_destroy(msg);
}

void BM_SizeGsm160(benchmark::State &state) { size(state, gsmText(160)); }
void BM_SizeGsm4000(benchmark::State &state) { size(state, gsmText(4000)); }
void BM_SizeUcs2_160(benchmark::State &state) { size(state, ucs2Text(160)); }
void BM_SizeUcs2_4000(benchmark::State &state) { size(state, ucs2Text(4000)); }

// Ten GSM segments, the last not quite full.
const std::string tenSegments = std::string(153 * 10 - 20, 'x');

void BM_Serialize10(benchmark::State &state)
{
    sms_msg_t *msg = sms_msg_new_txt_message("+358401234567", tenSegments.c_str());
    for (auto _ : state) {
        sms_raw_pdu_t *raw = nullptr;
        uint32_t count = 0;
        if (sms_msg_serialize(msg, &raw, &count, 1) != SMS_OK || count != 10)
            state.SkipWithError("serialize failed");
        sms_msg_raw_destroy(raw, count);
    }
    sms_msg_destroy(msg);
}

void BM_Deserialize10(benchmark::State &state)
{
    sms_msg_t *msg = sms_msg_new_txt_message("+358401234567", tenSegments.c_str());
    sms_raw_pdu_t *raw = nullptr;
    uint32_t count = 0;
    sms_msg_serialize(msg, &raw, &count, 1);
    for (auto _ : state) {
        sms_msg_t *back = sms_msg_new();
        if (sms_msg_deserialize(raw, count, back) != SMS_OK)
            state.SkipWithError("deserialize failed");
        sms_msg_destroy(back);
    }
    sms_msg_raw_destroy(raw, count);
    sms_msg_destroy(msg);
}

void BM_DecodeDeliver(benchmark::State &state)
{
    // A DELIVER of 160 septets from +44123456789.
    std::vector<uint8_t> pdu = {0x04, 0x0B, 0x91, 0x44, 0x21, 0x43, 0x65, 0x87, 0xF9, 0x00, 0x00,
                                0x21, 0x20, 0x11, 0x31, 0x05, 0x14, 0x00, 160};
    std::vector<uint8_t> codes(160, 'a');
    std::vector<uint8_t> packed(140);
    sms_conv_pack(codes.data(), packed.data(), 160, 0);
    pdu.insert(pdu.end(), packed.begin(), packed.end());
    for (auto _ : state) {
        sms_tpdu_t *tpdu = sms_tpdu_new();
        if (sms_tpdu_decode(pdu.data(), uint32_t(pdu.size()), tpdu) != SMS_OK)
            state.SkipWithError("decode failed");
        sms_tpdu_destroy(tpdu);
    }
}

} // namespace

BENCHMARK(BM_SizeGsm160);
BENCHMARK(BM_SizeGsm4000);
BENCHMARK(BM_SizeUcs2_160);
BENCHMARK(BM_SizeUcs2_4000);
BENCHMARK(BM_Serialize10);
BENCHMARK(BM_Deserialize10);
BENCHMARK(BM_DecodeDeliver);

BENCHMARK_MAIN();
