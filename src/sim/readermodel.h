#pragma once

#include <QString>
#include <optional>

namespace talvex::sim {

// The six reader models the simulator can play.
enum class ReaderModel { Kvr416, Kvr523, Kvr527, Kvr634, Kvr638, Kvr690 };

inline constexpr ReaderModel kAllReaderModels[] = {ReaderModel::Kvr416, ReaderModel::Kvr523,
                                                   ReaderModel::Kvr527, ReaderModel::Kvr634,
                                                   ReaderModel::Kvr638, ReaderModel::Kvr690};

// "KVR-690" and back; the names are the ones the reader window shows.
QString readerModelName(ReaderModel model);
std::optional<ReaderModel> readerModelFromName(const QString &name);

// The version text of the reset reply. It carries the model number and no other
// model's key, so that detection settles on exactly this model.
QByteArray readerVersionText(ReaderModel model);

} // namespace talvex::sim
