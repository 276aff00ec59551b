// SPDX-License-Identifier: LGPL-2.1-or-later
// Figures about the SMS codec that are not times:
//   sms_report corpus DIR        segments each text of DIR/*.txt (one message
//                                a line) takes with its language's tables, with
//                                the cheapest tables, and in UCS-2
//   sms_report run OP STEPS      runs one of the benchmarks' operations, for
//                                the instruction counter (bench/instructions.sh)

#include "sms_ops.h"

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

struct Lang {
    const char *file;
    int32_t lang;
};

const Lang langs[] = {{"turkish", SMS_LANG_TURKISH}, {"spanish", SMS_LANG_SPANISH}, {"portuguese", SMS_LANG_PORTUGUESE}};

uint32_t segments(const std::string &text, int32_t lang, uint32_t cheapest)
{
    std::unique_ptr<sms_msg_t, SmsOps::Release> msg(sms_msg_new_txt_message("+12345", text.c_str()));
    if (cheapest) {
        sms_lang_choice_t choice;
        return sms_msg_choose_lang(msg.get(), cheapest, &choice) == SMS_OK ? choice.size.segments : 0;
    }
    msg->lang = lang;
    sms_msg_size_t size;
    return sms_msg_get_size(msg.get(), &size, nullptr) == SMS_OK ? size.segments : 0;
}

int corpus(const char *dir)
{
    std::printf("%-11s %5s %9s %14s %9s %6s\n", "language", "texts", "UCS-2", "its own tables", "cheapest", "saved");
    uint32_t allUcs2 = 0, allCheapest = 0;
    for (const Lang &l : langs) {
        std::ifstream in(std::string(dir) + "/" + l.file + ".txt");
        if (!in) {
            std::fprintf(stderr, "sms_report: no %s/%s.txt\n", dir, l.file);
            return 1;
        }
        uint32_t texts = 0, ucs2 = 0, own = 0, cheapest = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.empty())
                continue;
            texts++;
            ucs2 += segments(line, SMS_LANG_DEFAULT, 0);
            own += segments(line, l.lang, 0);
            cheapest += segments(line, SMS_LANG_DEFAULT, SMS_LANGS_NATIONAL);
        }
        std::printf("%-11s %5u %9u %14u %9u %5.0f%%\n", l.file, texts, ucs2, own, cheapest,
                    ucs2 ? 100.0 * (ucs2 - cheapest) / ucs2 : 0.0);
        allUcs2 += ucs2;
        allCheapest += cheapest;
    }
    std::printf("segments saved against UCS-2: %u of %u\n", allUcs2 - allCheapest, allUcs2);
    return 0;
}

int run(const char *name, long steps)
{
    for (const SmsOps::Op &op : SmsOps::all()) {
        if (op.name != name)
            continue;
        op.step();   // warm: the first call's one-time costs are not the operation's
        CALLGRIND_ZERO_STATS;
        CALLGRIND_TOGGLE_COLLECT;
        for (long i = 0; i < steps; i++)
            op.step();
        CALLGRIND_TOGGLE_COLLECT;
        std::printf("%s %zu\n", name, op.chars * size_t(steps));
        return 0;
    }
    std::fprintf(stderr, "sms_report: no operation %s\n", name);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "corpus"))
        return corpus(argv[2]);
    if (argc == 4 && !std::strcmp(argv[1], "run"))
        return run(argv[2], std::atol(argv[3]));
    std::fprintf(stderr, "usage: sms_report corpus DIR | run OP STEPS\n");
    return 2;
}
