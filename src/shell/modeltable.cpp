#include "modeltable.h"

namespace talvex::shell {

const QList<ReaderModelKey> &readerModelKeys() {
    static const QString eject = QStringLiteral("Eject");
    static const QList<ReaderModelKey> keys = {
        {QStringLiteral("Ver"), QStringLiteral("KVR-416"), 4, eject, false},
        {QStringLiteral("416"), QStringLiteral("KVR-416"), 4, eject, false},
        {QStringLiteral("523"), QStringLiteral("KVR-523"), 1, eject, true},
        {QStringLiteral("527"), QStringLiteral("KVR-527"), 2, eject, false},
        {QStringLiteral("634"), QStringLiteral("KVR-634"), -1, eject, false},
        {QStringLiteral("638"), QStringLiteral("KVR-638"), 5, eject, false},
        // The KVR-690 moves the card to positions rather than only ejecting it.
        {QStringLiteral("690"), QStringLiteral("KVR-690"), 3, QStringLiteral("Move Card"), false},
    };
    return keys;
}

QList<ReaderModelKey> modelKeysFound(const QString &replyData) {
    QList<ReaderModelKey> found;
    for (const ReaderModelKey &row : readerModelKeys()) {
        if (replyData.contains(row.key, Qt::CaseSensitive))
            found.append(row);
    }
    return found;
}

const QList<QString> &modelNames() {
    static const QList<QString> names = {QStringLiteral("KVR-416"), QStringLiteral("KVR-523"),
                                         QStringLiteral("KVR-527"), QStringLiteral("KVR-634"),
                                         QStringLiteral("KVR-638"), QStringLiteral("KVR-690")};
    return names;
}

int modelColumn(const QString &name) {
    return int(modelNames().indexOf(name));
}

const QList<LayoutRow> &modelLayout() {
    constexpr LayoutCell T = LayoutCell::On;
    constexpr LayoutCell F = LayoutCell::Off;
    constexpr LayoutCell C = LayoutCell::ByUploadCheckBox;
    //                                                          416 523 527 634 638 690
    static const QList<LayoutRow> rows = {
        {QStringLiteral("IRPOP"), false, {F, F, T, T, T, T}},
        {QStringLiteral("McardFrame1"), false, {F, T, F, T, T, T}},
        {QStringLiteral("McardFrame2"), false, {F, C, F, T, T, T}},
        {QStringLiteral("RFcardFrame1"), false, {F, T, T, T, T, T}},
        {QStringLiteral("RFcardFrame2"), false, {F, T, T, T, T, T}},
        {QStringLiteral("OTHERFRAME1"), false, {F, T, T, T, T, T}},
        {QStringLiteral("OTHERFRAME2"), false, {F, F, F, F, T, T}},
        {QStringLiteral("OTHERFRAME3"), false, {F, T, T, T, T, T}},
        {QStringLiteral("SensorState"), false, {F, F, F, F, T, T}},
        {QStringLiteral("IRProhibit"), false, {F, F, F, F, T, T}},
        {QStringLiteral("IRWeizhi"), false, {F, F, F, F, F, T}},
        {QStringLiteral("ReadCardType523"), true, {F, T, F, F, F, F}},
    };
    return rows;
}

} // namespace talvex::shell
