#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <map>

namespace talvex::link {

// Which protocol a line speaks: the reader handshake or one of the two
// dispenser links.
enum class LineKind { Reader, Dispenser820, Dispenser840 };

QString lineKindName(LineKind kind); // "reader", "dispenser820", "dispenser840"
bool lineKindFromName(const QString &name, LineKind &kind);

// One exchange as it crossed the line, whatever the window made of it.
struct ExchangeRecord {
    QDateTime time; // when the command left
    LineKind kind = LineKind::Reader;
    QString port;  // "COM1"
    QString model; // "KVR-690", "KVR-820"; empty while the reader model is unknown
    // The command frame. Empty for bytes that arrive after the command's own
    // answer was judged: the KVR-820 status reply that follows its ENQ.
    QByteArray sent;
    // Reader: the answer byte (ACK, NAK or whatever came; empty for silence).
    // Dispensers: every byte read back for the command.
    QByteArray answer;
    // Reader: the reply frame as far as it arrived (STX, LH, LL, body, ETX,
    // BCC); empty when the reader never got that far. Unused by dispensers.
    QByteArray reply;
    qint64 elapsedMs = 0;
};

// Every exchange of the session passes through here, so that the decoded view
// and the session capture see the same traffic as the log boxes. The links
// record; the views listen. Window thread only.
class Journal {
public:
    using Listener = std::function<void(const ExchangeRecord &)>;

    void record(const ExchangeRecord &exchange);
    // Returns a key for unlisten().
    int listen(Listener listener);
    void unlisten(int key);
    // Whether anybody listens: a record nobody hears need not be made.
    bool listening() const { return !m_listeners.empty(); }

    // The reader model the window detected; the reader link does not know it.
    void setReaderModel(const QString &model) { m_readerModel = model; }
    QString readerModel() const { return m_readerModel; }

private:
    std::map<int, Listener> m_listeners;
    int m_nextKey = 1;
    QString m_readerModel;
};

Journal &journal();

// One call for a dispenser link: the frame it wrote (empty for bytes read
// after the answer, the KVR-820 status reply) and what it read back (empty
// for nothing), on port number commPort. Nothing is recorded when both are empty.
void recordDispenserExchange(LineKind kind, int commPort, const QByteArray &sent,
                             const QByteArray &answer, qint64 elapsedMs = 0);

} // namespace talvex::link
