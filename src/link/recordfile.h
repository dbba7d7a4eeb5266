#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace talvex::link {

// The plain text files the reader window keeps: the traffic record
// "KVR_Record<date>.txt" and the automatic magnetic test log "MagAuto<date>.txt".
// Both live in the record folder, are written in the system's 8-bit code page
// and end every line with CR LF.

// The folder the files go to: beside the program, or, where that folder cannot
// be written (an installed program), the user's application data folder.
QString recordFolder();
// Puts the files somewhere else (tests); an empty text restores the default.
void setRecordFolder(const QString &folder);

// The short date of the system's regional settings, every character a file
// name cannot hold turned into "-". The C (POSIX) locale has no regional date
// of its own; it gets the numeric year-month-day, so that the name holds no
// blanks.
QString fileDateText(const QDate &date, const QLocale &locale = QLocale::system());

QString recordFilePath(const QDate &date = QDate::currentDate());
QString magAutoLogPath(const QDate &date = QDate::currentDate());

// What became of a write to one of the program's text files: the file, and
// why it could not be written ("<file> was not written: <reason>", for the
// window's status line), empty when it was. True when it was.
struct FileWrite {
    QString path;
    QString error;
    explicit operator bool() const { return error.isEmpty(); }
};

enum class WriteMode { Replace, Append };

// Writes text, as it stands, in the system's 8-bit code page. A full device
// takes a buffered write and refuses only its flush: both count.
FileWrite writeTextFile(const QString &path, const QString &text, WriteMode mode);

// Creates or overwrites the record file and writes its header for the model
// (which may be empty): one text line, then two empty lines.
FileWrite startRecordFile(const QString &path, const QString &model);

// Append text as one line. An empty path means recording is off. Nothing is
// shown on a file error: the exchange or the test goes on without its record,
// and the caller may put the error in its status line.
FileWrite AppendRecordFile(const QString &path, const QString &text);
FileWrite AppendMagAutoLog(const QString &text);

} // namespace talvex::link
