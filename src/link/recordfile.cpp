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

bool folderWritable(const QString &folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

// On Windows the system converter is the ANSI code page, which is what the
// files were always written in; elsewhere it is the locale's encoding.
QByteArray encodeLine(const QString &text) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text + QStringLiteral("\r\n"));
}

bool writeTo(const QString &path, const QString &text, QIODevice::OpenMode mode, QString *error) {
    QFile file(path);
    const QByteArray bytes = encodeLine(text);
    if (file.open(mode) && file.write(bytes) == bytes.size() && file.flush())
        return true;
    if (error)
        *error = QStringLiteral("%1 could not be written: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

} // namespace

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

bool startRecordFile(const QString &path, const QString &model, QString *error) {
    const QString header = QStringLiteral("这个文件是") + model +
                           QStringLiteral("要求保留历史记录时产生的文件") +
                           QStringLiteral("\r\n\r\n");
    return writeTo(path, header, QIODevice::WriteOnly | QIODevice::Truncate, error);
}

bool AppendRecordFile(const QString &path, const QString &text, QString *error) {
    if (path.isEmpty())
        return true;
    return writeTo(path, text, QIODevice::WriteOnly | QIODevice::Append, error);
}

bool AppendMagAutoLog(const QString &text, QString *error) {
    return writeTo(magAutoLogPath(), text, QIODevice::WriteOnly | QIODevice::Append, error);
}

} // namespace talvex::link
