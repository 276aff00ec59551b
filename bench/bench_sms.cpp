// SPDX-License-Identifier: LGPL-2.1-or-later
// What the SMS codec costs: sizing under a message editor, choosing the
// cheapest shift tables, the whole send and receive paths, and one received
// PDU. Each figure per call and per character ("per_char"); the instruction
// counts come from bench/instructions.sh.

#include "sms_ops.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State &state, const SmsOps::Op &op)
{
    for (auto _ : state) {
        if (!op.step())
            state.SkipWithError("the call failed");
    }
    state.counters["per_char"] = benchmark::Counter(double(op.chars),
                                                    benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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

int main(int argc, char **argv)
{
    const std::vector<SmsOps::Op> ops = SmsOps::all();
    for (const SmsOps::Op &op : ops)
        benchmark::RegisterBenchmark(("BM_" + op.name).c_str(), [&op](benchmark::State &state) { run(state, op); });
    benchmark::RegisterBenchmark("BM_DecodeDeliver", BM_DecodeDeliver);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
