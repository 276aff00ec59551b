// SPDX-License-Identifier: LGPL-2.1-or-later
#include "signalrecorder.h"

#include <QMetaMethod>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QSequentialIterable>
#endif
#include <QTest>
#include <QVariant>

SignalRecorder::SignalRecorder(QObject *target)
    : m_target(target)
{
    const QMetaObject *meta = target->metaObject();
    const int slotBase = metaObject()->methodCount();
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); i++) {
        if (meta->method(i).methodType() != QMetaMethod::Signal)
            continue;
        QMetaObject::connect(target, i, this, slotBase + m_indices.size(), Qt::DirectConnection);
        m_indices << i;
    }
}

static QString format(int type, void *value)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QVariant v(QMetaType(type), value);
#else
    const QVariant v(type, value);
#endif
    if (type == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (type == QMetaType::QString)
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    if (type == QMetaType::QByteArray)   // Qt 6 would count it as a list
        return QString::fromLatin1(v.toByteArray().toHex());
    if (v.canConvert<QVariantList>())
        return QStringLiteral("%1 items").arg(v.value<QSequentialIterable>().size());
    return v.toString();
}

int SignalRecorder::qt_metacall(QMetaObject::Call call, int id, void **args)
{
    id = QObject::qt_metacall(call, id, args);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod)
        return id;
    if (id < m_indices.size()) {
        const QMetaMethod method = m_target->metaObject()->method(m_indices[id]);
        QStringList values;
        for (int p = 0; p < method.parameterCount(); p++)
            values << format(method.parameterType(p), args[p + 1]);
        m_signals << QString::fromLatin1(method.name()) + QLatin1Char('(') + values.join(QLatin1String(", "))
                         + QLatin1Char(')');
    }
    return id - m_indices.size();
}

QStringList SignalRecorder::awaited(int count) const
{
    // A bound for a hang, not a measure of speed: a loaded machine (the
    // sanitizers, every test at once) can take seconds for what takes
    // milliseconds alone.
    if (!QTest::qWaitFor([this, count] { return m_signals.size() >= count; }, 15000))
        qWarning("waited 15 s for %d signals, got %d: %s", count, int(m_signals.size()),
                 qPrintable(m_signals.join(QLatin1String(", "))));
    return m_signals;
}
