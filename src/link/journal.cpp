#include "journal.h"

#include <vector>

namespace talvex::link {

namespace {

struct KindName {
    LineKind kind;
    const char *name;
};
constexpr KindName kKindNames[] = {{LineKind::Reader, "reader"},
                                   {LineKind::Dispenser820, "dispenser820"},
                                   {LineKind::Dispenser840, "dispenser840"}};

} // namespace

QString lineKindName(LineKind kind) {
    for (const auto &k : kKindNames)
        if (k.kind == kind)
            return QString::fromLatin1(k.name);
    return {};
}

bool lineKindFromName(const QString &name, LineKind &kind) {
    for (const auto &k : kKindNames) {
        if (name == QLatin1String(k.name)) {
            kind = k.kind;
            return true;
        }
    }
    return false;
}

void Journal::record(const ExchangeRecord &exchange) {
    // A listener may stop listening while it is told.
    std::vector<int> keys;
    keys.reserve(m_listeners.size());
    for (const auto &entry : m_listeners)
        keys.push_back(entry.first);
    for (int key : keys) {
        const auto it = m_listeners.find(key);
        if (it != m_listeners.end())
            it->second(exchange);
    }
}

int Journal::listen(Listener listener) {
    const int key = m_nextKey++;
    m_listeners.emplace(key, std::move(listener));
    return key;
}

void Journal::unlisten(int key) {
    m_listeners.erase(key);
}

Journal &journal() {
    static Journal instance;
    return instance;
}

void recordDispenserExchange(LineKind kind, int commPort, const QByteArray &sent,
                             const QByteArray &answer, qint64 elapsedMs) {
    if ((sent.isEmpty() && answer.isEmpty()) || !journal().listening())
        return;
    ExchangeRecord record;
    record.time = QDateTime::currentDateTime().addMSecs(-elapsedMs);
    record.kind = kind;
    record.port = QStringLiteral("COM%1").arg(commPort);
    record.model = kind == LineKind::Dispenser840   ? QStringLiteral("KVR-840")
                   : kind == LineKind::Dispenser820 ? QStringLiteral("KVR-820")
                                                    : journal().readerModel();
    record.sent = sent;
    record.answer = answer;
    record.elapsedMs = elapsedMs;
    journal().record(record);
}

} // namespace talvex::link
