// SPDX-License-Identifier: LGPL-2.1-or-later
#include "wrappers.h"

#include "codec.h"

#include <QMetaEnum>

namespace Ondrix {
namespace Qml {

NetworkRegistration::NetworkRegistration(QObject *parent)
    : Ondrix::NetworkRegistration(parent)
{
    connect(this, &Ondrix::NetworkRegistration::operatorsSuccess, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsFailure, this, &NetworkRegistration::operatorsChanged);
    connect(this, &Ondrix::NetworkRegistration::operatorsCanceled, this, &NetworkRegistration::operatorsChanged);
}

QVariantList NetworkRegistration::operators() const
{
    QVariantList list;
    for (const AvailableOperator &op : availableOperators())
        list << QVariant::fromValue(op);
    return list;
}

namespace {

QVariant resultOf(bool on) { return on; }
QVariant resultOf(Ondrix::SupplementaryServices::ClirStatus status) { return int(status); }

QVariant resultOf(const Ondrix::SupplementaryServices::BasicServiceList &services)
{
    QVariantList list;
    for (const auto service : services)
        list << int(service);
    return list;
}

QVariant resultOf(const Ondrix::SupplementaryServices::DivertServiceList &diversions)
{
    QVariantList list;
    for (const auto &d : diversions) {
        list << QVariantMap{{QStringLiteral("basicService"), int(d.basicService)},
                            {QStringLiteral("active"), d.active},
                            {QStringLiteral("telephoneNumber"), d.telephoneNumber},
                            {QStringLiteral("forwardDelay"), d.forwardDelay}};
    }
    return list;
}

} // namespace

void SupplementaryServices::forward(void (Ondrix::SupplementaryServices::*completed)(Error), const char *operation)
{
    const QString name = QLatin1String(operation);
    connect(this, completed, this, [this, name](Error error) { emit serviceCompleted(name, error, QVariant()); });
}

template <typename Result>
void SupplementaryServices::forward(void (Ondrix::SupplementaryServices::*completed)(Result, Error),
                                    const char *operation)
{
    const QString name = QLatin1String(operation);
    connect(this, completed, this, [this, name](const Result &result, Error error) {
        emit serviceCompleted(name, error, resultOf(result));
    });
}

SupplementaryServices::SupplementaryServices(QObject *parent)
    : Ondrix::SupplementaryServices(parent)
{
    using S = Ondrix::SupplementaryServices;
    connect(this, &S::checkDivertCompleted, this, [this](const DivertServiceList &diversions, Error error) {
        emit divertsChecked(resultOf(diversions).toList(), error);
    });
    forward(&S::registerDivertCompleted, "registerDivert");
    forward(&S::eraseDivertCompleted, "eraseDivert");
    forward(&S::activateDivertCompleted, "activateDivert");
    forward(&S::deactivateDivertCompleted, "deactivateDivert");
    forward(&S::checkDivertCompleted, "checkDivert");
    forward(&S::changeBarringPasswordCompleted, "changeBarringPassword");
    forward(&S::activateBarringCompleted, "activateBarring");
    forward(&S::deactivateBarringCompleted, "deactivateBarring");
    forward(&S::checkBarringCompleted, "checkBarring");
    forward(&S::activateWaitingCompleted, "activateWaiting");
    forward(&S::deactivateWaitingCompleted, "deactivateWaiting");
    forward(&S::checkWaitingCompleted, "checkWaiting");
    forward(&S::checkClirCompleted, "checkClir");
    forward(&S::checkClipCompleted, "checkClip");
    forward(&S::checkColpCompleted, "checkColp");
    forward(&S::checkColrCompleted, "checkColr");
    forward(&S::checkCnapCompleted, "checkCnap");
    connect(this, &S::userActionRequested, this, [this] { m_dialogue = true; });
    connect(this, &S::notifyReceived, this, [this] { m_dialogue = true; });
    connect(this, &S::ussdReleased, this, [this] { m_dialogue = false; });
    connect(this, &S::ussdError, this, [this](UssdOp op) {
        if (op == UssdReleaseOp)
            m_dialogue = false;
    });
}

SupplementaryServices::~SupplementaryServices()
{
    if (m_dialogue)
        ussdRelease();
}

QString SupplementaryServices::errorName(int error) const
{
    return QLatin1String(QMetaEnum::fromType<Error>().valueToKey(error));
}

CallTimers::CallTimers(QObject *parent)
    : Ondrix::CallTimers(parent)
{
    connect(this, &Ondrix::CallTimers::timersUpdated, this, &CallTimers::keep);
    connect(this, &Ondrix::CallTimers::timersQueryCompleted, this, [this](const CallTimersInfo &timers, bool ok) {
        if (ok)
            keep(timers);
    });
    connect(this, &Ondrix::CallTimers::validChanged, this, [this](bool valid) {
        if (valid)
            queryTimers();
    });
    queryTimers();
}

void CallTimers::keep(const CallTimersInfo &t)
{
    if (t.last == m_timers.last && t.dialled == m_timers.dialled && t.received == m_timers.received
        && t.total == m_timers.total)
        return;
    m_timers = t;
    emit timersChanged();
}

QVariantMap CallTimers::timerMap() const
{
    return {{QStringLiteral("last"), m_timers.last}, {QStringLiteral("dialled"), m_timers.dialled},
            {QStringLiteral("received"), m_timers.received}, {QStringLiteral("total"), m_timers.total}};
}

NetworkTime::NetworkTime(QObject *parent)
    : Ondrix::NetworkTime(parent)
{
    // A query's answer reaches QML as a change, like a report from the network.
    connect(this, &Ondrix::NetworkTime::timeInfoQueryCompleted, this, [this](const NetworkTimeInfo &info) {
        if (info.isValid())
            emit timeInfoChanged(info);
    });
    connect(this, &Ondrix::NetworkTime::timeInfoChanged, this, [this](const NetworkTimeInfo &info) {
        m_info = info;
        emit timeInfoKept();
    });
    connect(this, &Ondrix::NetworkTime::validChanged, this, [this](bool valid) {
        if (valid)
            queryTimeInfo();
    });
    queryTimeInfo();
}

SimCard::SimCard(QObject *parent)
    : QObject(parent)
{
    using SIM::SIMSecurity;
    using SIM::SIMStatus;
    connect(&m_status, &SIMStatus::statusChanged, this, &SimCard::setState);
    connect(&m_status, &SIMStatus::statusComplete, this, [this](SIMStatus::Status state, SIM::SIMError error) {
        if (error == SIM::NoError)
            setState(state);
    });
    connect(&m_status, &SIMStatus::validChanged, this, [this](bool valid) {
        emit validChanged();
        if (valid)
            refresh();
        else
            setState(SIMStatus::UnknownStatus);
    });
    connect(&m_security, &SIMSecurity::verifyPINRequired, this, [this](SIMSecurity::PINType type) {
        if (type == SIMSecurity::PIN)
            setState(SIMStatus::PINRequired);
    });
    connect(&m_security, &SIMSecurity::pinAttemptsLeftComplete, this, [this](int attempts, SIM::SIMError error) {
        setAttempts(&m_pinAttempts, error == SIM::NoError ? attempts : -1);
    });
    connect(&m_security, &SIMSecurity::pukAttemptsLeftComplete, this, [this](int attempts, SIM::SIMError error) {
        setAttempts(&m_pukAttempts, error == SIM::NoError ? attempts : -1);
    });
    connect(&m_security, &SIMSecurity::verifyPINComplete, this, &SimCard::entered);
    connect(&m_security, &SIMSecurity::verifyPUKComplete, this, &SimCard::entered);
    refresh();
}

SimCard::Code SimCard::codeNeeded() const
{
    switch (m_state) {
    case SIM::SIMStatus::PINRequired: return PinCode;
    case SIM::SIMStatus::PUKRequired: return PukCode;
    default: return NoCode;
    }
}

void SimCard::refresh()
{
    m_status.status();
    readAttempts();
}

void SimCard::readAttempts()
{
    m_security.pinAttemptsLeft(SIM::SIMSecurity::PIN);
    m_security.pukAttemptsLeft(SIM::SIMSecurity::PUK);
}

void SimCard::setState(SIM::SIMStatus::Status state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit statusChanged();
    if (codeNeeded() != NoCode)
        readAttempts();
}

void SimCard::setAttempts(int *field, int attempts)
{
    if (*field == attempts)
        return;
    *field = attempts;
    emit attemptsChanged();
}

void SimCard::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

void SimCard::enterPin(const QString &pin)
{
    setBusy(true);
    m_security.verifyPIN(SIM::SIMSecurity::PIN, pin);
}

void SimCard::enterPuk(const QString &puk, const QString &newPin)
{
    setBusy(true);
    m_security.verifyPUK(SIM::SIMSecurity::PUK, puk, newPin);
}

void SimCard::entered(bool accepted, SIM::SIMError error)
{
    setBusy(false);
    // A wrong code costs an attempt, and may block the PIN; a right one opens the card.
    readAttempts();
    m_status.status();
    emit codeEntered(accepted, error);
}

QVariantList EmergencyNumbers::numbersWithInfo() const
{
    QVariantList list;
    for (const EmergencyNumberInfo &info : Ondrix::EmergencyNumbers::numbersWithInfo()) {
        list << QVariantMap{{QStringLiteral("number"), info.number}, {QStringLiteral("firstValue"), info.firstValue},
                            {QStringLiteral("secondValue"), info.secondValue}};
    }
    return list;
}

SmsCounter::SmsCounter(QObject *parent)
    : QObject(parent)
{
}

void SmsCounter::setLanguage(int language)
{
    m_language = language;
    measure();
}

void SmsCounter::setText(const QString &text)
{
    m_text = text;
    measure();
}

void SmsCounter::measure()
{
    const bool cheapest = m_language == Cheapest;
    SMSMessage message(cheapest ? SMSMessage::LanguageDefault : SMSMessage::Language(m_language), m_text);
    if (cheapest)
        message.setCheapestAmong({SMSMessage::LanguageTurkish, SMSMessage::LanguageSpanish, SMSMessage::LanguagePortuguese});
    message.getSize(m_segments, m_remaining, m_maxLength);
    m_maxLength /= 255;   // getSize() gives the room of 255 messages; one message's is shown
    m_locking = message.lockingLanguage();
    m_single = message.singleLanguage();
    emit changed();
}

namespace {

QVariantMap failure(int32_t status)
{
    return {{QStringLiteral("error"), QString::fromLatin1(sms_str_error(uint32_t(status)))}};
}

} // namespace

QVariantMap SmsCodec::encode(const QString &to, const QString &text, int language, int reference) const
{
    const Codec::Message msg(sms_msg_new_txt_message(to.toUtf8().constData(), text.toUtf8().constData()));
    if (!msg)
        return failure(SMS_ERR_INVALID_PARAM);
    msg->lang = language == SmsCounter::Cheapest ? Codec::sizeOf(msg.get(), SMS_LANG_DEFAULT, SMS_LANGS_NATIONAL).lang
                                                  : Codec::sentAs(Codec::languageOf(language));
    QStringList pdus;
    const int32_t status = Codec::encode(msg.get(), uint32_t(reference), pdus);
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("pdus"), pdus}, {QStringLiteral("error"), QString()}};
}

