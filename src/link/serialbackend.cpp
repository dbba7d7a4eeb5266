#include "serialbackend.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace talvex::link {

bool parseLineSettings(const QString &text, LineSettings *out) {
    // The control takes the four values either run together ("9600n81") or
    // separated by commas ("9600,n,8,1"); nothing else, not even blanks.
    static const QRegularExpression compact(QStringLiteral("^([0-9]+)([noe])([78])([12])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression separated(QStringLiteral("^([0-9]+),([noe]),([78]),([12])$"),
                                              QRegularExpression::CaseInsensitiveOption);

    QRegularExpressionMatch m = compact.match(text);
    if (!m.hasMatch())
        m = separated.match(text);
    if (!m.hasMatch())
        return false;

    bool ok = false;
    const int baud = m.captured(1).toInt(&ok);
    if (!ok || baud <= 0)
        return false;

    LineSettings s;
    s.baud = baud;
    s.parity = m.captured(2).toLower().at(0).toLatin1();
    s.dataBits = m.captured(3).toInt();
    s.stopBits = m.captured(4).toInt();
    if (out)
        *out = s;
    return true;
}

QString lineSettingsText(const LineSettings &s) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(s.baud)
        .arg(QChar::fromLatin1(s.parity))
        .arg(s.dataBits)
        .arg(s.stopBits);
}

void retireBackend(std::unique_ptr<SerialBackend> backend) {
    if (!backend)
        return;
    backend->setArrivalHandler(nullptr);
    backend->setHangUpHandler(nullptr);
    backend->close();
    if (!backend->reporting() || !QCoreApplication::instance())
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [gone = std::shared_ptr<SerialBackend>(std::move(backend))] {}, Qt::QueuedConnection);
}

} // namespace talvex::link
