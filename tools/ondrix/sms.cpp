// SPDX-License-Identifier: LGPL-2.1-or-later
// ondrix sms, cbs and smsc: the SMS codec from the command line.

#include "common.h"

#include "codec.h"

#include <ondrix-qt/smsparameters.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

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

// A table by its name for --lang.
QString tableName(int32_t lang)
{
    for (const Language &language : languages) {
        if (language.lang == lang && !language.cheapest)
            return QString::fromLatin1(language.name);
    }
    return QString::number(lang);
}

// The tables a count is with: one name when both are one language's.
QString tablesName(int32_t locking, int32_t single)
{
    return locking == single ? tableName(locking)
                             : QStringLiteral("%1 locking, %2 single shift").arg(tableName(locking), tableName(single));
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
    Output::field("segments", qint64(size.size.segments), QString::number(size.size.segments)
                      + (size.status == SMS_OK ? QString() : QStringLiteral(" (more than 255)")));
    Output::field("encoding", QString::fromLatin1(formatName(size.size.format)));
    const bool gsm = size.size.format == SMS_FORMAT_GSM_7BIT;
    if (gsm)
        Output::text(QStringLiteral("tables"), tablesName(size.lockingLang, size.singleLang));
    Output::data("locking", gsm ? QJsonValue(tableName(size.lockingLang)) : QJsonValue());
    Output::data("single_shift", gsm ? QJsonValue(tableName(size.singleLang)) : QJsonValue());
    Output::field("per_segment", qint64(size.size.per_segment), QString::number(size.size.per_segment));
    Output::field("free", qint64(size.size.free), QString::number(size.size.free));
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
    Output::list("pdus");
    for (const QString &pdu : qAsConst(pdus))
        Output::row("pdus", pdu, pdu);
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

QString octet(uint32_t value)
{
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

// A field that not every type of PDU has: null (and no line) where it lacks it.
void fieldIf(bool has, const char *key, const QJsonValue &value, const QString &text)
{
    Output::field(key, has ? value : QJsonValue(), has ? text : QString());
}

void printTpdu(const sms_tpdu_t &t)
{
    const QString number = QString::fromUtf8(t.addr.number);
    const QString encoding = QString::fromLatin1(formatName(sms_tpdu_get_encoding(&t) / 4));
    const QString msgClass = QString::fromLatin1(sms_str_msg_class(sms_tpdu_get_class_info(&t)));
    const bool stamped = t.type == SMS_TYPE_DELIVER || t.type == SMS_TYPE_STATUS_REPORT;
    const bool report = t.type == SMS_TYPE_STATUS_REPORT;
    const bool relative = t.type == SMS_TYPE_SUBMIT && t.vpf == SMS_VPF_RELATIVE;
    const QString status = QString::fromLatin1(sms_str_tpdu_status(t.status));
    Output::field("type", QString::fromLatin1(sms_str_msg_type(t.type)));
    Output::field("address", number, QStringLiteral("%1 (ton %2, npi %3)").arg(number).arg(t.addr.ton).arg(t.addr.npi));
    Output::data("ton", qint64(t.addr.ton));
    Output::data("npi", qint64(t.addr.npi));
    fieldIf(t.type != SMS_TYPE_DELIVER, "reference", qint64(t.mr), QString::number(t.mr));
    Output::field("pid", qint64(t.pid), octet(t.pid));
    Output::field("dcs", qint64(t.dcs), QStringLiteral("%1 (%2, %3)").arg(octet(t.dcs), encoding, msgClass));
    Output::data("encoding", encoding);
    Output::data("class", msgClass);
    fieldIf(stamped, "time_stamp", timeText(t.scts.utc, t.scts.tz), timeText(t.scts.utc, t.scts.tz));
    fieldIf(report, "discharged", timeText(t.discharge_time.utc, t.discharge_time.tz),
            timeText(t.discharge_time.utc, t.discharge_time.tz));
    fieldIf(report, "status", qint64(t.status), QStringLiteral("%1 (%2)").arg(octet(t.status), status));
    Output::data("status_text", report ? QJsonValue(status) : QJsonValue());
    fieldIf(relative, "validity", relative ? qint64(sms_tpdu_get_validity_relative(&t)) : 0,
            relative ? QStringLiteral("%1 s").arg(sms_tpdu_get_validity_relative(&t)) : QString());
    Output::list("elements");
    for (const sms_info_t *ie = t.info; ie; ie = ie->next) {
        const QString name = QString::fromLatin1(sms_info_id_name(ie));
        Output::row("elements",
                    QJsonObject{{QStringLiteral("id"), qint64(ie->id)}, {QStringLiteral("name"), name},
                                {QStringLiteral("data"), hex(ie->data, ie->len)}},
                    QStringLiteral("%1 %2 %3: %4").arg(QStringLiteral("element:"), -12).arg(ie->id).arg(name, hex(ie->data, ie->len)));
    }
    const QString unit = sms_tpdu_get_encoding(&t) == SMS_ENCODING_GSM_7BIT ? QStringLiteral("septets") : QStringLiteral("octets");
    Output::field("user_data", qint64(t.udl), QStringLiteral("%1 %2").arg(t.udl).arg(unit));
    Output::data("user_data_unit", unit);
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
        Output::section("pdus", QStringLiteral("PDU %1").arg(i + 1), true);
        sms_tpdu_t t = {};
        const int32_t status = sms_tpdu_decode(reinterpret_cast<const uint8_t *>(pdus[i].constData()),
                                               uint32_t(pdus[i].size()), &t);
        if (status == SMS_OK)
            printTpdu(t);
        else
            Output::field("error", QString::fromLatin1(sms_str_error(uint32_t(status))));
        sms_info_list_destroy(&t.info);
        free(t.ud);
    }
    Message msg;
    const int32_t status = Ondrix::Codec::decode(pdus, msg);
    // The message, null when the segments do not form one.
    Output::section("message", QStringLiteral("message"));
    if (status != SMS_OK)
        return fail("the segments do not form one message", status);
    Output::field("from", msg->from ? QString::fromUtf8(msg->from) : QString());
    Output::field("to", msg->to ? QString::fromUtf8(msg->to) : QString());
    Output::field("format", QString::fromLatin1(formatName(uint32_t(msg->format))));
    Output::field("class", QString::fromLatin1(sms_str_msg_class(uint32_t(msg->msg_class))));
    Output::field("language", QString::fromLatin1(sms_str_msg_lang(uint32_t(msg->lang))));
    const QJsonObject ports{{QStringLiteral("dst"), msg->ports ? qint64(msg->ports->dst) : 0},
                            {QStringLiteral("src"), msg->ports ? qint64(msg->ports->src) : 0}};
    fieldIf(msg->ports, "ports", ports,
            msg->ports ? QStringLiteral("%1 from %2").arg(msg->ports->dst).arg(msg->ports->src) : QString());
    Output::field("mime_type", QString::fromLatin1(sms_msg_get_mime_type(msg.get())));
    Output::field("text", msg->text ? QString::fromUtf8(msg->text, int(msg->data_len)) : QString());
    Output::field("data", !msg->text && msg->data ? hex(msg->data, msg->data_len) : QString());
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
    const bool popup = sms_cbs_is_popup(&p), alert = sms_cbs_is_user_alert(&p);
    Output::field("message_id", qint64(p.message_id), QString::number(p.message_id));
    Output::field("scope", qint64(p.scope), QString::number(p.scope));
    Output::field("code", qint64(p.message_code), QStringLiteral("%1%2%3").arg(p.message_code)
                                              .arg(popup ? QStringLiteral(" popup") : QString())
                                              .arg(alert ? QStringLiteral(" alert") : QString()));
    Output::data("popup", popup);
    Output::data("alert", alert);
    Output::field("update", qint64(p.update_number), QString::number(p.update_number));
    Output::field("page", qint64(p.page_number), QStringLiteral("%1 of %2").arg(p.page_number).arg(p.total_pages));
    Output::data("pages", qint64(p.total_pages));
    char code[3];
    const bool named = sms_cbs_get_language_code(&p, code) == SMS_OK;
    // A language without a code: its number for people, null in JSON.
    Output::field("language", named ? QJsonValue(QString::fromLatin1(code)) : QJsonValue(),
                  named ? QString::fromLatin1(code) : QString::number(sms_cbs_get_language(&p)));
    const uint32_t encoding = sms_cbs_get_encoding(&p);
    if (content.isNull())
        content = hex(p.content, sizeof p.content);
    const QString encodingName = encoding == 255 ? QString() : QString::fromLatin1(formatName(encoding / 4));
    Output::field("encoding", orNull(encodingName), encoding == 255 ? QStringLiteral("none") : encodingName);
    Output::field("content", content);
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
        Output::data("service_centre", address);
    else
        out() << visible(address) << '\n';
    return 0;
}