QVariantMap SmsCodec::decode(const QStringList &pdus) const
{
    QList<QByteArray> octets;
    for (const QString &pdu : pdus) {
        QByteArray one;
        if (!Codec::fromHex(pdu, one))
            return failure(SMS_ERR_INVALID_PARAM);
        octets << one;
    }
    Codec::Message msg;
    const int32_t status = Codec::decode(octets, msg);
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("from"), QString::fromUtf8(msg->from)},
            {QStringLiteral("to"), QString::fromUtf8(msg->to)},
            {QStringLiteral("text"), QString::fromUtf8(msg->text, int(msg->data_len))},
            {QStringLiteral("error"), QString()}};
}

QVariantMap SmsCodec::decodeCellBroadcast(const QString &page) const
{
    QByteArray octets;
    sms_cbs_page_t p;
    QString text;
    const int32_t status = Codec::fromHex(page, octets) ? Codec::decodeCellBroadcast(octets, p, text) : SMS_ERR_INVALID_PARAM;
    if (status != SMS_OK)
        return failure(status);
    return {{QStringLiteral("messageId"), p.message_id}, {QStringLiteral("page"), p.page_number},
            {QStringLiteral("pages"), p.total_pages}, {QStringLiteral("popup"), bool(sms_cbs_is_popup(&p))},
            {QStringLiteral("alert"), bool(sms_cbs_is_user_alert(&p))}, {QStringLiteral("text"), text},
            {QStringLiteral("error"), QString()}};
}

} // namespace Qml
} // namespace Ondrix
