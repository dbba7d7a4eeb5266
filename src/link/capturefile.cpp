#include "capturefile.h"

#include "frame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace talvex::link {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

// The next line, at most kCaptureLineLimit bytes; a longer one is read to its
// end and dropped, with tooLong set. The lines are read through one buffer of
// the largest size, so that a file of a million short lines does not cost a
// million allocations of that size.
class LineReader {
public:
    explicit LineReader(QIODevice &input) : m_input(input), m_buffer(kCaptureLineLimit + 2, '\0') {}

    QByteArray next(bool &tooLong) {
        tooLong = false;
        QByteArray line = read();
        if (line.endsWith('\n') || m_input.atEnd())
            return line;
        tooLong = true;
        while (!m_input.atEnd()) {
            const QByteArray more = read();
            if (more.isEmpty() || more.endsWith('\n'))
                break;
        }
        return {};
    }

private:
    // readLine(data, n) reads at most n - 1 bytes.
    QByteArray read() {
        const qint64 n = m_input.readLine(m_buffer.data(), m_buffer.size());
        return n > 0 ? QByteArray(m_buffer.constData(), n) : QByteArray();
    }

    QIODevice &m_input;
    QByteArray m_buffer;
};

QString lineError(qint64 number, const QString &what) {
    return QStringLiteral("line %1: %2").arg(number).arg(what);
}

// One exchange line; an empty reason on success.
QString exchangeFromJson(const QJsonObject &o, ExchangeRecord &record) {
    const QString kind = o.value(QLatin1String("kind")).toString();
    if (!lineKindFromName(kind, record.kind))
        return QStringLiteral("unknown line kind \"%1\"").arg(kind);
    record.time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), kTimeFormat);
    record.port = o.value(QLatin1String("port")).toString();
    record.model = o.value(QLatin1String("model")).toString();
    const struct {
        const char *name;
        QByteArray *bytes;
    } fields[] = {{"sent", &record.sent}, {"answer", &record.answer}, {"reply", &record.reply}};
    for (const auto &f : fields) {
        const QJsonValue v = o.value(QLatin1String(f.name));
        if (v.isUndefined())
            continue;
        if (!v.isString() || !bytesFromHexText(v.toString(), *f.bytes))
            return QStringLiteral("\"%1\" is not hex bytes").arg(QLatin1String(f.name));
    }
    if (record.sent.isEmpty() && record.answer.isEmpty())
        return QStringLiteral("neither \"sent\" nor \"answer\" bytes");
    record.elapsedMs = qMax<qint64>(0, o.value(QLatin1String("ms")).toInteger());
    return {};
}

} // namespace

QString captureDirection(const ExchangeRecord &exchange) {
    if (exchange.sent.isEmpty())
        return QStringLiteral("RD");
    if (exchange.answer.isEmpty() && exchange.reply.isEmpty())
        return QStringLiteral("SD");
    return QStringLiteral("SD+RD");
}

QString hexText(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool bytesFromHexText(const QString &text, QByteArray &bytes) {
    QByteArray out;
    out.reserve(text.size() / 2);
    int high = -1;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) {
            if (high >= 0)
                return false; // half a byte
            continue;
        }
        const int d = hexDigitValue(c);
        if (d < 0)
            return false;
        if (high < 0) {
            high = d;
        } else {
            out.append(static_cast<char>(high * 16 + d));
            high = -1;
        }
    }
    if (high >= 0)
        return false;
    bytes = out;
    return true;
}

