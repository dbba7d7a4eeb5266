#include "recordfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QStringEncoder>

namespace talvex::link {
namespace {

QString g_folderOverride;
const QString kLineEnd = QStringLiteral("\r\n");

bool folderWritable(const QString &folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

} // namespace

FileWrite writeTextFile(const QString &path, const QString &text, WriteMode mode) {
    // On Windows the system converter is the ANSI code page, which is what
    // the files were always written in; elsewhere it is the locale's encoding.
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(text);
    QFile file(path);
    const QIODevice::OpenMode how =
        QIODevice::WriteOnly |
        (mode == WriteMode::Append ? QIODevice::Append : QIODevice::Truncate);
    if (file.open(how) && file.write(bytes) == bytes.size() && file.flush())
        return {path, {}};
    return {path, QStringLiteral("%1 was not written: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString())};
}

QString recordFolder() {
    if (!g_folderOverride.isEmpty())
        return g_folderOverride;
    const QString beside = QCoreApplication::applicationDirPath();
    if (folderWritable(beside))
        return beside;
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(appData);
    return appData;
}

void setRecordFolder(const QString &folder) {
    g_folderOverride = folder;
}

QString fileDateText(const QDate &date, const QLocale &locale) {
    if (locale.language() == QLocale::C)
        return date.toString(Qt::ISODate);
    QString text = locale.toString(date, QLocale::ShortFormat);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : text) {
        if (forbidden.contains(c))
            c = QLatin1Char('-');
    }
    return text;
}

QString recordFilePath(const QDate &date) {
    return QDir(recordFolder())
        .filePath(QStringLiteral("KVR_Record") + fileDateText(date) + QStringLiteral(".txt"));
}

QString magAutoLogPath(const QDate &date) {
    return QDir(recordFolder())
        .filePath(QStringLiteral("MagAuto") + fileDateText(date) + QStringLiteral(".txt"));
}

FileWrite startRecordFile(const QString &path, const QString &model) {
    const QString header = QStringLiteral("这个文件是") + model +
                           QStringLiteral("要求保留历史记录时产生的文件") + kLineEnd + kLineEnd +
                           kLineEnd;
    return writeTextFile(path, header, WriteMode::Replace);
}

FileWrite AppendRecordFile(const QString &path, const QString &text) {
    if (path.isEmpty())
        return {};
    return writeTextFile(path, text + kLineEnd, WriteMode::Append);
}

FileWrite AppendMagAutoLog(const QString &text) {
    return writeTextFile(magAutoLogPath(), text + kLineEnd, WriteMode::Append);
}

} // namespace talvex::link
