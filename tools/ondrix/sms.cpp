// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix sms, cbs and smsc: the SMS codec from the command line.

#include "common.h"

#include "codec.h"

#include <ondrix-qt/smsparameters.h>

#include <QByteArray>
#include <QDateTime>

#include <cstdlib>

namespace {

const char SmsUsage[] =
    "usage: ondrix sms count [--lang LANG] TEXT\n"
    "       ondrix sms encode --to NUMBER [--lang LANG] [--ref N] [--class N] TEXT\n"
    "       ondrix sms decode HEX...\n"
    "LANG: default, turkish, spanish, portuguese, transliterate, or auto: the shift tables of any\n"
    "      of the national languages, whichever send the text in the fewest segments\n";

using Ondrix::Codec::Message;

// A language of --lang; "auto" chooses among the national languages' tables.
struct Language {
    const char *name;
    int32_t lang;
    uint32_t cheapest;
};

const Language languages[] = {
    {"default", SMS_LANG_DEFAULT, 0},
    {"turkish", SMS_LANG_TURKISH, 0},
    {"spanish", SMS_LANG_SPANISH, 0},
    {"portuguese", SMS_LANG_PORTUGUESE, 0},
    {"transliterate", SMS_LANG_TRANSLITERATE, 0},
    {"auto", SMS_LANG_DEFAULT, SMS_LANGS_NATIONAL},
};

// The tables a count or a message is with, by the names of --lang.
QString tablesName(int32_t locking, int32_t single)
{
    auto name = [](int32_t lang) {
        for (const Language &language : languages) {
            if (language.lang == lang && !language.cheapest)
                return QString::fromLatin1(language.name);
        }
        return QString::number(lang);
    };
    return locking == single ? name(locking) : QStringLiteral("%1 locking, %2 single shift").arg(name(locking), name(single));
}

const char *formatName(uint32_t format)
{
    switch (format) {
    case SMS_FORMAT_GSM_7BIT: return "GSM 7-bit";
    case SMS_FORMAT_8BIT: return "8-bit data";
    case SMS_FORMAT_UCS2: return "UCS-2";
    default: return "unknown";
    }
}

int fail(const char *what, int32_t status)
{
    err() << "ondrix: " << what << ": " << sms_str_error(uint32_t(status)) << '\n';
    return 1;
}

// Takes the options (--name VALUE, anywhere) out of the arguments.
bool takeOptions(QStringList &args, QHash<QString, QString> &options, const QStringList &known)
{
    for (int i = 0; i < args.size();) {
        if (!args[i].startsWith(QLatin1String("--"))) {
            i++;
            continue;
        }
        const QString name = args.takeAt(i).mid(2);
        if (!known.contains(name) || i >= args.size())
            return false;
        options.insert(name, args.takeAt(i));
    }
    return true;
}

// The language of --lang (default when absent), or null for an unknown name.
const Language *languageOf(const QHash<QString, QString> &options)
{
    const QString name = options.value(QStringLiteral("lang"), QStringLiteral("default"));
    for (const Language &language : languages) {
        if (name == QLatin1String(language.name))
            return &language;
    }
    return nullptr;
}

// The options and one text argument; null (after the usage line) when they are off.
const Language *parse(const char *command, QStringList &args, QHash<QString, QString> &options,
                      const QStringList &known)
{
    const Language *language = takeOptions(args, options, known) && args.size() == 1 ? languageOf(options) : nullptr;
    if (!language)
        usageError(SmsUsage, QLatin1String(command));
    return language;
}

// The whole number of option `name` within [low, high], `fallback` when absent;
// false (after one line saying why) when it is something else.
bool numberOption(const QHash<QString, QString> &options, const char *name, int low, int high, int fallback,
                  int &value)
{
    const QString key = QLatin1String(name);
    bool ok = true;
    if (!options.contains(key)) {
        value = fallback;
        return true;
    }
    value = options.value(key).toInt(&ok, 10);
    if (ok && value >= low && value <= high)
        return true;
    err() << "ondrix: --" << name << " takes a whole number from " << low << " to " << high << '\n';
    return false;
}

int count(QStringList args)
{
    QHash<QString, QString> options;
    const Language *language = parse("count", args, options, {QStringLiteral("lang")});
    if (!language)
        return 2;
    const Message msg(sms_msg_new_txt_message("+12345", args.first().toUtf8().constData()));
    if (!msg)
        return fail("count", SMS_ERR_NO_MEMORY);
    const Ondrix::Codec::Size size = Ondrix::Codec::sizeOf(msg.get(), language->lang, language->cheapest);
    if (size.status != SMS_OK && size.status != SMS_ERR_TOO_MANY_SEGMENTS)
        return fail("count", size.status);
    line(QStringLiteral("segments"), QString::number(size.size.segments)
                                         + (size.status == SMS_OK ? QString() : QStringLiteral(" (more than 255)")));
    line(QStringLiteral("encoding"), QString::fromLatin1(formatName(size.size.format)));
    if (size.size.format == SMS_FORMAT_GSM_7BIT)
        line(QStringLiteral("tables"), tablesName(size.lockingLang, size.singleLang));
    line(QStringLiteral("per segment"), QString::number(size.size.per_segment));
    line(QStringLiteral("free"), QString::number(size.size.free));
    return size.status == SMS_OK ? 0 : 1;
}

int encode(QStringList args)
{
    QHash<QString, QString> options;
    const Language *language = parse("encode", args, options, {QStringLiteral("to"), QStringLiteral("lang"),
                                                               QStringLiteral("ref"), QStringLiteral("class")});
    if (!language)
        return 2;
    if (!options.contains(QStringLiteral("to")))
        return usageError(SmsUsage, QStringLiteral("encode"));
    int reference = 0, msgClass = -1;
    if (!numberOption(options, "ref", 0, 255, 0, reference) || !numberOption(options, "class", 0, 3, -1, msgClass))
        return 2;
    Message msg(sms_msg_new_txt_message(options.value(QStringLiteral("to")).toUtf8().constData(),
                                        args.first().toUtf8().constData()));
    if (!msg) {
        err() << "ondrix: not a phone number: " << options.value(QStringLiteral("to")) << '\n';
        return 2;
    }
    msg->lang = language->cheapest ? Ondrix::Codec::sizeOf(msg.get(), language->lang, language->cheapest).lang
                                   : Ondrix::Codec::sentAs(language->lang);
    msg->msg_class = msgClass < 0 ? SMS_CLASS_NONE : SMS_CLASS_0 + msgClass;
    QStringList pdus;
    const int32_t status = Ondrix::Codec::encode(msg.get(), uint32_t(reference), pdus);
    if (status != SMS_OK)
        return fail("encode", status);
    for (const QString &pdu : qAsConst(pdus))
        Output::item(QStringLiteral("pdu"), pdu);
    return 0;
}

QString hex(const uint8_t *data, uint32_t len)
{
    return Ondrix::Codec::hexOf(data, len, ' ');
}

QString timeText(int64_t utc, int32_t tz)
{
    return QDateTime::fromSecsSinceEpoch(utc, Qt::OffsetFromUTC, tz).toString(Qt::ISODate);
}

void printTpdu(const sms_tpdu_t &t)
{
    line(QStringLiteral("type"), QString::fromLatin1(sms_str_msg_type(t.type)));
    line(QStringLiteral("address"), QStringLiteral("%1 (ton %2, npi %3)")
                                        .arg(QString::fromUtf8(t.addr.number)).arg(t.addr.ton).arg(t.addr.npi));
    if (t.type != SMS_TYPE_DELIVER)
        line(QStringLiteral("reference"), QString::number(t.mr));
    line(QStringLiteral("pid"), QStringLiteral("0x%1").arg(t.pid, 2, 16, QLatin1Char('0')));
    line(QStringLiteral("dcs"), QStringLiteral("0x%1 (%2, %3)")
                                    .arg(t.dcs, 2, 16, QLatin1Char('0'))
                                    .arg(QString::fromLatin1(formatName(sms_tpdu_get_encoding(&t) / 4)),
                                         QString::fromLatin1(sms_str_msg_class(sms_tpdu_get_class_info(&t)))));
    if (t.type == SMS_TYPE_DELIVER || t.type == SMS_TYPE_STATUS_REPORT)
        line(QStringLiteral("time stamp"), timeText(t.scts.utc, t.scts.tz));
    if (t.type == SMS_TYPE_STATUS_REPORT) {
        line(QStringLiteral("discharged"), timeText(t.discharge_time.utc, t.discharge_time.tz));
        line(QStringLiteral("status"), QStringLiteral("0x%1 (%2)").arg(t.status, 2, 16, QLatin1Char('0'))
                                           .arg(QString::fromLatin1(sms_str_tpdu_status(t.status))));
    }
    if (t.type == SMS_TYPE_SUBMIT && t.vpf == SMS_VPF_RELATIVE)
        line(QStringLiteral("validity"), QStringLiteral("%1 s").arg(sms_tpdu_get_validity_relative(&t)));
    for (const sms_info_t *ie = t.info; ie; ie = ie->next)
        line(QStringLiteral("element"), QStringLiteral("%1 %2: %3").arg(ie->id).arg(QString::fromLatin1(sms_info_id_name(ie)),
                                                                        hex(ie->data, ie->len)));
    line(QStringLiteral("user data"), QStringLiteral("%1 %2").arg(t.udl).arg(
        sms_tpdu_get_encoding(&t) == SMS_ENCODING_GSM_7BIT ? QStringLiteral("septets") : QStringLiteral("octets")));
}

int decode(const QStringList &args)
{
    if (args.isEmpty())
        return usageError(SmsUsage, QStringLiteral("decode"));
    QList<QByteArray> pdus;
    for (const QString &text : args) {
        QByteArray pdu;
        if (!Ondrix::Codec::fromHex(text, pdu)) {
            err() << "ondrix: not hexadecimal: " << visible(text.left(80)) << '\n';
            return 2;
        }
        pdus << pdu;
    }
    for (int i = 0; i < pdus.size(); i++) {
        Output::section(QStringLiteral("PDU"), QStringLiteral("PDU %1").arg(i + 1));
        sms_tpdu_t t = {};
        const int32_t status = sms_tpdu_decode(reinterpret_cast<const uint8_t *>(pdus[i].constData()),
                                               uint32_t(pdus[i].size()), &t);
        if (status == SMS_OK)
            printTpdu(t);
        else
            line(QStringLiteral("error"), QString::fromLatin1(sms_str_error(uint32_t(status))));
        sms_info_list_destroy(&t.info);
        free(t.ud);
    }
    Message msg;
    const int32_t status = Ondrix::Codec::decode(pdus, msg);
    Output::section(QStringLiteral("message"), QStringLiteral("message"));
    if (status != SMS_OK)
        return fail("the segments do not form one message", status);
    if (msg->from)
        line(QStringLiteral("from"), QString::fromUtf8(msg->from));
    if (msg->to)
        line(QStringLiteral("to"), QString::fromUtf8(msg->to));
    line(QStringLiteral("format"), QString::fromLatin1(formatName(uint32_t(msg->format))));
    line(QStringLiteral("class"), QString::fromLatin1(sms_str_msg_class(uint32_t(msg->msg_class))));
    line(QStringLiteral("language"), QString::fromLatin1(sms_str_msg_lang(uint32_t(msg->lang))));
    if (msg->ports)
        line(QStringLiteral("ports"), QStringLiteral("%1 from %2").arg(msg->ports->dst).arg(msg->ports->src));
    line(QStringLiteral("mime type"), QString::fromLatin1(sms_msg_get_mime_type(msg.get())));
    if (msg->text)
        line(QStringLiteral("text"), QString::fromUtf8(msg->text, int(msg->data_len)));
    else if (msg->data)
        line(QStringLiteral("data"), hex(msg->data, msg->data_len));
    return 0;
}

} // namespace

