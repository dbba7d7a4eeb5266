#pragma once

#include "link/journal.h"

#include <QFile>
#include <QIODevice>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

namespace talvex::link {

// A session capture: JSON Lines, one object a line. The first line is the
// header {"format":"talvex-capture","version":1,...}; every further line is
// one exchange (see docs/capture.md).
constexpr int kCaptureVersion = 1;
inline const QString kCaptureFormat = QStringLiteral("talvex-capture");

// What a line says about the way the bytes went: a command and its answer, a
// command that got nothing back, or bytes that came after the answer.
QString captureDirection(const ExchangeRecord &exchange); // "SD+RD", "SD", "RD"

// Decoded fields written beside the bytes, in order: name and text.
using DecodedFields = QList<QPair<QString, QString>>;

QByteArray captureHeaderLine(const QDateTime &started);
QByteArray captureLine(const ExchangeRecord &exchange, const DecodedFields &decoded);

// Hex text as the log writes it ("02 00 02"), and back. Blanks between bytes
// are optional when reading; false for anything else.
QString hexText(const QByteArray &bytes);
bool bytesFromHexText(const QString &text, QByteArray &bytes);

// Writes a capture as the session goes: every line is flushed when written,
// so a crash loses at most the exchange that was being written. A file that
// cannot be opened or written (a full disk, a folder without write access) is
// reported once through the callback; the session goes on without capture.
class CaptureWriter {
public:
    using Report = std::function<void(const QString &text)>;

    explicit CaptureWriter(Report report = {}) : m_report(std::move(report)) {}

    bool open(const QString &path);
    void write(const ExchangeRecord &exchange, const DecodedFields &decoded);
    // Lines already in the capture form (copied from another capture).
    void writeRaw(const QByteArray &lines);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

private:
    void fail(const QString &why);

    QFile m_file;
    Report m_report;
};

// What a capture reader could make of a file.
struct CaptureContents {
    bool ok = false;
    QString error; // one line naming the line, when !ok
    QList<ExchangeRecord> exchanges;
    QStringList skipped; // one line per skipped line (the first few)
    qint64 skippedCount = 0;
};

// Lines longer than this are not read into memory; the line is skipped.
constexpr qint64 kCaptureLineLimit = 1 << 20;
// A capture holds at most this many exchanges; the rest is skipped.
constexpr int kCaptureExchangeLimit = 200000;
// How many skipped lines are named one by one.
constexpr int kSkippedNamed = 20;

// Reads a capture. A missing or wrong header, or an unknown version, ends the
// read with an error; a later line that cannot be read is skipped and named.
CaptureContents readCapture(QIODevice &input);
CaptureContents readCaptureFile(const QString &path);

} // namespace talvex::link
