#include "sim/readermodel.h"

namespace talvex::sim {

QString readerModelName(ReaderModel model) {
    switch (model) {
    case ReaderModel::Kvr416:
        return QStringLiteral("KVR-416");
    case ReaderModel::Kvr523:
        return QStringLiteral("KVR-523");
    case ReaderModel::Kvr527:
        return QStringLiteral("KVR-527");
    case ReaderModel::Kvr634:
        return QStringLiteral("KVR-634");
    case ReaderModel::Kvr638:
        return QStringLiteral("KVR-638");
    case ReaderModel::Kvr690:
        return QStringLiteral("KVR-690");
    }
    return {};
}

std::optional<ReaderModel> readerModelFromName(const QString &name) {
    for (ReaderModel m : kAllReaderModels) {
        if (readerModelName(m).compare(name, Qt::CaseInsensitive) == 0)
            return m;
    }
    return std::nullopt;
}

QByteArray readerVersionText(ReaderModel model) {
    // Detection applies every key it finds ("Ver" first), so only the KVR-416,
    // whose own key is "Ver", may say "Ver"; the others write "V".
    switch (model) {
    case ReaderModel::Kvr416:
        return "KVR416 Ver2.0";
    case ReaderModel::Kvr523:
        return "KVR523 V1.8";
    case ReaderModel::Kvr527:
        return "KVR527 V2.1";
    case ReaderModel::Kvr634:
        return "KVR634 V2.4";
    case ReaderModel::Kvr638:
        return "KVR638 V3.0";
    case ReaderModel::Kvr690:
        return "KVR690 V3.1";
    }
    return {};
}

} // namespace talvex::sim
