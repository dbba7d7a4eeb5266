#include "trackparser.h"

#include "link/frame.h"

namespace talvex::magnetic {
namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// The first separator in [from, to], or 0 when there is none: the position the
// reader window kept while it had found nothing.
int findSeparator(const QByteArray &reply, int from, int to) {
    for (int i = from; i <= to && i < reply.size(); ++i) {
        if (reply.at(i) == kTrackSeparator)
            return i;
    }
    return 0;
}

TrackSection sectionAt(const QByteArray &reply, int statusIndex, int lastDataIndex) {
    TrackSection section;
    if (statusIndex >= 0 && statusIndex < reply.size())
        section.status = quint8(reply.at(statusIndex));
    const int first = statusIndex + 1;
    const int last = qMin(lastDataIndex, int(reply.size()) - 1);
    if (first >= 0 && last >= first)
        section.data = reply.mid(first, last - first + 1);
    return section;
}

} // namespace

char trackCode(bool track1, bool track2, bool track3) {
    const int tracks = (track1 ? 1 : 0) | (track2 ? 2 : 0) | (track3 ? 4 : 0);
    // Indexed by the tracks chosen: bit 0 track 1, bit 1 track 2, bit 2 track 3.
    static constexpr char kCodes[8] = {'0', '1', '2', '4', '3', '6', '5', '7'};
    return kCodes[tracks];
}

bool parseTrackReply(const QByteArray &reply, int length, TrackSections &sections) {
    if (length <= 5)
        return false;
    const int first = findSeparator(reply, 5, length - 2);
    const int second = findSeparator(reply, first + 1, length - 2);
    sections[0] = sectionAt(reply, 5, first - 1);
    sections[1] = sectionAt(reply, first + 1, second - 1);
    sections[2] = sectionAt(reply, second + 1, length - 3);
    return true;
}

QString trackErrorDetail(quint8 code) {
    switch (code) {
    case 0xE1:
        return QStringLiteral("No start bits (STX)");
    case 0xE2:
        return QStringLiteral("No stop bits (ETX)");
    case 0xE3:
        return QStringLiteral("Byte Parity Error(Parity)");
    case 0xE4:
        return QStringLiteral("Parity Bit Error(LRC)");
    case 0xE5:
        return QStringLiteral("Card Track Data is Blank");
    default:
        return {};
    }
}

int trackErrorTypeIndex(quint8 code) {
    return code >= 0xE1 && code <= 0xE5 ? code - 0xE1 : -1;
}

bool trackDisplayText(const TrackSection &section, bool binForm, QString &text) {
    switch (section.status) {
    case kTrackRead: {
        const QString data = QString::fromLatin1(section.data);
        text = binForm ? link::HexToBits(data) : data;
        return true;
    }
    case kTrackError:
        text = QStringLiteral("Read/Parity Error") + kLineBreak +
               trackErrorDetail(section.errorCode());
        return true;
    case kTrackNotRead:
        text = QStringLiteral("No Read for this Track") + kLineBreak +
               QStringLiteral("Card Track Data is 0xE0");
        return true;
    case kTrackNoOperation:
        text = QStringLiteral("No Read Operation") + kLineBreak +
               QStringLiteral("Card Track Data is 0x00");
        return true;
    default:
        return false;
    }
}

QString errorRateText(qint64 errors, qint64 reads) {
    if (reads == 0)
        return QStringLiteral("0");
    const double rate = double(errors) * 10000.0 / double(reads) / 100.0;
    return QString::number(rate, 'g', 15);
}

} // namespace talvex::magnetic