QByteArray captureHeaderLine(const QDateTime &started) {
    QJsonObject o;
    o.insert(QLatin1String("format"), kCaptureFormat);
    o.insert(QLatin1String("version"), kCaptureVersion);
    o.insert(QLatin1String("started"), started.toString(kTimeFormat));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray captureLine(const ExchangeRecord &exchange, const DecodedFields &decoded) {
    QJsonObject o;
    o.insert(QLatin1String("time"), exchange.time.toString(kTimeFormat));
    o.insert(QLatin1String("port"), exchange.port);
    o.insert(QLatin1String("kind"), lineKindName(exchange.kind));
    o.insert(QLatin1String("model"), exchange.model);
    o.insert(QLatin1String("direction"), captureDirection(exchange));
    o.insert(QLatin1String("sent"), hexText(exchange.sent));
    o.insert(QLatin1String("answer"), hexText(exchange.answer));
    // Every reply that was read is written back, whatever the line: a file
    // read and written again keeps its bytes.
    if (exchange.kind == LineKind::Reader || !exchange.reply.isEmpty())
        o.insert(QLatin1String("reply"), hexText(exchange.reply));
    o.insert(QLatin1String("ms"), exchange.elapsedMs);
    QJsonObject fields;
    for (const auto &field : decoded)
        fields.insert(field.first, field.second);
    o.insert(QLatin1String("decoded"), fields);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool CaptureWriter::open(const QString &path) {
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(m_file.errorString());
        return false;
    }
    const QByteArray header = captureHeaderLine(QDateTime::currentDateTime());
    if (m_file.write(header) != header.size() || !m_file.flush()) {
        fail(m_file.errorString());
        return false;
    }
    return true;
}

void CaptureWriter::write(const ExchangeRecord &exchange, const DecodedFields &decoded) {
    if (!m_file.isOpen())
        return;
    const QByteArray line = captureLine(exchange, decoded);
    if (m_file.write(line) != line.size() || !m_file.flush())
        fail(m_file.errorString());
}

void CaptureWriter::writeRaw(const QByteArray &lines) {
    if (!m_file.isOpen())
        return;
    if (m_file.write(lines) != lines.size() || !m_file.flush())
        fail(m_file.errorString());
}

void CaptureWriter::close() {
    if (m_file.isOpen())
        m_file.close();
}

void CaptureWriter::fail(const QString &why) {
    const QString name = m_file.fileName();
    m_file.close();
    if (m_report)
        m_report(
            QStringLiteral("Session capture stopped: cannot write %1 (%2). The session goes on.")
                .arg(name, why));
}

CaptureContents readCapture(QIODevice &input) {
    CaptureContents contents;
    auto skip = [&contents](qint64 number, const QString &why) {
        if (contents.skippedCount++ < kSkippedNamed)
            contents.skipped.append(lineError(number, why));
    };

    LineReader lines(input);
    bool tooLong = false;
    QByteArray line = lines.next(tooLong);
    if (tooLong || line.trimmed().isEmpty()) {
        contents.error = lineError(1, QStringLiteral("no capture header (the file is empty or its "
                                                     "first line is not one)"));
        return contents;
    }
    QJsonParseError parseError{};
    const QJsonDocument head = QJsonDocument::fromJson(line, &parseError);
    const QJsonObject header = head.object();
    if (parseError.error != QJsonParseError::NoError || !head.isObject() ||
        header.value(QLatin1String("format")).toString() != kCaptureFormat) {
        contents.error = lineError(1, QStringLiteral("not a Talvex session capture header"));
        return contents;
    }
    const QJsonValue version = header.value(QLatin1String("version"));
    if (version.toInteger(-1) != kCaptureVersion) {
        contents.error = lineError(
            1,
            QStringLiteral("capture format version %1 is unknown (this program reads version %2)")
                .arg(version.isDouble() ? QString::number(version.toDouble())
                                        : QStringLiteral("\"%1\"").arg(version.toString()))
                .arg(kCaptureVersion));
        return contents;
    }

    qint64 number = 1;
    while (!input.atEnd()) {
        line = lines.next(tooLong);
        ++number;
        if (tooLong) {
            skip(number, QStringLiteral("longer than %1 bytes").arg(kCaptureLineLimit));
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (contents.exchanges.size() >= kCaptureExchangeLimit) {
            skip(number, QStringLiteral("more than %1 exchanges").arg(kCaptureExchangeLimit));
            continue;
        }
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            skip(number, line.endsWith('\n') ? QStringLiteral("not JSON")
                                             : QStringLiteral("cut off (not JSON)"));
            continue;
        }
        ExchangeRecord record;
        const QString why = exchangeFromJson(doc.object(), record);
        if (!why.isEmpty()) {
            skip(number, why);
            continue;
        }
        contents.exchanges.append(record);
    }
    contents.ok = true;
    return contents;
}

CaptureContents readCaptureFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CaptureContents contents;
        contents.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return contents;
    }
    return readCapture(file);
}

} // namespace talvex::link
