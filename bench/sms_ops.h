// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef ONDRIX_BENCH_SMS_OPS_H
#define ONDRIX_BENCH_SMS_OPS_H

// The codec's operations as the benchmarks time them and as the instruction
// counter runs them: each prepares its input once, then runs one call (or
// one round of calls) per step, over `chars` characters.

#include <ondrix-qt/smscodec.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SmsOps {

// Characters of `piece` repeated, `characters` of them.
inline std::string repeated(const std::string &piece, size_t characters)
{
    std::string text;
    size_t count = 0;
    for (size_t i = 0; count < characters; i = (i + 1) % piece.size()) {
        if ((static_cast<unsigned char>(piece[i]) & 0xC0) != 0x80) {
            if (count == characters)
                break;
            count++;
        }
        text += piece[i];
    }
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0xC0)
        text.pop_back();
    return text;
}

inline std::string gsmText(size_t characters) { return repeated("The quick brown fox jumps over the lazy dog {€} ", characters); }
inline std::string ucs2Text(size_t characters) { return repeated("Быстрая бурая лиса 😀 ", characters); }
inline std::string turkishText(size_t characters)
{
    return repeated("Günaydın! Bugün şehirde buluşalım mı? Ağaçların altında çay içeriz. ", characters);
}

struct Release {
    void operator()(sms_msg_t *msg) const { sms_msg_destroy(msg); }
    void operator()(sms_conv_ctx_t *ctx) const { sms_conv_ctx_close(ctx); }
};

struct Op {
    std::string name;
    size_t chars;                   // characters one step handles
    std::function<bool()> step;     // false when the call failed
};

// Sizing under a message editor, with the default tables.
inline Op sizing(const std::string &name, const std::string &text, size_t chars)
{
    auto msg = std::shared_ptr<sms_msg_t>(sms_msg_new_txt_message("+358401234567", text.c_str()), Release());
    auto ctx = std::shared_ptr<sms_conv_ctx_t>(sms_conv_ctx_open(SMS_LANG_DEFAULT), Release());
    return {name, chars, [msg, ctx] {
                sms_msg_size_t size;
                return sms_msg_get_size(msg.get(), &size, ctx.get()) == SMS_OK;
            }};
}

// Choosing the cheapest tables among every national language.
inline Op choosing(const std::string &name, const std::string &text, size_t chars)
{
    auto msg = std::shared_ptr<sms_msg_t>(sms_msg_new_txt_message("+905321234567", text.c_str()), Release());
    return {name, chars, [msg] {
                sms_lang_choice_t choice;
                return sms_msg_choose_lang(msg.get(), SMS_LANGS_NATIONAL, &choice) == SMS_OK;
            }};
}

// Ten segments of a received message joined into one.
inline Op joining(const std::string &name, const std::string &text, size_t chars)
{
    auto msg = std::shared_ptr<sms_msg_t>(sms_msg_new_txt_message("+358401234567", text.c_str()), Release());
    auto pdus = std::make_shared<std::vector<std::vector<uint8_t>>>();
    sms_raw_pdu_t *raw = nullptr;
    uint32_t count = 0;
    sms_msg_serialize(msg.get(), &raw, &count, 1);
    for (uint32_t i = 0; i < count; i++)
        pdus->emplace_back(raw[i].data, raw[i].data + raw[i].len);
    sms_msg_raw_destroy(raw, count);
    return {name, chars, [pdus] {
                std::vector<sms_raw_pdu_t> in;
                for (auto &pdu : *pdus)
                    in.push_back({pdu.data(), uint32_t(pdu.size())});
                std::unique_ptr<sms_msg_t, Release> back(sms_msg_new());
                return sms_msg_deserialize(in.data(), uint32_t(in.size()), back.get()) == SMS_OK;
            }};
}

// A text split into ten segments and each encoded.
inline Op sending(const std::string &name, const std::string &text, size_t chars)
{
    auto msg = std::shared_ptr<sms_msg_t>(sms_msg_new_txt_message("+358401234567", text.c_str()), Release());
    return {name, chars, [msg] {
                sms_raw_pdu_t *raw = nullptr;
                uint32_t count = 0;
                const bool ok = sms_msg_serialize(msg.get(), &raw, &count, 1) == SMS_OK;
                sms_msg_raw_destroy(raw, count);
                return ok;
            }};
}

// Ten GSM segments, the last not quite full.
inline size_t tenSegmentChars() { return 153 * 10 - 20; }

inline std::vector<Op> all()
{
    const size_t ten = tenSegmentChars();
    return {
        sizing("SizeGsm160", gsmText(160), 160),
        sizing("SizeGsm4000", gsmText(4000), 4000),
        sizing("SizeUcs2_160", ucs2Text(160), 160),
        sizing("SizeUcs2_4000", ucs2Text(4000), 4000),
        choosing("ChooseTurkish4000", turkishText(4000), 4000),
        sending("Serialize10", std::string(ten, 'x'), ten),
        joining("Deserialize10", std::string(ten, 'x'), ten),
    };
}

} // namespace SmsOps

#endif