int sms(const QStringList &args)
{
    const QString command = args.value(0);
    if (command == QLatin1String("count"))
        return count(args.mid(1));
    if (command == QLatin1String("encode"))
        return encode(args.mid(1));
    if (command == QLatin1String("decode"))
        return decode(args.mid(1));
    if (command == QLatin1String("--help") && args.size() == 1) {
        out() << SmsUsage;
        return 0;
    }
    return usageError(SmsUsage, command);
}

int cbs(const QStringList &args)
{
    if (args.size() != 2 || args[0] != QLatin1String("decode")) {
        err() << "usage: ondrix cbs decode HEX   (a page of 88 octets)\n";
        return 2;
    }
    QByteArray page;
    sms_cbs_page_t p;
    QString content;
    if (!Ondrix::Codec::fromHex(args[1], page) || Ondrix::Codec::decodeCellBroadcast(page, p, content) != SMS_OK) {
        err() << "ondrix: a page is 88 octets in hexadecimal, not \"" << visible(args[1].left(40))
              << (args[1].size() > 40 ? "...\"\n" : "\"\n");
        return 2;
    }
    line(QStringLiteral("message id"), QString::number(p.message_id));
    line(QStringLiteral("scope"), QString::number(p.scope));
    line(QStringLiteral("code"), QStringLiteral("%1%2%3").arg(p.message_code)
                                     .arg(sms_cbs_is_popup(&p) ? QStringLiteral(" popup") : QString())
                                     .arg(sms_cbs_is_user_alert(&p) ? QStringLiteral(" alert") : QString()));
    line(QStringLiteral("update"), QString::number(p.update_number));
    line(QStringLiteral("page"), QStringLiteral("%1 of %2").arg(p.page_number).arg(p.total_pages));
    char code[3];
    line(QStringLiteral("language"), sms_cbs_get_language_code(&p, code) == SMS_OK
                                         ? QString::fromLatin1(code) : QString::number(sms_cbs_get_language(&p)));
    const uint32_t encoding = sms_cbs_get_encoding(&p);
    if (content.isNull())
        content = hex(p.content, sizeof p.content);
    line(QStringLiteral("encoding"), encoding == 255 ? QStringLiteral("none") : QString::fromLatin1(formatName(encoding / 4)));
    line(QStringLiteral("content"), content);
    return 0;
}

int smsc(const QStringList &args)
{
    if (!args.isEmpty()) {
        err() << "usage: ondrix smsc\n";
        return 2;
    }
    Ondrix::SMSParameters parameters;
    if (!parameters.isValid())
        return daemonAbsent();
    const QString address = parameters.serviceCenterAddress();
    if (address.isNull()) {
        err() << "ondrix: the SIM holds no service centre number\n";
        return 1;
    }
    if (Output::json())
        line(QStringLiteral("service centre"), address);
    else
        out() << visible(address) << '\n';
    return 0;
}
